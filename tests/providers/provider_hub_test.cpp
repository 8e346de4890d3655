// The hub's way through the providers, over providers and a server of the
// tests' own: fallback order, cooling, budgets, retries, result codes, the
// quote a history answer brings and history that asks only for new days;
// then the whole way with the real providers and the real stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/chart_dates.h"
#include "net/fake_transport.h"
#include "net/quote_result.h"
#include "providers/history_overlap.h"
#include "providers/provider_plan.h"
#include "providers/provider_router.h"
#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::FakeResponse;
using test::Reply;

constexpr const char* kKey = "K3Y-that-must-stay-secret";
constexpr std::int64_t kNow = 1796317200;  // 2026-12-03 12:00 New York
constexpr ProviderId kYahoo = ProviderId::kYahooChart;
constexpr ProviderId kTiingo = ProviderId::kTiingo;
constexpr ProviderId kFinnhub = ProviderId::kFinnhub;

// A provider of the tests. Requests: http://<name>.test/h/SYMBOL?from=KEY&
// to=KEY&p=PERIOD and /q/SYMBOL, with token=KEY and an Authorization header
// where a key is needed. Bodies: lines "YYYY-MM-DD,open,high,low,close,
// volume" oldest first, "quote,LAST,PREVIOUS" for a quote (alone in a quote
// answer); "QUOTA" is a spent allowance, any other line bad data.
class TestProvider : public QuoteProvider {
 public:
  TestProvider(ProviderId id, ProviderAbilities abilities, std::set<std::string> unmapped = {})
      : id_(id), abilities_(abilities), unmapped_(std::move(unmapped)) {}

  ProviderId id() const override { return id_; }
  ProviderAbilities abilities() const override { return abilities_; }
  std::string MapSymbol(std::string_view symbol) const override {
    return unmapped_.count(std::string(symbol)) != 0 ? "" : std::string(symbol);
  }
  ProviderRequest HistoryRequest(const std::string& mapped, ProviderDate from, ProviderDate to,
                                 ProviderPeriod period) const override {
    return request("/h/" + mapped + "?from=" + std::to_string(from.key()) +
                   "&to=" + std::to_string(to.key()) + "&p=" + period + "&");
  }
  ProviderRequest QuoteRequest(const std::vector<std::string>& mapped) const override {
    return request("/q/" + mapped.at(0) + "?");
  }
  ProviderHistory ReadHistory(const ProviderAnswer& answer) const override {
    ProviderHistory h;
    h.outcome = read(answer, h.bars, &h.quote);
    h.hasQuote = h.quote.last > 0;
    return h;
  }
  ProviderQuotes ReadQuotes(const ProviderAnswer& answer) const override {
    ProviderQuotes q;
    std::vector<ProviderBar> bars;
    ProviderQuote quote;
    q.outcome = read(answer, bars, &quote);
    if (quote.last > 0) q.quotes.push_back(quote);
    return q;
  }

 private:
  ProviderRequest request(const std::string& object) const {
    std::string name = ProviderName(id_);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ProviderRequest r{"http://" + name + ".test" + object, {}};
    if (abilities_.needsKey) {
      r.url += std::string("token=") + kKey;
      r.headers.push_back(std::string("Authorization: Token ") + kKey);
    }
    return r;
  }
  static ProviderOutcome read(const ProviderAnswer& answer, std::vector<ProviderBar>& bars,
                              ProviderQuote* quote) {
    ProviderOutcome outcome = CommonOutcome(answer);
    if (outcome.status != ProviderStatus::kOk) return outcome;
    if (answer.body == "QUOTA") return ProviderOutcome{ProviderStatus::kQuotaUsedUp, -1, "quota text"};
    std::size_t from = 0;
    while (from < answer.body.size()) {
      const std::size_t end = std::min(answer.body.find('\n', from), answer.body.size());
      const std::string line = answer.body.substr(from, end - from);
      from = end + 1;
      ProviderBar b;
      if (std::sscanf(line.c_str(), "quote,%lf,%lf", &quote->last, &quote->previousClose) == 2) {
        quote->open = quote->low = quote->previousClose;
        quote->high = quote->last;
        quote->time = kNow;
      } else if (std::sscanf(line.c_str(), "%d-%d-%d,%lf,%lf,%lf,%lf,%lf", &b.date.year, &b.date.month,
                             &b.date.day, &b.open, &b.high, &b.low, &b.close, &b.volume) == 8) {
        b.adjClose = b.close;
        bars.push_back(b);
      } else {
        return ProviderOutcome{ProviderStatus::kBadData, -1, "a line that does not read"};
      }
    }
    return outcome;
  }

