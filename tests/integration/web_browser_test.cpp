// The monitor's web view in a real browser: the real velmora-monitor with
// --web against the real quote-standin, and the page as headless Chromium
// renders it. The table shows a row per listed security with the values
// the JSON interface serves, blank cells for one whose history never
// loads, and a quote that changes at the service reaches the page.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "core/chart_dates.h"
#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::StandinServer;
using test::TempFolder;

constexpr const char* kChromium = "/usr/bin/chromium";
constexpr const char* kFileSymbol = "MSFT";    // served from a data file the test rewrites
constexpr const char* kBrokenSymbol = "ZZZQ";  // its history always fails: blank cells
const std::vector<std::string> kListed = {"MSFT", "^DJI", "^GSPC", "ZZZQ"};

bool weekday(int days) { return (days + 4) % 7 != 6 && (days + 4) % 7 != 0; }  // 1970-01-01 was a Thursday

std::string isoDate(int days) {
  const CalendarDate d = CivilFromDays(days);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

// A plain GET on loopback: the status and the body (status 0 when nothing answered).
struct Answer {
  int status = 0;
  std::string body;
};

Answer httpGet(int port, const std::string& path) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(5, 0);
  const httplib::Result res = client.Get(path.c_str());
  if (!res) return {};
  return {res->status, res->body};
}

// The port of "velmora-monitor: web view at http://127.0.0.1:PORT/"; 0
// when the monitor does not say.
int webPort(ChildProcess& monitor) {
  const std::string marker = "web view at http://127.0.0.1:";
  std::string line;
  while (monitor.ReadLine(line, 15s)) {
    const auto at = line.find(marker);
    if (at != std::string::npos) return std::atoi(line.c_str() + at + marker.size());
  }
  return 0;
}

// The rows of /api/securities (empty when it does not answer).
nlohmann::json servedRows(int port) {
  const Answer answer = httpGet(port, "/api/securities");
  if (answer.status != 200) return nlohmann::json::array();
  const nlohmann::json list = nlohmann::json::parse(answer.body, nullptr, false);
  if (list.is_discarded() || !list.contains("securities")) return nlohmann::json::array();
  return list["securities"];
}

// The close of `symbol` in /api/securities, NAN while it has none.
double servedClose(int port, const std::string& symbol) {
  for (const auto& row : servedRows(port))
    if (row.value("symbol", "") == symbol && row.value("loaded", false) && row.contains("close"))
      return row["close"].get<double>();
  return NAN;
}

