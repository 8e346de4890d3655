#include "app/ui/open_in_editor.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <exception>
#include <thread>
#include <vector>

#include "app/program_runner.h"
#include "app/ui/message_helpers.h"
#include "base/system_config.h"

extern char** environ;

namespace velmora {

namespace {

// Starts argv[0] (searched in PATH when it has no '/') and returns at once;
// false when it could not be started. A small thread collects its exit
// status when it ends, so no finished editor is left behind as a zombie.
[[nodiscard]] bool startProgram(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The program blocks its stop signals; the editor must not inherit that.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  // posix_spawnp reports a program that cannot be executed as well.
  const int started = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (started != 0) return false;
  try {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::exception&) {
    // No thread to spare: the editor still runs and is collected at exit.
  }
  return true;
}

}  // namespace

void OpenInEditor(QWidget* owner, const std::string& file) {
  if (OpenWithDesktop(file)) return;
  const std::string editor = systemConfig().Editor;
  // The file is complete before the editor opens, so nothing waits for it:
  // the windows keep painting while the user reads.
  if (startProgram({editor, file})) return;
  ShowError(owner, QStringLiteral("Can not find text editor '%1'.\nPlease check your system configuration.")
                       .arg(QString::fromStdString(editor)));
}

}  // namespace velmora