  ProviderId id_;
  ProviderAbilities abilities_;
  std::set<std::string> unmapped_;
};

int daysOf(int key) { return DaysFromCivil(CalendarDate{key / 10000, key / 100 % 100, key % 100}); }

// Weekdays of [from, to], oldest first, in whole and half units so a file of
// two decimals keeps them; before `splitKey` halved, as after a two-for-one
// split.
std::string historyBody(int fromKey, int toKey, int splitKey = 0) {
  std::string body;
  for (int d = daysOf(fromKey); d <= daysOf(toKey); ++d) {
    if ((d + 4) % 7 == 0 || (d + 4) % 7 == 6) continue;  // Sunday, Saturday
    const CalendarDate c = CivilFromDays(d);
    const double close = (60 + d % 37 + 0.5) / (DateKeyOf(c) < splitKey ? 2 : 1);
    char line[120];
    std::snprintf(line, sizeof line, "%04d-%02d-%02d,%.2f,%.2f,%.2f,%.2f,%d\n", c.year, c.month, c.day,
                  close - 0.5, close + 1, close - 1, close, 1000 + d % 100);
    body += line;
  }
  return body;
}

// A server of the tests, safe for many threads: scripted replies by the
// start of "host/object", else made-up prices and quotes. It records each
// request without its key.
struct Server {
  std::mutex mutex;
  std::vector<std::string> objects;
  std::map<std::string, std::vector<FakeResponse>> script;  // the last reply of each stays
  int splitKey = 0;
  bool withQuote = false;

  FakeResponse Answer(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex);
    objects.push_back(target.substr(0, target.find("token=")));
    for (auto& [prefix, replies] : script) {
      if (target.rfind(prefix, 0) != 0 || replies.empty()) continue;
      const FakeResponse r = replies.front();
      if (replies.size() > 1) replies.erase(replies.begin());
      return r;
    }
    if (target.find("/q/") != std::string::npos) return Reply(200, "quote,101.5,100.25");
    const int from = std::atoi(target.c_str() + target.find("from=") + 5);
    const int to = std::atoi(target.c_str() + target.find("to=") + 3);
    return Reply(200, historyBody(from, to, splitKey) + (withQuote ? "quote,99.75,98.5\n" : ""));
  }
  std::vector<std::string> Asked() {
    std::lock_guard<std::mutex> lock(mutex);
    return objects;
  }
  int Count(const std::string& prefix) {
    const std::vector<std::string> all = Asked();
    return static_cast<int>(
        std::count_if(all.begin(), all.end(), [&](const std::string& o) { return o.rfind(prefix, 0) == 0; }));
  }
};

class ServerConnection : public HttpConnection {
 public:
  ServerConnection(Server& server, std::string host) : server_(server), host_(std::move(host)) {}
  bool Send(const std::string& object, const std::string&, const Credentials*, std::string& error) override {
    reply_ = server_.Answer(host_ + object);
    offset_ = 0;
    error = reply_.sendError;
    return error.empty();
  }
  int Status() const override { return reply_.status; }
  std::string RawHeaders() const override {
    return "HTTP/1.1 " + std::to_string(reply_.status) + " X\r\n" + reply_.headers + "\r\n";
  }
  long Read(char* buffer, std::size_t size, std::string&) override {
    const std::size_t n = std::min(size, reply_.body.size() - offset_);
    std::copy_n(reply_.body.data() + offset_, n, buffer);
    offset_ += n;
    return static_cast<long>(n);
  }

 private:
  Server& server_;
  std::string host_;
  FakeResponse reply_;
  std::size_t offset_ = 0;
};

struct ServerTransport : HttpTransport {
  explicit ServerTransport(Server& s) : server(s) {}
  std::unique_ptr<HttpConnection> Connect(const UrlParts& url, InternetSession&) override {
    return std::make_unique<ServerConnection>(server, url.host);
  }
  Server& server;
};