// Every listed security but the broken one has loaded.
bool allLoaded(int port) {
  const nlohmann::json rows = servedRows(port);
  if (rows.size() != kListed.size()) return false;
  for (const auto& row : rows)
    if (row.value("symbol", "") != kBrokenSymbol && !row.value("loaded", false)) return false;
  return true;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

// The page (with a fragment: "#chart=MSFT" opens that chart) after its scripts ran, as headless Chromium
// serialises it. The page opens its event stream a second after it settles, so a short virtual-time budget
// ends before that never-ending request starts.
std::string dumpPage(const TempFolder& profile, int port, const std::string& fragment = "") {
  ChildProcess browser({kChromium, "--headless", "--no-sandbox", "--disable-gpu", "--log-level=3",
                        "--user-data-dir=" + profile.path(), "--virtual-time-budget=600", "--dump-dom",
                        "http://127.0.0.1:" + std::to_string(port) + "/" + fragment});
  std::vector<std::string> lines;
  const int status = test::RunToEnd(browser, lines, 30s);
  EXPECT_EQ(status, 0) << browser.DrainStderr();
  std::string dom;
  for (const std::string& line : lines) dom += line + "\n";
  return dom;
}

// One cell of the page's table: its text and classes.
struct PageCell {
  std::string text;
  std::string classes;
};

std::string attribute(const std::string& tag, const std::string& name) {
  const auto at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  const auto from = at + name.size() + 3;
  return tag.substr(from, tag.find('"', from) - from);
}

// The cell of column `column` in the row of `symbol` (the elements marked
// data-symbol and data-col); text "<none>" when the page has no such cell.
// The texts of a two-part cell are joined.
PageCell pageCell(const std::string& dom, const std::string& symbol, const std::string& column) {
  const auto row = dom.find("data-symbol=\"" + symbol + "\"");
  if (row == std::string::npos) return {"<none>", ""};
  const auto rowEnd = dom.find("data-symbol=", row + 1);
  const auto col = dom.find("data-col=\"" + column + "\"", row);
  if (col == std::string::npos || col > rowEnd) return {"<none>", ""};
  const auto tagStart = dom.rfind('<', col);
  const auto tagEnd = dom.find('>', col);
  const std::string tag = dom.substr(tagStart, tagEnd - tagStart);
  const auto cellEnd = dom.find("</div>", tagEnd);
  std::string text;
  bool inTag = false;
  for (char c : dom.substr(tagEnd + 1, cellEnd - tagEnd - 1)) {
    if (c == '<') inTag = true;
    if (!inTag) text += c;
    if (c == '>') inTag = false;
  }
  return {text, attribute(tag, "class")};
}

std::string twoDecimals(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// A data file for the stand-in: 300 trading days up to `lastDay`, newest
// first, whose last day opens at 100 and closes at `lastClose`.
std::string dataFile(int lastDay, double lastClose) {
  std::string text = "Date,Open,High,Low,Close,Volume\n";
  int day = lastDay;
  for (int n = 0; n < 300; --day) {
    if (!weekday(day)) continue;
    const double base = 100 + 10 * std::sin(n / 9.0);
    const double open = n == 0 ? 100 : base;
    const double close = n == 0 ? lastClose : base + 0.5 * std::cos(n / 3.0);
    char line[160];
    std::snprintf(line, sizeof line, "%s,%.2f,%.2f,%.2f,%.2f,%d\n", isoDate(day).c_str(), open,
                  std::max(open, close) + 1, std::min(open, close) - 1, close, 1000000 + 1000 * n);
    text += line;
    ++n;
  }
  return text;
}

// The real quote-standin serving kFileSymbol from a data file (and failing
// kBrokenSymbol), and the real velmora-monitor with its web view on a free
// port, in a temporary folder; both stopped at the end.
class WebMonitor {
 public:
  WebMonitor() {
    lastDay_ = DaysFromCivil(TodayLocalDate()) - 1;
    while (!weekday(lastDay_)) --lastDay_;
  }
  ~WebMonitor() {
    if (monitor_ == nullptr) return;
    monitor_->Signal(SIGTERM);
    monitor_->Wait(10s);
  }

  // Starts both and waits until every security but the broken one has
  // loaded and the file's close (`close`) is served; false with a reason.
  bool Start(double close, std::string& error) {
    WriteQuote(close);
    standin_ = std::make_unique<StandinServer>(std::vector<std::string>{"--now", isoDate(lastDay_) + "T16:30",
                                                                        "--data-dir", data_.path(), "--fault",
                                                                        std::string(kBrokenSymbol) + "=404"});
    if (!standin_->ok()) return (error = "quote-standin did not start", false);
    std::string list;
    for (const std::string& symbol : kListed) list += symbol + "\n";
    test::WriteFile(folder_.file("List.dat"), list);
    test::WriteMonitorConfig(folder_, standin_->port(),
                             "ThreadLoadQuoteNum=2\nQuoteInterval=0\nStartRealTimeQuoteLoader=Yes");
    monitor_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{test::BinPath("velmora-monitor"), "--web", "127.0.0.1:0"}, folder_.path());
    port_ = monitor_->started() ? webPort(*monitor_) : 0;
    if (port_ <= 0) return (error = "no web view: " + monitor_->DrainStderr(), false);
    if (!ServesClose(close, 20s)) return (error = "the web view never served the loaded rows", false);
    return true;
  }

  // The stand-in's quote of kFileSymbol closes at `close` from now on.
  void WriteQuote(double close) {
    test::WriteFile(data_.file(std::string(kFileSymbol) + ".csv"), dataFile(lastDay_, close));
  }

  bool ServesClose(double close, std::chrono::milliseconds timeout) {
    return waitFor(
        [&] { return allLoaded(port_) && std::abs(servedClose(port_, kFileSymbol) - close) < 1e-9; },
        timeout);
  }

  std::string Page(const std::string& fragment = "") { return dumpPage(profile_, port_, fragment); }
  int port() const { return port_; }

 private:
  TempFolder folder_;
  TempFolder data_;
  TempFolder profile_;
  int lastDay_ = 0;
  std::unique_ptr<StandinServer> standin_;
  std::unique_ptr<ChildProcess> monitor_;
  int port_ = 0;
};

// The text of the element with `id` (up to its first child element).
std::string textOf(const std::string& dom, const std::string& id) {
  const auto at = dom.find("id=\"" + id + "\"");
  if (at == std::string::npos) return "<none>";
  const auto from = dom.find('>', at) + 1;
  return dom.substr(from, dom.find('<', from) - from);
}

std::string attributeOf(const std::string& dom, const std::string& id, const std::string& name) {
  const auto at = dom.find("id=\"" + id + "\"");
  if (at == std::string::npos) return "<none>";
  const auto tagStart = dom.rfind('<', at);
  return attribute(dom.substr(tagStart, dom.find('>', at) - tagStart), name);
}

class WebBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(kChromium, X_OK) != 0) GTEST_SKIP() << kChromium << " is not installed";
  }
};

