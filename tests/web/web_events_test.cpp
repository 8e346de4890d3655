// The change feed and the event stream: rows reach every client once per
// change seen, a client that does not read costs bounded memory and holds
// no one else up, and a stop ends every stream at once.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "alerts/alert_center.h"
#include "support/monitor_fakes.h"
#include "web/web_feed.h"
#include "web/web_service.h"
#include "web_test_helpers.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using test::RawEventClient;
using test::WaitUntil;

class SinkKeeper : public AlertCenter {
 public:
  void AddSink(std::shared_ptr<AlertSink> sink) override { sinks.push_back(std::move(sink)); }
  std::vector<Alert> Recent() const override { return {}; }
  std::vector<std::shared_ptr<AlertSink>> sinks;
};

// The version of the last row event for `symbol` in an event-stream text.
std::uint64_t LastRowVersion(const std::string& text, const std::string& symbol) {
  std::uint64_t version = 0;
  std::size_t at = 0;
  while ((at = text.find("event: row\ndata: ", at)) != std::string::npos) {
    at += 17;
    const auto end = text.find('\n', at);
    const json row = json::parse(text.substr(at, end - at), nullptr, false);
    if (row.is_object() && row["symbol"] == symbol) version = row["version"].get<std::uint64_t>();
  }
  return version;
}

TEST(EventFeedThreads, RowsAreCoalescedPerClientAndRenderedOncePerChange) {
  SecurityStore store;
  (void)store.Append(test::LoadedSecurity("MSFT", 3, 40, 1));
  (void)store.Append(test::LoadedSecurity("IBM", 3, 150, 1));
  EventFeed::Settings settings;
  settings.interval = 20ms;
  EventFeed feed(store, settings);
  feed.Start();
  auto a = feed.Connect("{}");
  auto b = feed.Connect("{}");
  ASSERT_TRUE(a && b);

  std::string text;
  ASSERT_TRUE(feed.Next(*a, text, 30s));
  EXPECT_EQ(text, "event: hello\ndata: {}\n\n");

  // Many publishes of one row while the clients do not read: each holds
  // one text for it, the newest.
  for (int i = 0; i < 50; ++i) {
    store.entry(0).PublishQuote(test::LoadedSecurity("MSFT", 3, 40 + i, 1));
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(WaitUntil(
      [&] {
        return LastRowVersion(
                   [&] {
                     std::lock_guard<std::mutex> hold(a->lock);
                     return a->rows.empty() ? std::string() : *a->rows.begin()->second;
                   }(),
                   "MSFT") == store.entry(0).version();
      },
      30s));
  {
    std::lock_guard<std::mutex> hold(a->lock);
    EXPECT_EQ(a->rows.size(), 1u);
  }
  EXPECT_LE(feed.rowsRendered(), 50u);  // one per change seen, not per client
  ASSERT_TRUE(feed.Next(*b, text, 30s));
  EXPECT_NE(text.find("event: hello"), std::string::npos);
  EXPECT_EQ(LastRowVersion(text, "MSFT"), store.entry(0).version());
  EXPECT_NE(text.find("\"close\":89"), std::string::npos);
  EXPECT_EQ(text.find("IBM"), std::string::npos);  // unchanged rows are not sent

  // Nothing new: the wait ends empty.
  ASSERT_TRUE(feed.Next(*b, text, 50ms));
  EXPECT_EQ(text, "");
  feed.Stop();
  EXPECT_FALSE(feed.Next(*b, text, 1s));
}

TEST(EventFeedThreads, AClientThatNeverTakesItsAlertsIsDroppedNotGrown) {
  SecurityStore store;
  EventFeed feed(store, {});
  feed.Start();
  auto slow = feed.Connect("{}");
  auto quick = feed.Connect("{}");
  std::string text;
  for (std::size_t i = 0; i < EventFeed::kMaxQueued + 10; ++i) {
    feed.Broadcast("alert", "{\"n\":" + std::to_string(i) + "}");
    if (i % 100 == 0) {
      ASSERT_TRUE(feed.Next(*quick, text, 30s));
    }
  }
  {
    std::lock_guard<std::mutex> hold(slow->lock);
    EXPECT_LE(slow->others.size(), EventFeed::kMaxQueued);
  }
  EXPECT_FALSE(feed.Next(*slow, text, 100ms));
  ASSERT_TRUE(feed.Next(*quick, text, 30s));
  EXPECT_NE(text.find("{\"n\":" + std::to_string(EventFeed::kMaxQueued + 9) + "}"), std::string::npos);
  feed.Disconnect(slow);
  EXPECT_EQ(feed.clientCount(), 1);
}

class WebEventThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)store.Append(test::LoadedSecurity("MSFT", 3, 40, 1));
    test::AppendListed(store, "IBM");
    WebOptions options;
    options.eventIntervalMs = 50;
    std::string error;
    service = StartWebService(options, store, &alerts, error);
    ASSERT_NE(service, nullptr) << error;
  }

  SecurityStore store;
  SinkKeeper alerts;
  std::unique_ptr<WebService> service;
};