class ProviderRouting : public test::InTempDir, public ::testing::Test {
 protected:
  // Yahoo: everything without a key; Tiingo: no weekly bars, a key, and not
  // the symbols in `tiingoUnmapped`; Finnhub: quotes only, a key.
  std::unique_ptr<ProviderRouter> Make(ProviderId history, ProviderId quotes,
                                       std::vector<ProviderId> fallback,
                                       std::set<std::string> tiingoUnmapped = {}) {
    ProviderPlan plan{history, quotes, std::move(fallback), {}};
    plan.settings[static_cast<int>(kTiingo)].key = plan.settings[static_cast<int>(kFinnhub)].key = kKey;
    ProviderAbilities all;
    all.daily = all.weekly = all.monthly = all.singleQuote = true;
    ProviderAbilities tiingo = all;
    tiingo.weekly = false;
    tiingo.needsKey = true;
    ProviderAbilities finnhub;
    finnhub.singleQuote = finnhub.needsKey = true;
    ProviderRouter::Providers providers;
    providers[static_cast<int>(kYahoo)] = std::make_shared<TestProvider>(kYahoo, all);
    providers[static_cast<int>(kTiingo)] = std::make_shared<TestProvider>(kTiingo, tiingo, tiingoUnmapped);
    providers[static_cast<int>(kFinnhub)] = std::make_shared<TestProvider>(kFinnhub, finnhub);
    auto router = std::make_unique<ProviderRouter>(std::move(plan), providers, "");
    router->setClock([this] { return now_.load(); },
                     [this](int ms) {
                       sleeps_.push_back(ms);
                       if (onSleep_) onSleep_();
                     });
    return router;
  }

  void Script(const std::string& prefix, std::vector<FakeResponse> replies) {
    std::lock_guard<std::mutex> lock(server_.mutex);
    server_.script[prefix] = std::move(replies);
  }

  int History(ProviderRouter& router, const char* symbol, int fromKey = 20260601, int toKey = 20261203,
              const std::vector<QuoteBar>& known = {}, char period = 'd') {
    return router.LoadHistory(symbol, period, ProviderDateFromKey(fromKey), ProviderDateFromKey(toKey),
                              known.empty() ? nullptr : known.data(), static_cast<int>(known.size()),
                              session_, static_cast<int>(bars_.size()), bars_.data());
  }

  int Quote(ProviderRouter& router, const char* symbol) {
    current_.Reset();
    return router.LoadQuote(symbol, session_, RealTimePlaces{&current_, nullptr, nullptr});
  }

  static std::vector<std::string> LogWith(const std::string& text) {
    std::vector<std::string> out;
    for (const std::string& line : test::LogTexts())
      if (line.find(text) != std::string::npos) out.push_back(line);
    return out;
  }

  Server server_;
  InternetSession session_{std::make_shared<ServerTransport>(server_)};
  std::atomic<std::int64_t> now_{kNow};
  std::vector<int> sleeps_;
  std::function<void()> onSleep_;
  std::vector<QuoteBar> bars_ = std::vector<QuoteBar>(kHistoryCapacity);
  QuoteBar current_;
};

TEST_F(ProviderRouting, CandidatesComeInOrderAndOnlyThoseThatCanServe) {
  auto router = Make(kTiingo, kFinnhub, {ProviderId::kClassic, kFinnhub, kYahoo, kTiingo},
                     std::set<std::string>{"^GSPC"});
  // Tiingo cannot name the index and Finnhub has no history: Yahoo serves it.
  EXPECT_GT(History(*router, "^GSPC"), 100);
  EXPECT_EQ(server_.Asked(),
            std::vector<std::string>{"yahoochart.test/h/^GSPC?from=20260601&to=20261203&p=d&"});

  // The primary first; its "not found" hands over to the next that can.
  Script("tiingo.test/h/MSFT", {Reply(404, "{}")});
  const int next = History(*router, "MSFT");
  EXPECT_STREQ(bars_[1].date, "3-Dec-26");
  EXPECT_STREQ(bars_[next - 1].date, "1-Jun-26");
  EXPECT_EQ(server_.Count("tiingo.test/h/MSFT"), 1);
  EXPECT_EQ(server_.Count("yahoochart.test/h/MSFT"), 1);
  EXPECT_EQ(LogWith("Tiingo MSFT"), std::vector<std::string>{"Tiingo MSFT: not found (HTTP 404)."});

  // Tiingo has no weekly bars.
  EXPECT_GT(History(*router, "IBM", 20250601, 20261203, {}, 'w'), 50);
  EXPECT_EQ(server_.Count("tiingo.test/h/IBM"), 0);

  // Quotes: Finnhub, then the others in the fallback order.
  EXPECT_EQ(Quote(*router, "IBM"), 1);
  EXPECT_DOUBLE_EQ(current_.close, 101.5);
  Script("finnhub.test/q/ORCL", {Reply(404, "")});
  Script("yahoochart.test/q/ORCL", {Reply(404, "")});
  EXPECT_EQ(Quote(*router, "ORCL"), 1);
  const std::vector<std::string> asked = server_.Asked();
  EXPECT_EQ(std::vector<std::string>(asked.end() - 4, asked.end()),
            (std::vector<std::string>{"finnhub.test/q/IBM?", "finnhub.test/q/ORCL?",
                                      "yahoochart.test/q/ORCL?", "tiingo.test/q/ORCL?"}));
}

