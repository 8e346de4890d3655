#include "alerts/alert_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unordered_map>

#include "base/log.h"

namespace velmora {

namespace {

// "/proc/PID/stat": "PID (NAME) STATE PARENT GROUP SESSION ...", the name
// may hold blanks and parentheses, so the fields are read after its last ')'.
bool readStat(pid_t pid, ProcessInfo& info) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char text[512];
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return false;
  text[n] = '\0';
  const char* open = std::strchr(text, '(');
  const char* close = std::strrchr(text, ')');
  if (open == nullptr || close == nullptr || close < open) return false;
  char state = 0;
  int parent = 0, group = 0, session = 0;
  if (std::sscanf(close + 1, " %c %d %d %d", &state, &parent, &group, &session) != 4) return false;
  info.pid = pid;
  info.parent = parent;
  info.group = group;
  info.session = session;
  info.zombie = state == 'Z' || state == 'X' || state == 'x';
  info.name.assign(open + 1, close);
  return true;
}

bool runs(const std::vector<ProcessInfo>& all, pid_t pid) {
  return std::any_of(all.begin(), all.end(), [&](const ProcessInfo& p) { return p.pid == pid && !p.zombie; });
}

void signalAll(pid_t leader, const CommandProcesses& found, const std::vector<pid_t>& escaped, int signal) {
  ::kill(-leader, signal);
  for (const ProcessInfo& p : found.inSession)
    if (p.group != leader) ::kill(p.pid, signal);  // a group of its own, in the same session
  for (const pid_t pid : escaped) ::kill(pid, signal);
}

}  // namespace

std::vector<ProcessInfo> ListProcesses() {
  std::vector<ProcessInfo> all;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return all;
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    ProcessInfo info;
    if (readStat(static_cast<pid_t>(pid), info)) all.push_back(std::move(info));
  }
  ::closedir(proc);
  return all;
}

CommandProcesses FindCommandProcesses(pid_t leader, const std::vector<ProcessInfo>& all) {
  CommandProcesses found;
  std::unordered_map<pid_t, const ProcessInfo*> byPid;
  for (const ProcessInfo& p : all) byPid[p.pid] = &p;
  for (const ProcessInfo& p : all) {
    if (p.zombie) continue;
    if (p.session == leader) {
      found.inSession.push_back(p);
      continue;
    }
    // Up the parents (a bounded walk: /proc may change while it is read).
    pid_t parent = p.parent;
    for (int depth = 0; depth < 64 && parent > 1; ++depth) {
      const auto it = byPid.find(parent);
      if (it == byPid.end()) break;
      if (it->second->session == leader) {
        found.escaped.push_back(p);
        break;
      }
      parent = it->second->parent;
    }
  }
  return found;
}

void EndCommandProcesses(pid_t leader, const std::string& shown, std::chrono::milliseconds grace) {
  using Clock = std::chrono::steady_clock;
  std::vector<pid_t> escaped;
  // Names the processes that left the session when first seen; true when
  // nothing of the command runs any more.
  const auto look = [&](CommandProcesses& found) {
    const std::vector<ProcessInfo> all = ListProcesses();
    found = FindCommandProcesses(leader, all);
    for (const ProcessInfo& p : found.escaped) {
      if (std::find(escaped.begin(), escaped.end(), p.pid) != escaped.end()) continue;
      LogFormat("Alert command '%s': process %d (%s) left the command's session; it is ended as well.",
                shown.c_str(), static_cast<int>(p.pid), p.name.c_str());
      escaped.push_back(p.pid);
    }
    std::erase_if(escaped, [&](pid_t pid) { return !runs(all, pid); });
    return found.inSession.empty() && escaped.empty();
  };
  const auto waitGone = [&](CommandProcesses& found, Clock::duration limit) {
    const Clock::time_point until = Clock::now() + limit;
    for (;;) {
      if (look(found)) return true;
      if (Clock::now() >= until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  };
  CommandProcesses found;
  if (look(found)) return;
  signalAll(leader, found, escaped, SIGTERM);
  if (waitGone(found, grace)) return;
  signalAll(leader, found, escaped, SIGKILL);
  (void)waitGone(found, std::chrono::seconds(1));
}

}  // namespace velmora
