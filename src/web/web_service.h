#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "alerts/alert_center.h"
#include "monitor/loader_pool.h"
#include "monitor/security_store.h"

namespace velmora {

// The shortest token the web view accepts.
inline constexpr std::size_t kMinWebTokenLength = 16;

// Where the web view listens and who may use it.
struct WebOptions {
  std::string address = "127.0.0.1";  // loopback unless the user names another address
  int port = 0;                       // 0: a free port (tests); the bound one is port()
  std::string token;                  // required on any address but loopback; empty: none
  // Host names (as ParseWebAllowedHost gives them) requests may name
  // besides this machine's loopback names and the bound address. Without a
  // token, or when any is given, a request naming another host is refused.
  std::vector<std::string> allowedHosts;
  std::string folder = ".";  // where the reports and the local history files are
  // The trend confirmation delay the charts' histories are computed with
  // (EffectiveConfirmDays of the monitor's configuration).
  int confirmDays = 2;
  // The loader pool whose passes /api/health tells; null: the process's
  // pool when the store is the process's, else no loader figures.
  const LoaderPool* pool = nullptr;
  int eventIntervalMs = 200;  // how often the event stream looks for changed rows
  int pingSeconds = 15;       // a comment line on every event stream this often
  // A request's head and body must have arrived this long after its first
  // byte (else 408); a head still coming after a second needs one of a few
  // slots for slow clients.
  int headDeadlineMs = 10000;
  // The clock of the wrong-token throttle; null: the steady clock (tests
  // pass their own).
  std::function<std::chrono::steady_clock::time_point()> clock;
};

// Whether `address` (as ParseWebListen gives it) is on this machine only:
// 127.0.0.0/8, ::1, ::ffff:127.x.y.z or "localhost".
bool IsLoopbackAddress(const std::string& address);

// Reads a host name given for WebOptions::allowedHosts ("monitor.example",
// "192.168.1.20", "[fe80::1]", without a port: any port goes with it) into
// `name`, in lower case and an IPv6 address without its brackets; false
// with a message in `error` for anything else.
[[nodiscard]] bool ParseWebAllowedHost(const std::string& text, std::string& name, std::string& error);

// Whether two secrets are equal, in a time that depends on their lengths
// only, never on where they first differ.
bool SameSecret(std::string_view a, std::string_view b);

// Reads "[ADDR:]PORT" ("8080", "0.0.0.0:8080", "[::1]:8080") into `out`;
// false with a message in `error` for anything else.
[[nodiscard]] bool ParseWebListen(const std::string& text, WebOptions& out, std::string& error);

// The monitor's web view: a page with the table, the charts and the alerts,
// and its JSON and event-stream interface, served from the process's own
// security store on threads of its own. It only reads: the store through
// its snapshots, the alerts through the center, the reports and the local
// history files from the folder. A slow or vanished browser never holds a
// loader thread.
class WebService {
 public:
  virtual ~WebService() = default;

  // The bound port once started.
  virtual int port() const = 0;

  // Event streams open now.
  virtual int eventClientCount() const = 0;

  // What the service writes back to a client that sends `input` on one
  // connection and then ends it, as over a socket (fuzzing).
  virtual std::string AnswerBytes(std::string_view input) = 0;

  // Stops serving and waits for the service's threads; open event streams
  // end. Called before the store and the alert center go away.
  virtual void Stop() = 0;
};

// Binds and starts serving; null with a message in `error` (a port in use,
// an address that is not loopback without a token, a token shorter than
// kMinWebTokenLength, ...). The token is added to the log's secrets. `alerts` may be
// null (no alerts list).
std::unique_ptr<WebService> StartWebService(const WebOptions& options, const SecurityStore& store,
                                            AlertCenter* alerts, std::string& error);

}  // namespace velmora
