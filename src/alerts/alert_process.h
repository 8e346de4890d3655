#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace velmora {

// A process as /proc shows it.
struct ProcessInfo {
  pid_t pid = 0;
  pid_t parent = 0;
  pid_t group = 0;
  pid_t session = 0;
  bool zombie = false;  // ended, not yet waited for
  std::string name;     // the program's short name
};

// Every process of the machine that /proc lets us see.
std::vector<ProcessInfo> ListProcesses();

// What an alert command started as the leader of a session of its own
// (session id `leader`) still has running, zombies aside: the processes of
// its session (its group and any group it made), and those that left the
// session (setsid) but descend from one of them. A process whose parent
// ended before it left the session has no such line and is not found.
struct CommandProcesses {
  std::vector<ProcessInfo> inSession;
  std::vector<ProcessInfo> escaped;
  bool empty() const { return inSession.empty() && escaped.empty(); }
};
CommandProcesses FindCommandProcesses(pid_t leader, const std::vector<ProcessInfo>& all);
inline CommandProcesses FindCommandProcesses(pid_t leader) {
  return FindCommandProcesses(leader, ListProcesses());
}

// Ends what the command `leader` has running: SIGTERM to its group, to the
// rest of its session and to the processes that left it (each named in the
// log, `shown` naming the command), then SIGKILL to what is left after
// `grace`. Returns once they are gone (or after a second more). The leader
// itself, when ended, stays for the caller to wait for.
void EndCommandProcesses(pid_t leader, const std::string& shown, std::chrono::milliseconds grace);

}  // namespace velmora