TEST_F(ProviderRouting, CoolingStartsWithOneLogLineAndEndsOnTime) {
  auto router = Make(kYahoo, kYahoo, {kTiingo});
  Script("yahoochart.test/h/", {Reply(429, "Too Many Requests", "Retry-After: 120\r\n")});
  for (const char* symbol : {"A", "B", "C", "D"}) EXPECT_GT(History(*router, symbol), 100) << symbol;
  EXPECT_EQ(server_.Count("yahoochart.test/"), 1);
  EXPECT_EQ(server_.Count("tiingo.test/h/"), 4);
  EXPECT_EQ(LogWith("YahooChart"),
            std::vector<std::string>{"YahooChart A: rate limited (HTTP 429); left alone for 2 minutes."});
  now_ += 119;
  EXPECT_EQ(Quote(*router, "F"), 1);  // still cooled: Tiingo's quote
  EXPECT_EQ(server_.Count("yahoochart.test/"), 1);
  now_ += 2;
  Script("yahoochart.test/h/", {});
  EXPECT_GT(History(*router, "G"), 100);
  EXPECT_EQ(server_.Count("yahoochart.test/h/G"), 1);

  // A refused key, a spent quota and a blocking page each cool for long.
  const std::pair<FakeResponse, std::string> refusals[] = {
      {Reply(401, "{}"), "YahooChart H: bad key (HTTP 401); refusing the key, left alone for 1 hour."},
      {Reply(200, "QUOTA"), "YahooChart H: quota used up (quota text); left alone for 1 hour."},
      {Reply(200, "<html>challenge</html>"),
       "YahooChart H: blocked (an HTML page instead of data); left alone for 15 minutes."}};
  for (const auto& [reply, line] : refusals) {
    now_ += 3601;
    Script("yahoochart.test/h/", {reply});
    EXPECT_GT(History(*router, "H"), 100);
    EXPECT_GT(History(*router, "I"), 100);
    EXPECT_EQ(server_.Count("yahoochart.test/h/I"), 0);
    EXPECT_EQ(LogWith("YahooChart H").back(), line);
  }
}

TEST_F(ProviderRouting, BudgetRefusalCoolsUntilAPlaceFrees) {
  auto router = Make(kYahoo, kFinnhub, {});
  router->budget().setLimits(kFinnhub, RateLimits{2, 0, 0, 0});
  EXPECT_EQ(Quote(*router, "A"), 1);
  now_ += 10;
  EXPECT_EQ(Quote(*router, "B"), 1);
  for (const char* symbol : {"C", "D", "E"}) EXPECT_EQ(Quote(*router, symbol), kQuoteRateLimited);
  EXPECT_EQ(server_.Count("finnhub.test/"), 2);
  EXPECT_EQ(LogWith("Finnhub"), std::vector<std::string>{"Finnhub C: out of its request budget (2 requests a "
                                                         "minute); left alone for 51 seconds."});
  now_ += 51;
  EXPECT_EQ(Quote(*router, "F"), 1);
}

// Transient failures are tried twice more, after pauses of about 0.3 s and
// 1 s cut in slices, each try with a place in the budget.
TEST_F(ProviderRouting, TransientFailuresAreTriedAgainAfterGrowingPauses) {
  auto router = Make(kYahoo, kYahoo, {});
  Script("yahoochart.test/h/A", {Reply(503, "busy"), test::SendFails("Connection reset"),
                                 Reply(200, historyBody(20260601, 20261203))});
  EXPECT_GT(History(*router, "A"), 100);
  EXPECT_EQ(server_.Count("yahoochart.test/h/A"), 3);
  int total = 0;
  for (const int ms : sleeps_) total += ms;
  EXPECT_LE(*std::max_element(sleeps_.begin(), sleeps_.end()), 50);
  EXPECT_GE(total, 225 + 750);
  EXPECT_LE(total, 375 + 1250);
  EXPECT_EQ(router->budget().Count(kYahoo, 60), 3);

  Script("yahoochart.test/h/B", {Reply(503, "busy")});
  EXPECT_EQ(History(*router, "B"), -503);
  Script("yahoochart.test/h/C", {test::SendFails("Connection refused")});
  EXPECT_EQ(History(*router, "C"), kQuoteLocalFailure);
  EXPECT_EQ(LogWith("YahooChart B"),
            std::vector<std::string>{"YahooChart B: transient (HTTP 503) after 3 tries."});
  EXPECT_EQ(LogWith("YahooChart C: transfer").size(), 3u);  // each failed transfer is told
}

