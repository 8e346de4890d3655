// The web view's interface as a browser or a script meets it: an in-process
// service over a store filled the way the loader fills it, asked with a
// real HTTP client.
#include "web/web_service.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/log.h"
#include "monitor/local_history_writer.h"
#include "support/log_lines.h"
#include "support/test_support.h"
#include "web_test_helpers.h"

namespace velmora {
namespace {

using nlohmann::json;
using test::TempFolder;
using test::WriteFile;

// An alert center that keeps its sinks and answers Recent() from a list.
class FakeAlertCenter : public AlertCenter {
 public:
  void AddSink(std::shared_ptr<AlertSink> sink) override { sinks.push_back(std::move(sink)); }
  std::vector<Alert> Recent() const override { return recent; }
  std::vector<std::shared_ptr<AlertSink>> sinks;
  std::vector<Alert> recent;
};

Alert MakeAlert(const char* symbol, AlertKind kind, const char* time) {
  Alert alert;
  alert.symbol = symbol;
  alert.kind = kind;
  alert.event = AlertKindWord(kind);
  alert.barDate = "12/07/2026";
  alert.price = 33.59;
  alert.change = 0.48;
  alert.changePercent = 1.45;
  alert.time = time;
  return alert;
}

// `days` daily rows ending on 2026-12-07, newest first, as the loader writes them.
std::string HistoryCsv(int days) {
  std::vector<QuoteBar> bars(static_cast<std::size_t>(days));
  std::tm day{};
  day.tm_year = 2026 - 1900;
  day.tm_mon = 11;
  day.tm_mday = 7;
  day.tm_hour = 12;
  for (int i = 0; i < days; ++i) {
    std::tm d = day;
    d.tm_mday -= i;
    std::mktime(&d);
    char text[48];
    std::snprintf(text, sizeof text, "%d/%d/%d", d.tm_mon + 1, d.tm_mday, d.tm_year + 1900);
    QuoteBar& bar = bars[static_cast<std::size_t>(i)];
    bar.SetDate(text);
    bar.close = 100 + (i % 17) - i * 0.05;
    bar.open = bar.close - 0.5;
    bar.high = bar.close + 1;
    bar.low = bar.open - 1;
    bar.volume = 10000 + i;
  }
  return FormatLocalHistoryCsv(days, bars.data());
}

class WebServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)store.Append(test::LoadedSecurity("MSFT", 5, 40, 0.5));
    test::AppendListed(store, "IBM");
    (void)store.Append(test::LoadedSecurity("^DJI", 3, 12000, 10));
    WriteFile(folder.file("MSFT.csv"), HistoryCsv(800));
    WriteFile(folder.file("Status.txt"), "status report\n");
    WriteFile(folder.file("SecurityWithBuySignal.txt"), "buy\n");
    WriteFile(folder.file("SecurityWithSellSignal.txt"), "sell\n");
    WriteFile(folder.file("SecurityWithTrendChangedUp.txt"), "up\n");
    WriteFile(folder.file("SecurityWithTrendChangedDown.txt"), "down\n");
    WriteFile(folder.file("Config.ini"), "secret settings\n");
    WriteFile(folder.file("List.dat"), "MSFT\n");
  }

  void Start(const std::string& token = "", std::vector<std::string> allowedHosts = {}) {
    WebOptions options;
    options.folder = folder.path();
    options.token = token;
    options.allowedHosts = std::move(allowedHosts);
    options.eventIntervalMs = 50;
    options.clock = [this] { return clockStart + std::chrono::seconds(clockSeconds.load()); };
    std::string error;
    service = StartWebService(options, store, &alerts, error);
    ASSERT_NE(service, nullptr) << error;
    client = std::make_unique<httplib::Client>("127.0.0.1", service->port());
    client->set_read_timeout(5, 0);
  }

  json GetJson(const std::string& path, int expectedStatus = 200) {
    auto res = client->Get(path.c_str());
    EXPECT_TRUE(res) << path;
    if (!res) return json();
    EXPECT_EQ(res->status, expectedStatus) << path << ": " << res->body.substr(0, 300);
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/json") << path;
    EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store") << path;
    return json::parse(res->body, nullptr, false);
  }

  TempFolder folder;
  SecurityStore store;
  FakeAlertCenter alerts;
  // The wrong-token throttle's clock: seconds past the start, moved by the test.
  const std::chrono::steady_clock::time_point clockStart = std::chrono::steady_clock::now();
  std::atomic<int> clockSeconds{0};
  std::unique_ptr<WebService> service;
  std::unique_ptr<httplib::Client> client;
};

