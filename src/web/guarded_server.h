#pragma once

// The web view's HTTP server: cpp-httplib's, with each connection's request
// heads read by the service itself before the library parses them. A head
// must be whole within a deadline and within kMaxHeadBytes and
// kMaxHeaderLines, so a client can neither make a request cost more memory
// than that nor hold a thread by sending its head a line at a time.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

namespace velmora {

struct HeadLimits {
  // A request's head and body must have arrived this long after its first byte.
  std::chrono::milliseconds deadline{10000};
  // A head not whole after this needs one of the slow slots to go on; without
  // one it is answered 408. Browsers and scripts send their heads at once, so
  // slow clients can hold at most `slowSlots` threads; the others stay free
  // for new connections.
  std::chrono::milliseconds grace{1000};
  int slowSlots = 16;
};

class GuardedServer : public httplib::Server {
 public:
  explicit GuardedServer(const HeadLimits& limits) : limits_(limits) {}

  // The headers of every answer, the refusals of heads included.
  void SetDefaultHeaders(const httplib::Headers& headers);

  // What the server writes back to a connection that sends `input` and
  // then ends, in the same way as to a socket (fuzzing and tests).
  std::string AnswerBytes(std::string_view input);

  // Lets many connections wait for their accept at once (after a bind): the
  // library's queue of 5 drops a burst's connections, whose clients then
  // wait a second or more to try again.
  void DeepenListenQueue();

  // Connections now reading a head beyond the grace time.
  int slowHeads() const { return slowHeads_.load(); }

  class Connection;

 private:
  bool process_and_close_socket(socket_t sock) override;
  // Serves the requests of one connection until it ends.
  void serve(Connection& connection);
  enum class Head { kWhole, kClosed, kTooLarge, kLate };
  Head readHead(Connection& connection);
  void refuse(Connection& connection, int status);

  HeadLimits limits_;
  httplib::Headers headers_;
  std::atomic<int> slowHeads_{0};
};

}  // namespace velmora