TEST_F(ProviderRouting, StopEndsAPauseAtOnce) {
  auto router = Make(kYahoo, kYahoo, {kTiingo});
  std::atomic<bool> stop{false};
  session_.setStopFlag(&stop);
  onSleep_ = [&stop] { stop = true; };
  Script("yahoochart.test/h/A", {Reply(502, "")});
  EXPECT_EQ(History(*router, "A"), kQuoteLocalFailure);
  EXPECT_EQ(sleeps_.size(), 1u);
  EXPECT_EQ(server_.Asked().size(), 1u);  // neither a retry nor the next provider
  EXPECT_TRUE(test::LogTexts().empty());
}

TEST_F(ProviderRouting, NotFoundForEverySymbolIsABlockedProviderSaidOnce) {
  auto router = Make(kYahoo, kYahoo, {});
  Script("yahoochart.test/h/S", {Reply(404, "")});
  for (const char* symbol : {"S1", "S2", "S3", "S4", "S5", "S6", "S7", "S7", "S8"})
    EXPECT_EQ(History(*router, symbol), kQuoteNotFound) << symbol;
  EXPECT_EQ(
      LogWith("seems to block"),
      std::vector<std::string>{"YahooChart answered not found for 8 different symbols and has found none: it "
                               "seems to block this client; left alone for 15 minutes."});
  EXPECT_EQ(History(*router, "S9"), kQuoteFailed);  // cooled: nothing could serve
  EXPECT_EQ(server_.Count("yahoochart.test/h/S9"), 0);
  now_ += 901;
  EXPECT_EQ(History(*router, "S9"), kQuoteNotFound);
  EXPECT_EQ(LogWith("seems to block").size(), 1u);

  // Once a symbol was found, "not found" means a symbol that is gone.
  auto other = Make(kYahoo, kYahoo, {});
  EXPECT_GT(History(*other, "MSFT"), 100);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(History(*other, ("S" + std::to_string(i)).c_str()), kQuoteNotFound);
  EXPECT_EQ(LogWith("seems to block").size(), 1u);
}

TEST_F(ProviderRouting, ResultCodesAreTheClassicOnes) {
  const std::pair<std::vector<FakeResponse>, int> cases[] = {
      {{Reply(404, "")}, kQuoteNotFound},
      {{Reply(429, "")}, kQuoteRateLimited},
      {{Reply(200, "QUOTA")}, kQuoteRateLimited},
      {{Reply(403, "")}, kQuoteNoAuthorization},
      {{Reply(200, "<!DOCTYPE html>")}, kQuoteFailed},
      {{Reply(200, "junk")}, kQuoteFailed},
      {{Reply(500, "")}, -500},
      {{Reply(503, ""), test::SendFails("reset")}, kQuoteLocalFailure},
  };
  int n = 0;
  for (const auto& [replies, code] : cases) {
    const std::string symbol = "R" + std::to_string(n++);
    auto router = Make(kYahoo, kYahoo, {});
    Script("yahoochart.test/h/" + symbol, replies);
    Script("yahoochart.test/q/" + symbol, replies);
    EXPECT_EQ(History(*router, symbol.c_str()), code) << symbol;
    now_ += 86400;
    EXPECT_EQ(Quote(*router, symbol.c_str()), code) << symbol;
  }
  // Nothing left to ask: -429 while one waits for its budget or rate, else failed.
  auto router = Make(kYahoo, kYahoo, {kTiingo});
  Script("yahoochart.test/q/", {Reply(429, "")});
  Script("tiingo.test/q/", {Reply(401, "")});
  EXPECT_EQ(Quote(*router, "Z1"), kQuoteNoAuthorization);
  EXPECT_EQ(Quote(*router, "Z2"), kQuoteRateLimited);
  now_ += 61;
  Script("yahoochart.test/q/", {Reply(200, "<html>")});
  EXPECT_EQ(Quote(*router, "Z3"), kQuoteFailed);
  EXPECT_EQ(Quote(*router, "Z4"), kQuoteFailed);
  EXPECT_EQ(server_.Count("yahoochart.test/q/Z4") + server_.Count("tiingo.test/q/Z4"), 0);
}

