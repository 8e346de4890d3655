// Many clients connecting at once: the queue of connections waiting to be
// taken, and the workers that serve them.
#include <gtest/gtest.h>

#include <csignal>

#include "standin/standin_client.h"
#include "standin/standin_helpers.h"
#include "support/test_support.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// Stops the server process so that it takes no connection: every attempt
// then waits in the system's queue or, beyond its length, is dropped.
class PausedServer {
 public:
  explicit PausedServer(ChildProcess& process) : process_(process) { process_.Signal(SIGSTOP); }
  ~PausedServer() { Resume(); }
  PausedServer(const PausedServer&) = delete;
  PausedServer& operator=(const PausedServer&) = delete;
  void Resume() {
    if (paused_) process_.Signal(SIGCONT);
    paused_ = false;
  }

 private:
  ChildProcess& process_;
  bool paused_ = true;
};

TEST(StandinConnections, ClientsConnectingAtOnceAreQueuedAndAllServed) {
  StandinServer server({"--now", "2005-12-06T17:00", "--latency", "20"});
  ASSERT_TRUE(server.ok());
  const std::string target = QuoteTarget("MSFT", kDayWatchFields);
  const std::string expected = HttpGet(server.port(), target).body;
  ASSERT_FALSE(expected.empty());

  PausedServer paused(server.process());
  ConnectionBurst burst(server.port(), 64);
  // A dropped attempt would only be retried by the client a second later,
  // and dropped again while the server is stopped: all must be queued now.
  EXPECT_EQ(burst.WaitConnected(10s), 64);
  paused.Resume();
  const std::vector<HttpReply> replies = burst.Exchange(target, 10s);
  EXPECT_EQ(replies.size(), 64u);
  for (const HttpReply& reply : replies) {
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, expected);
  }
}

TEST(StandinConnections, BacklogSetsHowManyConnectionsWait) {
  StandinServer server({"--backlog", "8"});
  ASSERT_TRUE(server.ok());
  PausedServer paused(server.process());
  ConnectionBurst burst(server.port(), 20);
  // The system queues the length asked for and one more; the rest are
  // dropped, and their retry a second later is dropped as well.
  const int connected = burst.WaitConnected(1500ms);
  EXPECT_GE(connected, 8);
  EXPECT_LE(connected, 9);
}

}  // namespace
}  // namespace velmora::test
