// quote-standin: the stand-in quote service. See --help.
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <thread>

#include "base/app_identity.h"
#include "server/quote_service.h"
#include "server/standin_options.h"

namespace {

using velmora::standin::OptionsResult;
using velmora::standin::ParseOptions;
using velmora::standin::QuoteService;
using velmora::standin::ServiceSettings;
using velmora::standin::StandinOptions;
using velmora::standin::UsageText;

// Enough workers for a few dozen clients at once: a keep-alive client holds
// one, and so does every request of the hang fault until its client gives up.
constexpr std::size_t kWorkerThreads = 64;

// The server library listens with a fixed queue of 5 pending connections:
// more clients than that connecting at once lose their first attempt and try
// again a second later. The library hands every socket it makes for listening
// to the socket-options callback before binding it, so the last one handed
// over is the one that bound; main() then listens on it again with the queue
// length asked for (Linux takes a new length on a listening socket).
struct ListeningSocket {
  int fd = -1;
};

void configure(httplib::Server& server, QuoteService& service, ListeningSocket& listening) {
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  server.set_socket_options([&listening](int sock) {
    // Reuse the address after a restart, but never share a port with another server.
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listening.fd = sock;
  });
  server.set_tcp_nodelay(true);
  server.set_keep_alive_timeout(2);
  server.set_read_timeout(5, 0);
  server.set_write_timeout(5, 0);
  server.set_payload_max_length(64 * 1024);
  server.set_pre_routing_handler([&service](const httplib::Request& req, httplib::Response& res) {
    if (req.method != "GET" && req.method != "HEAD") return httplib::Server::HandlerResponse::Unhandled;
    service.Handle(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  // The library's own refusals (bad request lines, other methods) get a short text.
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty() && res.content_length_ == 0) {
      const char* text = res.status == 400   ? "Bad Request"
                         : res.status == 404 ? "Not Found"
                         : res.status == 413 ? "Payload Too Large"
                         : res.status == 414 ? "URI Too Long"
                                             : "Error";
      res.set_content(std::string(text) + "\n", "text/plain");
    }
  });
  server.set_logger([&service](const httplib::Request& req, const httplib::Response& res) {
    service.LogRequest(req, res);
  });
}

// SIGINT and SIGTERM are taken by one watcher thread, never by the workers:
// they stay blocked in every thread started after this.
sigset_t blockStopSignals() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return stopSignals;
}

ServiceSettings serviceSettings(const StandinOptions& options) {
  ServiceSettings settings;
  settings.pageSize = options.pageSize;
  settings.latencyMs = options.latencyMs;
  settings.dataDir = options.dataDir;
  settings.faults = options.faults;
  settings.fixedNow = options.now;
  settings.providerSplits = options.providerSplits;
  settings.requiredKey = options.requiredKey;
  return settings;
}

// The port the server is bound to (port 0 asks for a free one); 0 or less
// when it cannot listen there.
[[nodiscard]] int bindServer(httplib::Server& server, const StandinOptions& options) {
  if (options.port == 0) return server.bind_to_any_port(options.bind);
  return server.bind_to_port(options.bind, options.port) ? options.port : -1;
}

// Gives the bound socket its queue of `backlog` pending connections (the
// system caps it at net.core.somaxconn); false when the socket is not the
// server's listening socket on `port` or the system refuses.
[[nodiscard]] bool setBacklog(const ListeningSocket& listening, int port, int backlog) {
  if (listening.fd < 0) return false;
  int accepting = 0;
  socklen_t size = sizeof accepting;
  if (::getsockopt(listening.fd, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) != 0 || accepting == 0) {
    return false;
  }
  sockaddr_storage addr{};
  socklen_t addrSize = sizeof addr;
  if (::getsockname(listening.fd, reinterpret_cast<sockaddr*>(&addr), &addrSize) != 0) return false;
  int boundPort = -1;
  if (addr.ss_family == AF_INET) boundPort = ntohs(reinterpret_cast<const sockaddr_in*>(&addr)->sin_port);
  if (addr.ss_family == AF_INET6) boundPort = ntohs(reinterpret_cast<const sockaddr_in6*>(&addr)->sin6_port);
  return boundPort == port && ::listen(listening.fd, backlog) == 0;
}

void announceListening(const std::string& bind, int port) {
  const bool v6 = bind.find(':') != std::string::npos;
  std::printf("listening on http://%s%s%s:%d\n", v6 ? "[" : "", bind.c_str(), v6 ? "]" : "", port);
  std::fflush(stdout);
}

// Serves until a stop signal comes; the exit status: 0 after a stop, 1 when
// the server loop ended on its own with an error.
[[nodiscard]] int serveUntilStopped(httplib::Server& server, QuoteService& service,
                                    const sigset_t& stopSignals) {
  std::atomic<bool> listenDone{false};
  std::atomic<bool> stopRequested{false};
  std::thread watcher([&] {
    const timespec tick{0, 100 * 1000 * 1000};
    for (;;) {
      const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
      if (sig == SIGINT || sig == SIGTERM) break;
      if (listenDone.load()) return;
    }
    stopRequested.store(true);
    service.Stop();
    // A stop that comes before the server loop started would be lost: repeat it.
    while (!listenDone.load()) {
      server.stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const bool clean = server.listen_after_bind();
  listenDone.store(true);
  watcher.join();
  if (!stopRequested.load() && !clean) {
    std::fprintf(stderr, "quote-standin: the server stopped unexpectedly\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  StandinOptions options;
  std::string error;
  switch (ParseOptions(argc, argv, options, error)) {
    case OptionsResult::kHelp:
      std::fputs(UsageText(), stdout);
      return 0;
    case OptionsResult::kManual:
      std::fputs(velmora::OptionManual(velmora::standin::StandinOptionTable()).c_str(), stdout);
      return 0;
    case OptionsResult::kVersion:
      std::printf("quote-standin %s\n", velmora::kAppVersion);
      return 0;
    case OptionsResult::kError:
      std::fprintf(stderr, "quote-standin: %s (see --help)\n", error.c_str());
      return 2;
    case OptionsResult::kRun:
      break;
  }

  const sigset_t stopSignals = blockStopSignals();
  QuoteService service(serviceSettings(options));
  if (!options.requestLog.empty() && !service.OpenRequestLog(options.requestLog, error)) {
    std::fprintf(stderr, "quote-standin: %s\n", error.c_str());
    return 2;
  }

  httplib::Server server;
  ListeningSocket listening;
  configure(server, service, listening);
  const int port = bindServer(server, options);
  if (port <= 0) {
    std::fprintf(stderr, "quote-standin: cannot listen on %s port %d\n", options.bind.c_str(), options.port);
    return 1;
  }
  if (!setBacklog(listening, port, options.backlog)) {
    std::fprintf(stderr, "quote-standin: cannot set the queue of %d pending connections on %s port %d\n",
                 options.backlog, options.bind.c_str(), port);
    return 1;
  }
  announceListening(options.bind, port);
  return serveUntilStopped(server, service, stopSignals);
}