TEST_F(ProviderRouting, KeyNeverReachesTheLog) {
  auto router = Make(kTiingo, kFinnhub, {});
  Script("tiingo.test/h/",
         {test::SendFails("Could not connect to http://tiingo.test/h/M?token=" + std::string(kKey))});
  Script("finnhub.test/q/", {Reply(401, "{\"error\":\"Invalid API key\"}")});
  EXPECT_EQ(History(*router, "MSFT"), kQuoteLocalFailure);
  EXPECT_EQ(Quote(*router, "MSFT"), kQuoteNoAuthorization);
  const std::string log = test::ReadFile(LogFileName());
  EXPECT_NE(
      log.find(
          "Tiingo MSFT: transfer from 'http://tiingo.test/h/MSFT?from=20260601&to=20261203&p=d&token=***'"),
      std::string::npos)
      << log;
  EXPECT_NE(log.find("Finnhub MSFT: bad key"), std::string::npos) << log;
  EXPECT_EQ(log.find(kKey), std::string::npos) << log;
  EXPECT_EQ(log.find("Authorization"), std::string::npos) << log;
}

// A history answer that carries the quote serves the quote that follows
// it, once: a warm start costs one request a security.
TEST_F(ProviderRouting, QuoteCarriedByTheHistoryAnswerSavesARequest) {
  server_.withQuote = true;
  auto router = Make(kYahoo, kYahoo, {});
  EXPECT_GT(History(*router, "MSFT"), 100);
  now_ += 30;
  EXPECT_EQ(Quote(*router, "MSFT"), 1);
  EXPECT_DOUBLE_EQ(current_.close, 99.75);
  EXPECT_DOUBLE_EQ(current_.change, 1.25);
  EXPECT_EQ(server_.Asked().size(), 1u);
  EXPECT_EQ(Quote(*router, "MSFT"), 1);  // used once
  EXPECT_DOUBLE_EQ(current_.close, 101.5);
  EXPECT_GT(History(*router, "IBM"), 100);
  now_ += 61;
  EXPECT_EQ(Quote(*router, "IBM"), 1);  // too old
  EXPECT_EQ(server_.Count("yahoochart.test/q/"), 2);

  // Another quote provider comes first; when it cannot serve, Yahoo's kept
  // quote does.
  auto mixed = Make(kYahoo, kFinnhub, {kYahoo});
  EXPECT_GT(History(*mixed, "ORCL"), 100);
  Script("finnhub.test/q/", {Reply(401, "")});
  EXPECT_EQ(Quote(*mixed, "ORCL"), 1);
  EXPECT_DOUBLE_EQ(current_.close, 99.75);
  EXPECT_EQ(server_.Count("yahoochart.test/q/"), 2);
}