TEST_F(WebEventThreads, APublishedRowAndAnAlertArriveOnTheStream) {
  RawEventClient client(service->port());
  ASSERT_TRUE(client.ReadUntil("event: hello\ndata: {\"time\":\"", 30s));
  EXPECT_NE(client.text().find("Content-Type: text/event-stream"), std::string::npos);
  EXPECT_NE(client.text().find("Cache-Control: no-store"), std::string::npos);
  EXPECT_EQ(service->eventClientCount(), 1);

  store.entry(1).PublishHistory(test::LoadedSecurity("IBM", 3, 150, 1));
  ASSERT_TRUE(client.ReadUntil(
      "event: row\ndata: {\"index\":1,\"symbol\":\"IBM\",\"isIndex\":false,\"loaded\":true", 30s));
  EXPECT_EQ(LastRowVersion(client.text(), "IBM"), store.entry(1).version());

  ASSERT_EQ(alerts.sinks.size(), 1u);
  Alert alert;
  alert.symbol = "IBM";
  alert.kind = AlertKind::kSell;
  alert.event = "sell signal";
  alerts.sinks[0]->Deliver(alert);
  ASSERT_TRUE(client.ReadUntil("event: alert\ndata: {\"symbol\":\"IBM\",\"kind\":\"sell signal\"", 30s));
}

TEST_F(WebEventThreads, AClientThatNeverReadsHoldsUpNeitherTheFeedNorTheOthers) {
  // A small receive buffer, never read: its socket fills at once.
  RawEventClient stuck(service->port(), "", 4096);
  RawEventClient reader(service->port());
  ASSERT_TRUE(reader.ReadUntil("event: hello", 30s));
  ASSERT_TRUE(WaitUntil([&] { return service->eventClientCount() == 2; }, 30s));

  // A long stream of changes: the reader sees the newest of each row soon
  // after it is published, whatever the stuck client does.
  const auto start = std::chrono::steady_clock::now();
  std::uint64_t last = 0;
  while (std::chrono::steady_clock::now() - start < 1500ms) {
    for (int i = 0; i < 20; ++i) store.entry(0).PublishQuote(test::LoadedSecurity("MSFT", 32, 40 + i, 1));
    last = store.entry(0).version();
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(WaitUntil(
      [&] {
        (void)reader.ReadUntil("\n\n", 20ms, reader.text().size());
        return LastRowVersion(reader.text(), "MSFT") == last;
      },
      3s));  // within the 5 s after which the stuck client is dropped
  EXPECT_FALSE(stuck.closed());
}

TEST_F(WebEventThreads, StopEndsEveryStreamPromptly) {
  std::vector<std::unique_ptr<RawEventClient>> clients;
  for (int i = 0; i < 5; ++i) clients.push_back(std::make_unique<RawEventClient>(service->port()));
  for (auto& c : clients) ASSERT_TRUE(c->ReadUntil("event: hello", 30s));
  // And a page's connection left open between two requests.
  httplib::Client page("127.0.0.1", service->port());
  page.set_keep_alive(true);
  ASSERT_TRUE(page.Get("/api/health"));

  const auto start = std::chrono::steady_clock::now();
  service->Stop();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, 4500ms);  // an idle connection is let go within a second, not after its 5 s read limit
  for (auto& c : clients) {
    EXPECT_TRUE(c->ReadToClose(2s));
    EXPECT_NE(c->text().find("\r\n0\r\n\r\n"), std::string::npos);  // the stream's proper end
  }
  service->Stop();  // twice is harmless
}

}  // namespace
}  // namespace velmora