TEST_F(WebServiceTest, SecuritiesListEveryRowInListOrderWithTheNewestBar) {
  Start();
  const json all = GetJson("/api/securities");
  ASSERT_TRUE(all.is_object());
  EXPECT_EQ(all["time"].get<std::string>().size(), 19u);
  EXPECT_EQ(all["switches"],
            json::parse(R"({"volume":true,"movingAverages":true,"rsi":true,"signalMarks":true})"));
  const json& rows = all["securities"];
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["symbol"], "MSFT");
  EXPECT_EQ(rows[1]["symbol"], "IBM");
  EXPECT_EQ(rows[2]["symbol"], "DJIA");  // the index as the monitor names it
  EXPECT_EQ(rows[2]["isIndex"], true);

  const json& msft = rows[0];
  EXPECT_EQ(msft["index"], 0);
  EXPECT_EQ(msft["loaded"], true);
  EXPECT_EQ(msft["time"], "4:00pm");
  EXPECT_EQ(msft["date"], "12/07/2026");
  EXPECT_DOUBLE_EQ(msft["close"].get<double>(), 40);
  EXPECT_DOUBLE_EQ(msft["open"].get<double>(), 39.5);
  EXPECT_DOUBLE_EQ(msft["previousClose"].get<double>(), 39.5);  // bar 1's close
  EXPECT_EQ(msft["volume"], 1000);
  EXPECT_EQ(msft["volumeAvg50"], 900);
  EXPECT_DOUBLE_EQ(msft["changePercent"].get<double>(), 1.25);
  ASSERT_EQ(msft["ema"].size(), 6u);
  EXPECT_DOUBLE_EQ(msft["ema"][0].get<double>(), 39.75);
  EXPECT_EQ(msft["above"], json::parse(R"(["Y","N","N","N","N","N"])"));
  EXPECT_EQ(msft["marks"], json::parse(R"(["B","","","S",""])"));
  for (const char* key : {"high", "low", "change", "toEma10", "rsi", "stochK", "stochD", "version"})
    EXPECT_TRUE(msft.contains(key)) << key;

  // A security not loaded yet tells only who it is.
  const json& ibm = rows[1];
  EXPECT_EQ(ibm, json::parse(R"({"index":1,"symbol":"IBM","isIndex":false,"loaded":false,"version":)" +
                             std::to_string(ibm["version"].get<int>()) + "}"));
}

TEST_F(WebServiceTest, VersionGrowsWithEachPublishAndRowsShowTheNewData) {
  Start();
  const auto before = GetJson("/api/securities")["securities"][1]["version"].get<std::uint64_t>();
  store.entry(1).PublishHistory(test::LoadedSecurity("IBM", 2, 150, 1));
  const json ibm = GetJson("/api/securities")["securities"][1];
  EXPECT_GT(ibm["version"].get<std::uint64_t>(), before);
  EXPECT_EQ(ibm["loaded"], true);
  EXPECT_DOUBLE_EQ(ibm["close"].get<double>(), 150);
  EXPECT_EQ(ibm["marks"], json::parse(R"(["B","","","",""])"));  // bars past the history have none
}

