#include "alerts/alert_sinks.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "alerts/alert_process.h"
#include "base/log.h"

extern char** environ;

namespace velmora {

namespace {

constexpr int kLoggedLines = 50;         // output lines of one run that reach the log
constexpr std::size_t kLineChars = 500;  // and the characters of each
constexpr const char* kAlertVariablePrefix = "VELMORA_ALERT_";

std::string number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// The command as log lines name it.
std::string shownCommand(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& a : args) {
    if (!text.empty()) text += ' ';
    text += a;
  }
  if (text.size() > 200) text = text.substr(0, 200) + "...";
  return text;
}

// The command's output as the log gets it: its first kLoggedLines lines,
// each cut at kLineChars characters; what is left out is counted. Each byte
// is looked at once, however long the lines.
class OutputLog {
 public:
  void Add(const char* data, std::size_t size) {
    while (size > 0) {
      const void* found = std::memchr(data, '\n', size);
      const std::size_t n =
          found == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(found) - data);
      take(data, n);
      if (found == nullptr) return;
      endLine();
      data += n + 1;
      size -= n + 1;
    }
  }
  // Logs a last line without its end and what was left out.
  void Finish() {
    if (open_) endLine();
    if (lines_ > kLoggedLines) LogFormat("Alert command: %lld more lines not logged.", lines_ - kLoggedLines);
    if (leftBytes_ > 0) LogFormat("Alert command: ... and %llu more bytes not logged.", leftBytes_);
  }

 private:
  void take(const char* data, std::size_t n) {
    if (n == 0) return;
    open_ = true;
    if (lines_ >= kLoggedLines) {
      leftBytes_ += n;
      return;
    }
    const std::size_t kept = std::min(n, kLineChars - std::min(kLineChars, line_.size()));
    line_.append(data, kept);
    cut_ += n - kept;
  }
  void endLine() {
    if (++lines_ <= kLoggedLines) {
      // A line end of "\r\n" is not part of the line.
      if (cut_ == 0 && !line_.empty() && line_.back() == '\r') line_.pop_back();
      LogMessage("Alert command: " + line_);
      leftBytes_ += cut_;
    }
    line_.clear();
    cut_ = 0;
    open_ = false;
  }

  std::string line_;     // the kept part of the line being read
  std::size_t cut_ = 0;  // and the bytes of it not kept
  bool open_ = false;    // some of a line not yet ended was read
  long long lines_ = 0;
  unsigned long long leftBytes_ = 0;  // every byte not logged, line ends aside
};

}  // namespace

std::string AlertLogText(const Alert& alert) {
  char text[512];
  std::snprintf(text, sizeof text, "Alert: %s %s, price %.2f, change %.2f (%.2f%%), bar of %s.",
                alert.symbol.c_str(), alert.event.c_str(), alert.price, alert.change, alert.changePercent,
                alert.barDate.c_str());
  return text;
}

std::string AlertReportHeader() {
  char text[160];
  std::snprintf(text, sizeof text, "%-19s %-10s %-22s %10s %9s %8s\n", "Time", "Symbol", "Event", "Price",
                "Change", "Change%");
  return text;
}

std::string AlertReportRow(const Alert& alert) {
  char text[512];
  std::snprintf(text, sizeof text, "%-19s %-10s %-22s %10.2f %9.2f %7.2f%%\n", alert.time.c_str(),
                alert.symbol.c_str(), alert.event.c_str(), alert.price, alert.change, alert.changePercent);
  return text;
}