TEST_F(WebBrowser, TheTableShowsEveryListedSecurityAndFollowsAChangedQuote) {
  WebMonitor web;
  std::string error;
  ASSERT_TRUE(web.Start(97.5, error)) << error;

  // Every listed security has its row, with the served values.
  std::string dom = web.Page();
  const nlohmann::json rows = servedRows(web.port());
  ASSERT_EQ(rows.size(), kListed.size());
  for (const auto& row : rows) {
    const std::string symbol = row["symbol"];
    SCOPED_TRACE(symbol);
    EXPECT_EQ(pageCell(dom, symbol, "symbol").text, symbol);
    if (symbol == kBrokenSymbol) {
      // No history: the symbol alone, blank cells rather than zeros.
      EXPECT_FALSE(row.value("loaded", true));
      for (const char* column : {"time", "open", "close", "volume", "change", "rsi", "bs0"})
        EXPECT_EQ(pageCell(dom, symbol, column).text, "") << column;
      continue;
    }
    for (const char* column : {"open", "high", "low", "close"})
      EXPECT_EQ(pageCell(dom, symbol, column).text, twoDecimals(row[column].get<double>())) << column;
    EXPECT_EQ(pageCell(dom, symbol, "time").text, row["time"].get<std::string>());
    EXPECT_FALSE(pageCell(dom, symbol, "rsi").text.empty());
  }
  // The file's last day closed below its open: red.
  EXPECT_EQ(pageCell(dom, kFileSymbol, "close").text, "97.50");
  EXPECT_NE(pageCell(dom, kFileSymbol, "close").classes.find("fall"), std::string::npos);
  EXPECT_NE(pageCell(dom, kFileSymbol, "change").classes.find("fall"), std::string::npos);

  // The service's quote moves above the open; the monitor's next pass
  // brings it, and the page shows it in green.
  web.WriteQuote(104.25);
  ASSERT_TRUE(web.ServesClose(104.25, 15s));
  dom = web.Page();
  EXPECT_EQ(pageCell(dom, kFileSymbol, "close").text, "104.25");
  EXPECT_NE(pageCell(dom, kFileSymbol, "close").classes.find("rise"), std::string::npos);
  EXPECT_NE(pageCell(dom, kFileSymbol, "change").classes.find("rise"), std::string::npos);
}

TEST_F(WebBrowser, AChartShowsTheLocalHistoryOrTheServersReasonWhenThereIsNone) {
  WebMonitor web;
  std::string error;
  ASSERT_TRUE(web.Start(97.5, error)) << error;

  // The loader wrote the security's history: six months of it.
  std::string dom = web.Page(std::string("#chart=") + kFileSymbol);
  EXPECT_EQ(textOf(dom, "chart-title"), std::string(kFileSymbol) + " \xE2\x80\x93 6 months daily chart");
  EXPECT_EQ(textOf(dom, "chart-note"), "");
  const int bars = std::atoi(attributeOf(dom, "chart-area", "data-bars").c_str());
  EXPECT_GE(bars, 120);
  EXPECT_LE(bars, 132);

  // No history file for the broken one: the server's words, and the few
  // bars the monitor keeps (none).
  dom = web.Page(std::string("#chart=") + kBrokenSymbol);
  EXPECT_NE(textOf(dom, "chart-note").find(std::string("no local history for ") + kBrokenSymbol),
            std::string::npos)
      << textOf(dom, "chart-note");
  EXPECT_EQ(attributeOf(dom, "chart-area", "data-bars"), "0");

  // A link whose name is no percent-encoded text opens no chart, and the table loads as without it.
  for (const char* broken : {"#chart=%", "#chart=%E0%A4%A"}) {
    dom = web.Page(broken);
    EXPECT_EQ(pageCell(dom, kFileSymbol, "symbol").text, kFileSymbol) << broken;
  }
}

}  // namespace
}  // namespace velmora