// With the file's bars only the days from a week before its newest are
// asked for, and the result is what a whole load gives.
TEST_F(ProviderRouting, HistoryAsksOnlyForNewDaysAndReloadsWhenTheyDisagree) {
  auto router = Make(kYahoo, kYahoo, {});
  const int fileNext = History(*router, "MSFT", 20240101, 20261127);
  std::vector<QuoteBar> file(bars_.begin() + 1, bars_.begin() + fileNext);
  file[0].close += 0.37;  // taken during the day: never compared
  const int fullNext = History(*router, "MSFT", 20240101, 20261203);
  const std::vector<QuoteBar> full(bars_.begin(), bars_.begin() + fullNext);

  ASSERT_EQ(History(*router, "MSFT", 20240101, 20261203, file), fullNext);
  for (int i = 0; i < fullNext; ++i) {
    ASSERT_STREQ(bars_[i].date, full[i].date) << i;
    ASSERT_DOUBLE_EQ(bars_[i].close, full[i].close) << i;
  }
  EXPECT_EQ(server_.Asked().back(), "yahoochart.test/h/MSFT?from=20261120&to=20261203&p=d&");
  EXPECT_TRUE(LogWith("full reload").empty());

  // A split in the overlap: the whole range again.
  server_.splitKey = 20261201;
  EXPECT_EQ(History(*router, "MSFT", 20240101, 20261203, file), fullNext);
  const std::vector<std::string> asked = server_.Asked();
  EXPECT_EQ(asked[asked.size() - 2], "yahoochart.test/h/MSFT?from=20261120&to=20261203&p=d&");
  EXPECT_EQ(asked.back(), "yahoochart.test/h/MSFT?from=20240101&to=20261203&p=d&");
  EXPECT_DOUBLE_EQ(bars_[fullNext - 1].close, full[fullNext - 1].close / 2);
  EXPECT_EQ(
      LogWith("full reload"),
      std::vector<std::string>{"YahooChart MSFT: full reload, the open of 26-Nov-26 is 42.75 in the answer, "
                               "86.00 in the file."});

  // Weekly bars, and a file older than the range, are loaded whole.
  server_.splitKey = 0;
  EXPECT_GT(History(*router, "MSFT", 20240101, 20261203, file, 'w'), 100);
  EXPECT_EQ(server_.Asked().back(), "yahoochart.test/h/MSFT?from=20240101&to=20261203&p=w&");
  EXPECT_EQ(History(*router, "MSFT", 20261201, 20261203, file), 4);
  EXPECT_EQ(server_.Asked().back(), "yahoochart.test/h/MSFT?from=20261201&to=20261203&p=d&");

  // The file's bars may sit in the very array the answer goes to.
  std::copy(file.begin(), file.end(), bars_.begin());
  EXPECT_EQ(
      router->LoadHistory("MSFT", 'd', ProviderDate{2024, 1, 1}, ProviderDate{2026, 12, 3}, bars_.data(),
                          static_cast<int>(file.size()), session_, kHistoryCapacity, bars_.data()),
      fullNext);
  EXPECT_DOUBLE_EQ(bars_[fullNext - 1].close, full[fullNext - 1].close);
}

class ProviderRoutingThreads : public ProviderRouting {};