std::string AlertJsonLine(const Alert& alert) {
  nlohmann::ordered_json object;
  object["symbol"] = alert.symbol;
  object["event"] = alert.event;
  object["kind"] = AlertKindWord(alert.kind);
  object["price"] = alert.price;
  object["change"] = alert.change;
  object["changePercent"] = alert.changePercent;
  object["barDate"] = alert.barDate;
  object["time"] = alert.time;
  // A byte that is not UTF-8 (a symbol from an odd list) is replaced, not thrown.
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void JsonLinesSink::Deliver(const Alert& alert) {
  const std::string line = AlertJsonLine(alert) + "\n";
  const int fd =
      ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
  bool ok = fd >= 0;
  // One write per line, so lines of two programs appending never interleave.
  if (ok) ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  const int error = errno;
  if (fd >= 0) ok = ::close(fd) == 0 && ok;
  if (!ok && !failing_)
    LogFormat("Can not append alerts to '%s' (%s).", path_.c_str(), std::strerror(fd >= 0 ? EIO : error));
  failing_ = !ok;
}

bool SplitCommandLine(std::string_view text, std::vector<std::string>& args, std::string& error) {
  args.clear();
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (inWord) args.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '\'') {
      const std::size_t close = text.find('\'', i + 1);
      if (close == std::string_view::npos) {
        error = "the quote ' is not closed";
        return false;
      }
      word.append(text.substr(i + 1, close - i - 1));
      inWord = true;
      i = close;
    } else if (c == '"') {
      std::size_t j = i + 1;
      for (; j < text.size() && text[j] != '"'; ++j) {
        if (text[j] == '\\' && j + 1 < text.size() && (text[j + 1] == '"' || text[j + 1] == '\\')) ++j;
        word.push_back(text[j]);
      }
      if (j >= text.size()) {
        error = "the quote \" is not closed";
        return false;
      }
      inWord = true;
      i = j;
    } else if (c == '\\') {
      if (i + 1 >= text.size()) {
        error = "a backslash ends the command";
        return false;
      }
      word.push_back(text[++i]);
      inWord = true;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (inWord) args.push_back(word);
  return true;
}

bool IsSecretVariable(std::string_view name) {
  for (const char* exact : {"VELMORA_TIINGO_KEY", "VELMORA_FINNHUB_KEY", "VELMORA_WEB_TOKEN"})
    if (name == exact) return true;
  const auto endsWith = [&](std::string_view tail) {
    if (name.size() < tail.size()) return false;
    const std::string_view end = name.substr(name.size() - tail.size());
    return std::equal(end.begin(), end.end(), tail.begin(), [](char a, char b) {
      return std::toupper(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
    });
  };
  for (const char* tail : {"_KEY", "_TOKEN", "_SECRET", "_PASSWORD"})
    if (endsWith(tail)) return true;
  return false;
}

CommandSink::CommandSink(std::vector<std::string> args, std::chrono::milliseconds limit)
    : args_(std::move(args)), shown_(shownCommand(args_)), limit_(limit) {
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string_view entry(*e);
    if (entry.rfind(kAlertVariablePrefix, 0) == 0 || IsSecretVariable(entry.substr(0, entry.find('='))))
      continue;
    environment_.emplace_back(entry);
  }
}

namespace {

// Starts the command with its output (both streams) into a pipe; 0, or the
// error that kept it from starting.
int spawnCommand(std::vector<std::string> args, std::vector<std::string> environment, pid_t& pid,
                 int& output) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return errno;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The programs block their stop signals in every thread; the command
  // starts with none blocked and the usual dispositions, as the leader of a
  // session (and group) of its own, so whatever it starts can be found and
  // ended.
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t usual;
  sigemptyset(&usual);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD}) sigaddset(&usual, s);
  posix_spawnattr_setsigdefault(&attributes, &usual);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
  const int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    return spawned;
  }
  output = out[0];
  return 0;
}

// SIGTERM first; what still runs after this gets SIGKILL.
constexpr std::chrono::milliseconds kKillGrace{300};

struct CommandEnd {
  int status = 0;
  bool killed = false;   // at the time limit or by an abort, before it ended
  bool lingers = false;  // it ended, but processes it started still run
};

// Whether the command has ended, without waiting for it: its process stays
// (a zombie) and keeps its id until waitpid.
bool hasEnded(pid_t pid, int& status) {
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != pid)
    return false;
  status = info.si_code == CLD_EXITED ? (info.si_status & 0xff) << 8 : info.si_status & 0x7f;
  return true;
}

void reap(pid_t pid, int& status) {
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Logs the command's output until it ends; ends its session at `deadline`
// or once `aborted` is set. Closes `output`. A command that ended but left
// processes running is not waited for (`lingers`).
CommandEnd waitForCommand(pid_t pid, int output, std::chrono::steady_clock::time_point deadline,
                          const std::atomic<bool>& aborted, const std::string& shown) {
  CommandEnd end;
  OutputLog log;
  bool exited = false;
  bool eof = false;
  for (;;) {
    if (!exited) exited = hasEnded(pid, end.status);
    if (eof && exited) break;
    const auto now = std::chrono::steady_clock::now();
    // The limit holds after the command ended too: a program it left
    // running may keep the output busy.
    if (now >= deadline || aborted.load()) {
      end.killed = !exited;
      if (exited) end.lingers = true;
      break;
    }
    if (eof) {  // the output is closed but the command still runs
      ::usleep(10 * 1000);
      continue;
    }
    // Once the command has ended, only what it already wrote is read: a
    // program it left running in the background may hold the pipe open.
    pollfd ready{output, POLLIN, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    const int polled = ::poll(&ready, 1, exited ? 0 : static_cast<int>(std::min<long long>(left, 50)));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) {
      if (exited) break;
      continue;
    }
    char buffer[65536];
    const ssize_t n = ::read(output, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      eof = true;
      continue;
    }
    log.Add(buffer, static_cast<std::size_t>(n));
  }
  ::close(output);
  log.Finish();
  if (end.killed) {
    EndCommandProcesses(pid, shown, kKillGrace);
    reap(pid, end.status);
  } else if (!end.lingers && !FindCommandProcesses(pid).empty()) {
    end.lingers = true;
  }
  if (!end.lingers) reap(pid, end.status);
  return end;
}

}  // namespace