TEST_F(WebServiceTest, OneSecurityGivesItsRowAndStoredBarsNewestFirst) {
  Start();
  const json msft = GetJson("/api/securities/MSFT");
  EXPECT_EQ(msft["symbol"], "MSFT");
  EXPECT_EQ(msft["row"]["index"], 0);
  const json& bars = msft["bars"];
  ASSERT_EQ(bars.size(), 5u);
  EXPECT_EQ(bars[0]["date"], "12/07/2026");
  EXPECT_EQ(bars[0]["iso"], "2026-12-07");
  EXPECT_EQ(bars[4]["iso"], "2026-12-03");
  EXPECT_EQ(bars[0]["signalMark"], "B");
  for (const char* key :
       {"time",          "open",       "high",       "low",    "close",  "volume",  "volumeAvg50", "change",
        "changePercent", "upperBreak", "lowerBreak", "trend",  "rsi",    "stochK",  "stochD",      "ema5",
        "ema10",         "ema20",      "ema50",      "ema100", "ema200", "toEma10", "above"})
    EXPECT_TRUE(bars[0].contains(key)) << key;

  // Symbols are URL-encoded by the page; an index by its shown name.
  EXPECT_EQ(GetJson("/api/securities/%4D%53FT")["symbol"], "MSFT");
  EXPECT_EQ(GetJson("/api/securities/DJIA")["bars"].size(), 3u);
}

TEST_F(WebServiceTest, UnknownOrMisspeltSymbolsAre404WithAnError) {
  Start();
  for (const char* path : {"/api/securities/msft", "/api/securities/AAPL", "/api/securities/..%2FConfig.ini",
                           "/api/securities/MSFT%00", "/api/securities/%ZZ", "/api/securities/"}) {
    const json error = GetJson(path, 404);
    EXPECT_TRUE(error.contains("error")) << path;
  }
}

TEST_F(WebServiceTest, RangesReadTheLocalHistoryComputedByTheEngine) {
  Start();
  const json year = GetJson("/api/securities/MSFT?range=1y");
  const json& bars = year["bars"];
  ASSERT_EQ(bars.size(), 366u);  // 2025-12-07 to 2026-12-07, both included
  EXPECT_EQ(bars[0]["iso"], "2026-12-07");
  EXPECT_EQ(bars[365]["iso"], "2025-12-07");
  // Computed: the averages and the RSI are filled in, not zero.
  EXPECT_GT(bars[0]["ema200"].get<double>(), 50);
  EXPECT_GT(bars[0]["rsi"].get<double>(), 0);
  EXPECT_EQ(year["row"]["symbol"], "MSFT");

  EXPECT_EQ(GetJson("/api/securities/MSFT?range=6m")["bars"].back()["iso"], "2026-06-07");
  // The file holds about two years (the last row is not a bar): 5y gives all.
  EXPECT_EQ(GetJson("/api/securities/MSFT?range=5y")["bars"].size(), 799u);
  const json days = GetJson("/api/securities/MSFT?from=2026-11-01&to=2026-11-30");
  ASSERT_EQ(days["bars"].size(), 30u);
  EXPECT_EQ(days["bars"][0]["iso"], "2026-11-30");
  EXPECT_EQ(days["bars"][29]["iso"], "2026-11-01");

  for (const char* bad : {"range=3y", "range=", "from=2026-13-01", "from=yesterday",
                          "from=2026-12-01&to=2026-11-01", "range=1y&from=2026-01-01"})
    EXPECT_TRUE(GetJson(std::string("/api/securities/MSFT?") + bad, 400).contains("error")) << bad;

  // IBM is listed but has no file.
  EXPECT_EQ(GetJson("/api/securities/IBM?range=1y", 404),
            json::parse(R"({"error":"no local history for IBM"})"));
}

TEST_F(WebServiceTest, ReportsAreServedByTheirFiveNamesOnly) {
  Start();
  const std::pair<const char*, const char*> reports[] = {{"Status.txt", "status report\n"},
                                                         {"SecurityWithBuySignal.txt", "buy\n"},
                                                         {"SecurityWithSellSignal.txt", "sell\n"},
                                                         {"SecurityWithTrendChangedUp.txt", "up\n"},
                                                         {"SecurityWithTrendChangedDown.txt", "down\n"}};
  for (const auto& [name, text] : reports) {
    auto res = client->Get((std::string("/reports/") + name).c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << name;
    EXPECT_EQ(res->body, text);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=utf-8");
  }
  for (const char* path :
       {"/reports/../Config.ini", "/reports/%2e%2e/Config.ini", "/reports/List.dat", "/reports/Config.ini",
        "/reports/", "/reports/status.txt", "/Config.ini", "/reports/Status.txt/"}) {
    auto res = client->Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 404) << path;
    EXPECT_EQ(res->body.find("secret"), std::string::npos) << path;
  }
}