// Sixteen threads ask for quotes at once: Finnhub gets exactly its budget,
// Yahoo serves the rest, and the cooling is told once.
TEST_F(ProviderRoutingThreads, SixteenThreadsShareOneBudgetAndOneCooling) {
  auto router = Make(kYahoo, kFinnhub, {kYahoo});
  router->budget().setLimits(kFinnhub, RateLimits{25, 0, 0, 0});
  router->budget().setLimits(kYahoo, RateLimits{});
  std::atomic<int> served{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 16; ++t) {
    threads.emplace_back([&, t] {
      InternetSession session(std::make_shared<ServerTransport>(server_));
      for (int i = 0; i < 10; ++i) {
        QuoteBar bar;
        const std::string symbol = "T" + std::to_string(t) + "_" + std::to_string(i);
        if (router->LoadQuote(symbol.c_str(), session, RealTimePlaces{&bar, nullptr, nullptr}) == 1) ++served;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(served.load(), 160);
  EXPECT_EQ(server_.Count("finnhub.test/"), 25);
  EXPECT_EQ(server_.Count("yahoochart.test/"), 135);
  EXPECT_EQ(LogWith("out of its request budget").size(), 1u);
}

TEST(ProviderPlan, SettingsKeysAndFallbackFromTheConfiguration) {
  SystemConfig config;
  SetConfigDefaults(config);
  config.HistoryProvider = " yahoochart ";
  config.QuoteProvider = "Foo";
  config.FallbackProviders = "Finnhub, tiingo ,Classic,,YahooChart,TIINGO,Bogus";
  config.TiingoURL = "http://127.0.0.1:18321//";
  config.FinnhubURL = config.YahooUserAgent = "";
  const ProviderPlan plan = PlanFromConfig(config, ProviderKeys{"t-key", ""});
  EXPECT_EQ(plan.history, kYahoo);
  EXPECT_EQ(plan.quotes, ProviderId::kClassic);
  // Finnhub has no key; Classic and repeats are no fallback.
  EXPECT_EQ(plan.fallback, (std::vector<ProviderId>{kTiingo, kYahoo}));
  EXPECT_EQ(plan.settings[static_cast<int>(kYahoo)].baseUrl, kDefaultYahooChartUrl);
  EXPECT_EQ(plan.settings[static_cast<int>(kYahoo)].userAgent, kDefaultYahooUserAgent);
  EXPECT_EQ(plan.settings[static_cast<int>(kTiingo)].baseUrl, "http://127.0.0.1:18321");
  EXPECT_EQ(plan.settings[static_cast<int>(kTiingo)].key, "t-key");
  EXPECT_EQ(plan.settings[static_cast<int>(kFinnhub)].baseUrl, kDefaultFinnhubUrl);
  EXPECT_EQ(PlanProblems(config),
            (std::vector<std::string>{"QuoteProvider=Foo is no provider: Classic is used.",
                                      "FallbackProviders names Bogus, which is no provider."}));

  test::ScopedVariable tiingo("VELMORA_TIINGO_KEY", "  abc123\n");
  test::ScopedVariable finnhub("VELMORA_FINNHUB_KEY", "");
  const ProviderKeys keys = ProviderKeysFromEnvironment();
  EXPECT_EQ(keys.tiingo, "abc123");
  config.HistoryProvider = "Tiingo";
  config.QuoteProvider = "Finnhub";
  EXPECT_EQ(PlanKeyProblems(PlanFromConfig(config, keys)),
            std::vector<std::string>{"Finnhub needs a key: set VELMORA_FINNHUB_KEY."});
  EXPECT_TRUE(PlanKeyProblems(PlanFromConfig(config, ProviderKeys{"a", "b"})).empty());
}

// The whole way with the real providers, libcurl and the real stand-in: the
// quote comes with the history, and next time only the new days are asked for.
TEST(ProviderHubStandin, YahooHistoryBringsItsQuoteAndNextTimeOnlyTheNewDays) {
  test::TempFolder folder;
  test::ScopedCurrentDir here(folder.path());
  test::StandinServer standin({"--now", "2026-12-03T12:00", "--request-log", folder.file("requests.log")});
  ASSERT_TRUE(standin.ok());
  // The stand-in logs a request once its answer is sent: the lines of the
  // requests answered so far, waiting a little for `expected` of them.
  const auto targets = [&folder](std::size_t expected) {
    std::vector<std::string> out;
    for (int wait = 0; wait < 200; ++wait) {
      out.clear();
      for (const std::string& line : test::SplitLines(test::ReadFile(folder.file("requests.log")))) {
        const auto at = line.find(" GET ");
        if (at != std::string::npos) out.push_back(line.substr(at + 5, line.find(' ', at + 5) - at - 5));
      }
      if (out.size() >= expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return out;
  };
  ProviderPlan plan;
  plan.history = plan.quotes = kYahoo;
  plan.settings[static_cast<int>(kYahoo)].baseUrl = standin.baseUrl();
  ProviderHub hub(plan, kProviderStateFileName);
  InternetSession session;
  std::vector<QuoteBar> bars(kHistoryCapacity);
  const auto load = [&](ProviderDate to, const std::vector<QuoteBar>& known) {
    return hub.LoadHistory("MSFT", 'd', ProviderDate{2024, 1, 2}, to, known.empty() ? nullptr : known.data(),
                           static_cast<int>(known.size()), session, kHistoryCapacity, bars.data());
  };

  const int fileNext = load(ProviderDate{2026, 11, 27}, {});
  ASSERT_GT(fileNext, 700);
  QuoteBar current;
  ASSERT_EQ(hub.LoadQuote("MSFT", session, RealTimePlaces{&current, nullptr, nullptr}), 1);
  EXPECT_STREQ(current.date, "12/3/2026");
  EXPECT_EQ(targets(1).size(), 1u);

  const std::vector<QuoteBar> file(bars.begin() + 1, bars.begin() + fileNext);
  const int fullNext = load(ProviderDate{2026, 12, 3}, {});
  const std::vector<QuoteBar> full(bars.begin(), bars.begin() + fullNext);
  ASSERT_EQ(load(ProviderDate{2026, 12, 3}, file), fullNext);
  for (int i = 1; i < fullNext; ++i) {
    ASSERT_STREQ(bars[i].date, full[i].date) << i;
    ASSERT_DOUBLE_EQ(bars[i].close, full[i].close) << i;
    ASSERT_EQ(bars[i].volume, full[i].volume) << i;
  }
  // From a week before the file's newest day (27 Nov) to the end of 3 Dec.
  const std::vector<std::string> asked = targets(3);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_NE(asked[2].find("period1=1795132800&period2=1796342400&"), std::string::npos) << asked[2];
  EXPECT_TRUE(test::LogTexts().empty());
}

}  // namespace
}  // namespace velmora
