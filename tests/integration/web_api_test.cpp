// velmora-monitor's web view as a browser meets it: the real monitor loads
// from the real quote-standin and serves its table, a security's history
// and the event stream on loopback.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <csignal>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "support/monitor_fakes.h"
#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using test::BinPath;
using test::ChildProcess;
using test::ScopedVariable;
using test::StandinServer;
using test::TempFolder;

// The port of the "velmora-monitor: web view at http://127.0.0.1:PORT/" line.
int ReadAnnouncedPort(ChildProcess& monitor) {
  const std::string prefix = "velmora-monitor: web view at http://127.0.0.1:";
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  std::string line;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!monitor.ReadLine(line, 1s)) continue;
    if (line.rfind(prefix, 0) == 0) return std::atoi(line.c_str() + prefix.size());
  }
  return -1;
}

json GetJson(httplib::Client& client, const std::string& path, int& status) {
  auto res = client.Get(path.c_str());
  status = res ? res->status : -1;
  return res ? json::parse(res->body, nullptr, false) : json();
}

TEST(WebApi, TheMonitorServesItsLoadingTableAndHistoryOnLoopback) {
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  test::WriteMonitorConfig(folder, standin.port(),
                           "ThreadLoadQuoteNum=4\nQuoteInterval=0\nStartRealTimeQuoteLoader=Yes");
  ChildProcess monitor({BinPath("velmora-monitor"), "--web", "127.0.0.1:0"}, folder.path());
  ASSERT_TRUE(monitor.started());
  const int port = ReadAnnouncedPort(monitor);
  ASSERT_GT(port, 0) << monitor.DrainStderr();

  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(10, 0);
  int status = 0;
  ASSERT_TRUE(test::WaitUntil([&] { return GetJson(client, "/api/health", status).is_object(); }, 10s));

  // A row per listed security (the default list of 24), in list order; all
  // of them load.
  json table;
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        table = GetJson(client, "/api/securities", status);
        if (status != 200 || !table.contains("securities")) return false;
        for (const json& row : table["securities"])
          if (row["loaded"] != true) return false;
        return true;
      },
      60s))
      << table.dump().substr(0, 2000);
  const json& rows = table["securities"];
  ASSERT_EQ(rows.size(), 24u);
  EXPECT_EQ(rows[0]["symbol"], "DJIA");
  EXPECT_EQ(rows[17]["symbol"], "MSFT");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i]["index"], i);
    EXPECT_GT(rows[i]["close"].get<double>(), 0) << rows[i].dump();
    EXPECT_EQ(rows[i]["marks"].size(), 5u);
  }

  // A year of MSFT's local history, computed, newest first.
  const json year = GetJson(client, "/api/securities/MSFT?range=1y", status);
  ASSERT_EQ(status, 200) << year.dump();
  const json& bars = year["bars"];
  ASSERT_GT(bars.size(), 200u);
  EXPECT_LT(bars.size(), 270u);
  EXPECT_GT(bars[0]["iso"].get<std::string>(), bars[bars.size() - 1]["iso"].get<std::string>());
  EXPECT_GT(bars[0]["ema50"].get<double>(), 0);
  EXPECT_EQ(GetJson(client, "/api/securities/MSFT", status)["bars"].size(), 32u);

  // The status report as the loader wrote it.
  auto report = client.Get("/reports/Status.txt");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->status, 200);
  EXPECT_NE(report->body.find("MSFT"), std::string::npos);

  // The event stream greets, then tells the health after each loader pass.
  std::string stream;
  httplib::Client events("127.0.0.1", port);
  events.set_read_timeout(10, 0);
  (void)events.Get("/api/events", [&](const char* data, std::size_t length) {
    stream.append(data, length);
    return stream.find("event: health\ndata: {\"securities\":24,") == std::string::npos;
  });
  EXPECT_EQ(stream.rfind("event: hello\n", 0), 0u) << stream.substr(0, 200);
  EXPECT_NE(stream.find("event: health"), std::string::npos) << stream.substr(0, 200);

  // The health tells the list and the passes (one was written before the
  // service started, the event came after another).
  const json health = GetJson(client, "/api/health", status);
  EXPECT_EQ(health["securities"], 24);
  EXPECT_EQ(health["loaded"], 24);
  EXPECT_EQ(health["loaderThreads"], 3);  // 24 securities: at least 10 a thread
  EXPECT_GE(health["passes"].get<int>(), 2);
  EXPECT_EQ(health["lastPassTime"].get<std::string>().size(), 19u);
  EXPECT_GT(health["lastPassSeconds"].get<double>(), 0);
  EXPECT_EQ(health["historyFailures"], 0);

  // The monitor stops serving on SIGTERM and ends normally.
  monitor.Signal(SIGTERM);
  EXPECT_EQ(monitor.Wait(10s), 0);
  EXPECT_FALSE(client.Get("/api/health"));
}

// A page elsewhere whose name was pointed at 127.0.0.1 reads nothing from
// the monitor; a token short enough to guess stops it before it serves.
TEST(WebApi, TheMonitorAnswersOnlyItsOwnNamesAndRefusesAShortToken) {
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  test::WriteMonitorConfig(folder, standin.port(), "StartRealTimeQuoteLoader=No");
  {
    ScopedVariable noToken("VELMORA_WEB_TOKEN", "");
    ChildProcess monitor(
        {BinPath("velmora-monitor"), "--web", "127.0.0.1:0", "--web-allowed-host", "Monitor.Example"},
        folder.path());
    const int port = ReadAnnouncedPort(monitor);
    ASSERT_GT(port, 0) << monitor.DrainStderr();
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(10, 0);
    const std::string at = ":" + std::to_string(port);
    for (const auto& [host, status] : std::vector<std::pair<std::string, int>>{
             {"127.0.0.1" + at, 200}, {"monitor.example" + at, 200}, {"evil.example" + at, 421}}) {
      const auto res = client.Get("/api/securities", {{"Host", host}});
      ASSERT_TRUE(res) << host;
      EXPECT_EQ(res->status, status) << host;
    }
    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(10s), 0);
  }
  for (const char* token : {"a", " ", " fifteen-chars!! "}) {
    ScopedVariable guessable("VELMORA_WEB_TOKEN", token);
    const auto r = test::RunProgram("velmora-monitor", {"--web", "0.0.0.0:0"}, folder.path(), 30s);
    EXPECT_EQ(r.status, 6) << "'" << token << "'";
    EXPECT_EQ(r.err.rfind("velmora-monitor: the web view could not start: ", 0), 0u) << r.err;
  }
}

}  // namespace
}  // namespace velmora