TEST_F(WebServiceTest, PageFilesUnknownPathsAndOtherMethods) {
  Start();
  auto page = client->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("<html"), std::string::npos);
  EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(page->get_header_value("Content-Security-Policy"), "default-src 'self'");
  for (const auto& [path, type] :
       std::vector<std::pair<std::string, std::string>>{{"/app.js", "text/javascript; charset=utf-8"},
                                                        {"/app.css", "text/css; charset=utf-8"},
                                                        {"/favicon.svg", "image/svg+xml"}}) {
    auto res = client->Get(path.c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << path;
    EXPECT_EQ(res->get_header_value("Content-Type"), type) << path;
    EXPECT_FALSE(res->body.empty()) << path;
  }

  auto missing = client->Get("/nothing.html");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_TRUE(GetJson("/api/nothing", 404).contains("error"));

  auto post = client->Post("/api/securities", "x", "text/plain");
  ASSERT_TRUE(post);
  EXPECT_EQ(post->status, 405);
  EXPECT_TRUE(json::parse(post->body, nullptr, false).contains("error"));
  auto remove = client->Delete("/");
  ASSERT_TRUE(remove);
  EXPECT_EQ(remove->status, 405);
  // A body larger than the sign-in form ever sends is refused, and the
  // service goes on.
  auto huge = client->Post("/login", std::string(100000, 'a'), "application/x-www-form-urlencoded");
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 413);
  EXPECT_EQ(GetJson("/api/health")["securities"], 3);
}

TEST_F(WebServiceTest, AlertsAndHealth) {
  Start();
  EXPECT_EQ(GetJson("/api/alerts"), json::parse(R"({"alerts":[]})"));
  alerts.recent = {MakeAlert("MSFT", AlertKind::kBuy, "2026-12-08 15:31:07"),
                   MakeAlert("IBM", AlertKind::kTrendDown, "2026-12-08 15:30:00")};
  const json list = GetJson("/api/alerts");
  ASSERT_EQ(list["alerts"].size(), 2u);
  EXPECT_EQ(list["alerts"][0], json::parse(R"({"symbol":"MSFT","kind":"buy signal","event":"buy signal",
      "barDate":"12/07/2026","price":33.59,"change":0.48,"changePercent":1.45,"time":"2026-12-08 15:31:07"})"));
  EXPECT_EQ(list["alerts"][1]["kind"], "trend down");

  const json health = GetJson("/api/health");
  EXPECT_EQ(health["securities"], 3);
  EXPECT_EQ(health["loaded"], 2);
  EXPECT_EQ(health["eventClients"], 0);
  for (const char* key : {"loaderThreads", "runningThreads", "passes", "lastPassTime", "lastPassSeconds",
                          "historyFailures", "uptimeSeconds"})
    EXPECT_TRUE(health.contains(key)) << key;
}

TEST_F(WebServiceTest, WithoutAnAlertCenterTheListIsEmpty) {
  WebOptions options;
  options.folder = folder.path();
  std::string error;
  auto bare = StartWebService(options, store, nullptr, error);
  ASSERT_NE(bare, nullptr) << error;
  httplib::Client c("127.0.0.1", bare->port());
  auto res = c.Get("/api/alerts");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, R"({"alerts":[]})");
}

