#include "app/program_runner.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <exception>
#include <thread>

extern char** environ;

namespace velmora {

namespace {

// Starts argv[0]; -1 when it could not be started (posix_spawnp also
// reports a program that cannot be executed).
pid_t spawn(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return -1;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The child must not inherit blocked stop signals from the program.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int started = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  return started == 0 ? pid : -1;
}

}  // namespace

int RunProgramAndWait(const std::vector<std::string>& argv) {
  const pid_t pid = spawn(argv);
  if (pid < 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool StartProgram(const std::vector<std::string>& argv) {
  const pid_t pid = spawn(argv);
  if (pid < 0) return false;
  try {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::exception&) {
    // No thread to spare: the program still runs and is collected at exit.
  }
  return true;
}

bool OpenWithDesktop(const std::string& fileOrUrl) { return RunProgramAndWait({"xdg-open", fileOrUrl}) == 0; }

}  // namespace velmora
