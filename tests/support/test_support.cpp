#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace velmora::test {

namespace fs = std::filesystem;

std::string BinPath(const std::string& program) {
  if (const char* dir = std::getenv("VELMORA_BIN_DIR")) return std::string(dir) + "/" + program;
  return std::string(VELMORA_BIN_DIR) + "/" + program;
}

TempFolder::TempFolder() {
  char pattern[] = "/tmp/velmora-test-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  path_ = made != nullptr ? made : "/tmp";
}

TempFolder::~TempFolder() {
  if (path_ != "/tmp") {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
}

ScopedCurrentDir::ScopedCurrentDir(const std::string& dir) {
  previous_ = fs::current_path().string();
  fs::current_path(dir);
}

ScopedCurrentDir::~ScopedCurrentDir() {
  std::error_code ec;
  fs::current_path(previous_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type from = 0;
  while (from < text.size()) {
    const auto nl = text.find('\n', from);
    if (nl == std::string::npos) {
      lines.push_back(text.substr(from));
      break;
    }
    lines.push_back(text.substr(from, nl - from));
    from = nl + 1;
  }
  return lines;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& workDir) {
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
  // The child starts with no blocked signals, whatever the test runner has.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  out_ = outPipe[0];
  err_ = errPipe[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (out_ >= 0) ::close(out_);
  if (err_ >= 0) ::close(err_);
}

bool ChildProcess::ReadLine(std::string& line, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto nl = outBuffer_.find('\n');
    if (nl != std::string::npos) {
      line = outBuffer_.substr(0, nl);
      outBuffer_.erase(0, nl + 1);
      return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_ < 0) return false;
    pollfd p{out_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r <= 0) {
      if (r < 0 && errno == EINTR) continue;
      return false;
    }
    char buf[4096];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n <= 0) return false;
    outBuffer_.append(buf, static_cast<std::size_t>(n));
  }
}

void ChildProcess::Signal(int signo) {
  if (pid_ > 0 && !reaped_) ::kill(pid_, signo);
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (reaped_) return exitStatus_;
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitStatus_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

namespace {
std::string drain(int fd) {
  std::string all;
  if (fd < 0) return all;
  char buf[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) break;
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    all.append(buf, static_cast<std::size_t>(n));
  }
  return all;
}
}  // namespace

std::string ChildProcess::DrainStdout() {
  std::string all = outBuffer_ + drain(out_);
  outBuffer_.clear();
  return all;
}

std::string ChildProcess::DrainStderr() { return drain(err_); }

std::vector<std::string> StandinServer::argvFor(const std::vector<std::string>& extra) {
  std::vector<std::string> argv{BinPath("quote-standin"), "--port", "0"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return argv;
}

StandinServer::StandinServer(const std::vector<std::string>& extraArgs) : process_(argvFor(extraArgs)) {
  std::string line;
  if (!process_.started() || !process_.ReadLine(line, std::chrono::seconds(10))) return;
  const std::string marker = "listening on http://";
  const auto at = line.find(marker);
  if (at == std::string::npos) return;
  const auto colon = line.rfind(':');
  if (colon == std::string::npos) return;
  port_ = std::atoi(line.c_str() + colon + 1);
}

std::string StandinServer::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

ScopedVariable::ScopedVariable(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    hadValue_ = true;
    old_ = old;
  }
  setenv(name, value.c_str(), 1);
}

ScopedVariable::~ScopedVariable() {
  if (hadValue_)
    setenv(name_, old_.c_str(), 1);
  else
    unsetenv(name_);
}

const GeneratedLocale& GermanLocale() {
  static TempFolder folder;
  static const GeneratedLocale locale = [] {
    GeneratedLocale made;
    made.name = "de_DE.UTF-8";
    const std::string target = folder.file(made.name);
    ChildProcess localedef({"/usr/bin/localedef", "-i", "de_DE", "-f", "UTF-8", target});
    localedef.Wait(std::chrono::seconds(60));
    if (FileExists(target + "/LC_NUMERIC") && FileExists(target + "/LC_TIME")) made.path = folder.path();
    return made;
  }();
  return locale;
}

}  // namespace velmora::test