TEST_F(WebServiceTest, TokenIsNeededEverywhereButTheSignIn) {
  Start("s3cret token 0123456789");
  // Without it: the API says 401 in JSON, the page sends the browser to sign in.
  EXPECT_TRUE(GetJson("/api/securities", 401).contains("error"));
  auto page = client->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 303);
  EXPECT_EQ(page->get_header_value("Location"), "/login");
  auto report = client->Get("/reports/Status.txt");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->status, 303);
  auto form = client->Get("/login");
  ASSERT_TRUE(form);
  EXPECT_EQ(form->status, 200);
  EXPECT_NE(form->body.find("name=\"token\""), std::string::npos);

  // Wrong tokens, of any length, are refused.
  for (const char* wrong :
       {"Bearer s3cret token 012345678", "Bearer s3cret token 0123456789!", "Bearer S3cret token 0123456789",
        "Bearer ", "s3cret token 0123456789", "Basic czNjcmV0IHRva2Vu"}) {
    auto res = client->Get("/api/health", {{"Authorization", wrong}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401) << wrong;
  }
  clockSeconds += 61;  // those wrong tries are forgotten
  auto bearer = client->Get("/api/health", {{"Authorization", "Bearer s3cret token 0123456789"}});
  ASSERT_TRUE(bearer);
  EXPECT_EQ(bearer->status, 200);

  // The sign-in form: a wrong token gets the form again, the right one a cookie.
  auto refused = client->Post("/login", "token=nope", "application/x-www-form-urlencoded");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 401);
  EXPECT_NE(refused->body.find("<form"), std::string::npos);
  EXPECT_FALSE(refused->has_header("Set-Cookie"));
  auto signedIn =
      client->Post("/login", "token=s3cret+token+0123456789", "application/x-www-form-urlencoded");
  ASSERT_TRUE(signedIn);
  EXPECT_EQ(signedIn->status, 303);
  EXPECT_EQ(signedIn->get_header_value("Location"), "/");
  const std::string cookie = signedIn->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
  EXPECT_NE(cookie.find("Path=/"), std::string::npos);
  const std::string pair = cookie.substr(0, cookie.find(';'));
  EXPECT_EQ(pair.rfind("velmora_token=", 0), 0u);

  auto withCookie = client->Get("/api/securities", {{"Cookie", "other=1; " + pair}});
  ASSERT_TRUE(withCookie);
  EXPECT_EQ(withCookie->status, 200);
  auto pageWithCookie = client->Get("/", {{"Cookie", pair}});
  ASSERT_TRUE(pageWithCookie);
  EXPECT_EQ(pageWithCookie->status, 200);
  auto badCookie = client->Get("/api/securities", {{"Cookie", "velmora_token=s3cret"}});
  ASSERT_TRUE(badCookie);
  EXPECT_EQ(badCookie->status, 401);
  // The browser forgets a cookie of another token rather than sending it on.
  EXPECT_EQ(badCookie->get_header_value("Set-Cookie").rfind("velmora_token=; Max-Age=0;", 0), 0u);

  // The event stream needs it too.
  test::RawEventClient stranger(service->port());
  ASSERT_TRUE(stranger.ReadUntil("\r\n\r\n", std::chrono::seconds(3)));
  EXPECT_EQ(stranger.text().rfind("HTTP/1.1 401", 0), 0u);
}

TEST_F(WebServiceTest, AnAddressBeyondThisMachineNeedsALongEnoughToken) {
  WebOptions options;
  options.address = "0.0.0.0";
  options.folder = folder.path();
  std::string error;
  EXPECT_EQ(StartWebService(options, store, nullptr, error), nullptr);
  EXPECT_EQ(error, "the web view on 0.0.0.0 needs a token: set VELMORA_WEB_TOKEN or --web-token-file");

  for (const char* guessable : {"t", "fifteen-chars!!"}) {
    options.token = guessable;
    EXPECT_EQ(StartWebService(options, store, nullptr, error), nullptr) << guessable;
    EXPECT_NE(error.find("too short"), std::string::npos) << error;
  }
  options.token = "sixteen-chars!!!";
  auto open = StartWebService(options, store, nullptr, error);
  ASSERT_NE(open, nullptr) << error;
  httplib::Client c("127.0.0.1", open->port());
  auto res = c.Get("/api/health");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 401);
}

