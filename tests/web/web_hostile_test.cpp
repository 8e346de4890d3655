// Clients that try to wear the web view down over real sockets: a request
// head too large or with too many fields, heads sent a line at a time by
// more clients than the service has threads, and dates that do not exist.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "web/web_service.h"
#include "web_test_helpers.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

TEST(WebHostileClients, FloodedOrSlowHeadsAndImpossibleDatesAreRefusedWhileOthersAreServed) {
  test::TempFolder folder;
  SecurityStore store;
  (void)store.Append(test::LoadedSecurity("MSFT", 5, 40, 0.5));
  WebOptions options;
  options.folder = folder.path();
  options.headDeadlineMs = 60000;  // far beyond the test: only the slow-head slots free the threads
  std::string error;
  const auto service = StartWebService(options, store, nullptr, error);
  ASSERT_NE(service, nullptr) << error;
  const int port = service->port();

  // Too many short fields, or too many bytes in few fields, even after a
  // good request on the same connection: 431, and the API's error is JSON.
  const std::string start = "GET /api/securities HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  std::string manyFields = start;
  for (int i = 0; i < 300; ++i) manyFields += "X-F" + std::to_string(i) + ": a\r\n";
  std::string largeFields = "GET /api/health HTTP/1.1\r\n\r\n" + start;
  for (int i = 0; i < 40; ++i) largeFields += "X-Big: " + std::string(2000, 'b') + "\r\n";
  for (const std::string& flood : {manyFields + "\r\n", largeFields + "\r\n"}) {
    test::RawEventClient client(port, "", 0, flood);
    ASSERT_TRUE(client.connected());
    EXPECT_TRUE(client.ReadToClose(20s));
    EXPECT_NE(client.text().find("HTTP/1.1 431 Request Header Fields Too Large\r\n"), std::string::npos)
        << client.text().substr(0, 200);
    EXPECT_NE(client.text().find("{\"error\":\"the request's header fields"), std::string::npos);
  }

  // More clients than threads, each sending a field now and then: past a
  // second those beyond a few slots are answered 408, and a plain request
  // is answered meanwhile.
  std::vector<std::unique_ptr<test::RawEventClient>> slow;
  for (int i = 0; i < 100; ++i)
    slow.push_back(
        std::make_unique<test::RawEventClient>(port, "", 0, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
  std::atomic<bool> sending{true};
  std::thread dripper([&] {
    while (sending) {
      for (auto& client : slow) (void)client->Send("X-Slow: 1\r\n");
      std::this_thread::sleep_for(300ms);
    }
  });
  httplib::Client probe("127.0.0.1", port);
  probe.set_read_timeout(30, 0);
  const auto health = probe.Get("/api/health");
  EXPECT_TRUE(health && health->status == 200);
  EXPECT_TRUE(slow.back()->ReadUntil("HTTP/1.1 408 Request Timeout\r\n", 30s)) << slow.back()->text();
  sending = false;
  dripper.join();

  // Only days of the calendar: 29 February in leap years alone.
  struct DateCase {
    const char* from;
    int status;  // 404: a real day, but MSFT has no local history here
  };
  for (const DateCase& c :
       {DateCase{"2026-02-29", 400}, DateCase{"2026-02-31", 400}, DateCase{"1900-02-29", 400},
        DateCase{"2100-02-29", 400}, DateCase{"2026-04-31", 400}, DateCase{"2024-02-29", 404},
        DateCase{"2000-02-29", 404}, DateCase{"2026-12-31", 404}}) {
    const auto res = probe.Get((std::string("/api/securities/MSFT?from=") + c.from).c_str());
    ASSERT_TRUE(res) << c.from;
    EXPECT_EQ(res->status, c.status) << c.from << ": " << res->body;
  }
  service->Stop();
}

}  // namespace
}  // namespace velmora