bool CommandSink::Run(const Alert& alert) {
  if (aborted_.load()) return false;
  if (args_.empty()) return true;
  std::vector<std::string> environment = environment_;
  environment.push_back(std::string(kAlertVariablePrefix) + "SYMBOL=" + alert.symbol);
  environment.push_back(std::string(kAlertVariablePrefix) + "EVENT=" + alert.event);
  environment.push_back(std::string(kAlertVariablePrefix) + "PRICE=" + number(alert.price));
  environment.push_back(std::string(kAlertVariablePrefix) + "CHANGE=" + number(alert.change));
  environment.push_back(std::string(kAlertVariablePrefix) + "TIME=" + alert.time);
  pid_t pid = -1;
  int output = -1;
  const int error = spawnCommand(args_, std::move(environment), pid, output);
  if (error != 0) {
    LogFormat("Alert command '%s' could not start: %s.", shown_.c_str(), std::strerror(error));
    return true;
  }
  const auto deadline = std::chrono::steady_clock::now() + limit_;
  const CommandEnd end = waitForCommand(pid, output, deadline, aborted_, shown_);
  if (end.lingers) {
    if (aborted_.load() || std::chrono::steady_clock::now() >= deadline)
      endLingering(pid, aborted_.load());
    else
      linger(pid, deadline);
  }
  if (end.killed && aborted_.load()) {
    LogFormat("Alert command '%s' was stopped at shutdown.", shown_.c_str());
    return false;
  }
  if (end.killed) {
    LogFormat("Alert command '%s' did not end within %lld ms and was killed.", shown_.c_str(),
              static_cast<long long>(limit_.count()));
  } else if (WIFEXITED(end.status) && WEXITSTATUS(end.status) != 0) {
    LogFormat("Alert command '%s' ended with status %d.", shown_.c_str(), WEXITSTATUS(end.status));
  } else if (WIFSIGNALED(end.status)) {
    LogFormat("Alert command '%s' ended by signal %d.", shown_.c_str(), WTERMSIG(end.status));
  }
  return true;
}

CommandSink::~CommandSink() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
  // The program goes: nothing a command started outlives it.
  for (const Lingering& l : lingering_) endLingering(l.leader, true);
}

void CommandSink::Abort() {
  aborted_.store(true);
  { const std::lock_guard<std::mutex> hold(lock_); }  // the watcher is waiting, or sees the flag
  wake_.notify_all();
}

void CommandSink::linger(pid_t leader, std::chrono::steady_clock::time_point deadline) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    lingering_.push_back({leader, deadline});
    if (!watcher_.joinable()) watcher_ = std::thread([this] { watch(); });
  }
  wake_.notify_all();
}

// Ends what the commands left running, each at its own limit (all at once
// after an abort).
void CommandSink::watch() {
  std::unique_lock<std::mutex> hold(lock_);
  while (!stopping_) {
    const bool aborted = aborted_.load();
    const auto now = std::chrono::steady_clock::now();
    std::vector<pid_t> due;
    auto next = std::chrono::steady_clock::time_point::max();
    std::erase_if(lingering_, [&](const Lingering& l) {
      if (aborted || l.deadline <= now) {
        due.push_back(l.leader);
        return true;
      }
      next = std::min(next, l.deadline);
      return false;
    });
    if (!due.empty()) {
      hold.unlock();
      for (const pid_t leader : due) endLingering(leader, aborted);
      hold.lock();
      continue;
    }
    // A command added later has a later limit than those here.
    if (next == std::chrono::steady_clock::time_point::max())
      wake_.wait(hold, [this] { return stopping_ || !lingering_.empty(); });
    else
      wake_.wait_until(hold, next, [this] { return stopping_ || aborted_.load(); });
  }
}

void CommandSink::endLingering(pid_t leader, bool atShutdown) {
  const bool running = !FindCommandProcesses(leader).empty();
  if (running) {
    EndCommandProcesses(leader, shown_, kKillGrace);
    if (atShutdown)
      LogFormat("Alert command '%s' left processes running; they were stopped at shutdown.", shown_.c_str());
    else
      LogFormat("Alert command '%s' left processes running; they were killed after %lld ms.", shown_.c_str(),
                static_cast<long long>(limit_.count()));
  }
  int status = 0;
  reap(leader, status);
}

}  // namespace velmora