// Who is heard at all. Without a token only requests naming this machine
// (or an allowed name) are answered, so a page elsewhere whose name was
// pointed at 127.0.0.1 reads nothing; a token guards any name unless names
// are given. Five wrong tokens from an address within a minute shut it out
// for a minute, the right token included, and the log says so once.
TEST_F(WebServiceTest, RequestChecksHostNamesAndWrongTokens) {
  test::ScopedCurrentDir here(folder.path());
  const std::string token = "s3cret token 0123456789";
  const httplib::Headers right = {{"Authorization", "Bearer " + token}};
  const auto status = [&](const std::string& host, httplib::Headers headers = {},
                          const char* path = "/api/health") {
    if (!host.empty()) headers.emplace("Host", host);
    const auto res = client->Get(path, headers);
    return res ? res->status : -1;
  };
  const auto raw = [&](const std::string& request) {
    test::RawEventClient c(service->port(), "", 0, request);
    EXPECT_TRUE(c.ReadUntil("\r\n\r\n", std::chrono::seconds(10))) << request;
    return c.text().substr(0, 12);
  };
  const struct {
    const char* allowed;  // "": none
    const char* host;
    int status;
  } cases[] = {{"", "127.0.0.1:8421", 200},
               {"", "LocalHost", 200},
               {"", "[::1]:80", 200},
               {"", "127.0.0.2", 200},
               {"", "evil.example", 421},
               {"", "evil.example:8421", 421},
               {"", "localhost.evil.example", 421},
               {"", "127.0.0.1.evil.example", 421},
               {"", "[::1", 421},
               {"", "localhost:80x", 421},
               {"monitor.example", "Monitor.Example:8421", 200},
               {"fe80::1", "[FE80:0::1]:80", 200},
               {"monitor.example", "evil.example", 421}};
  for (const auto& c : cases) {
    Start("", *c.allowed != '\0' ? std::vector<std::string>{c.allowed} : std::vector<std::string>{});
    EXPECT_EQ(status(c.host), c.status) << c.host;
    EXPECT_EQ(status(c.host, {}, "/"), c.status) << c.host;
  }
  EXPECT_EQ(raw("GET /api/health HTTP/1.0\r\n\r\n"), "HTTP/1.1 200");  // no browser leaves it out
  EXPECT_EQ(raw("GET /api/health HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: evil.example\r\n\r\n"), "HTTP/1.1 421");
  Start(token);
  EXPECT_EQ(status("evil.example", right), 200);
  Start(token, {"monitor.example"});
  EXPECT_EQ(status("evil.example", right), 421);
  EXPECT_EQ(status("monitor.example", right), 200);

  // Four wrong tries of every kind, then a minute: forgotten. Four more
  // and the right token still passes; the fifth shuts the address out.
  const auto wrongTries = [&](int count) {
    for (int i = 0; i < count; ++i) {
      const auto res = i % 3 == 0 ? client->Get("/api/health", {{"Authorization", "Bearer guess"}})
                       : i % 3 == 1
                           ? client->Get("/", {{"Cookie", "velmora_token=guess"}})
                           : client->Post("/login", "token=guess", "application/x-www-form-urlencoded");
      ASSERT_TRUE(res);
      EXPECT_EQ(res->status, i % 3 == 1 ? 303 : 401) << i;
    }
  };
  wrongTries(4);
  clockSeconds += 60;
  wrongTries(4);
  EXPECT_EQ(status("", right), 200);
  wrongTries(1);
  const auto shut = client->Get("/api/health", right);
  ASSERT_TRUE(shut);
  EXPECT_EQ(shut->status, 429);
  EXPECT_EQ(shut->get_header_value("Retry-After"), "60");
  EXPECT_EQ(status("", {}, "/login"), 429);
  clockSeconds += 59;
  EXPECT_EQ(client->Post("/login", "token=" + token, "application/x-www-form-urlencoded")->status, 429);
  clockSeconds += 1;
  EXPECT_EQ(status("", right), 200);
  EXPECT_EQ(test::LogCountOf("The web view refuses 127.0.0.1 for a minute: 5 wrong tokens within a minute."),
            1);
  EXPECT_EQ(MaskLogSecrets("token " + token), "token ***");
}

TEST_F(WebServiceTest, APortInUseIsAnErrorNotAService) {
  Start();
  WebOptions options;
  options.port = service->port();
  std::string error;
  EXPECT_EQ(StartWebService(options, store, nullptr, error), nullptr);
  EXPECT_NE(error.find(std::to_string(service->port())), std::string::npos) << error;
}

}  // namespace
}  // namespace velmora
