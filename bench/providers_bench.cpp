// Reading the providers' answers: a three-year history (1095 rows) as Yahoo's
// chart JSON and as Tiingo's CSV, a batch of Tiingo quotes and one Finnhub
// quote, and the 1095 bars put through the classic row reader.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/quote_bar.h"
#include "providers/provider.h"
#include "providers/provider_bars.h"

namespace velmora {
namespace {

constexpr int kRows = kHistoryCapacity;
constexpr std::int64_t kFirstOpen = 1607437800;  // 8 December 2020, 9:30 New York

struct Row {
  double open, high, low, close, adjClose, volume;
};

// Prices as a real feed writes them: doubles printed in full
// ("415.20001220703125"), a split every 250 rows.
Row RowAt(int i) {
  const double close = 40 + (i % 97) * 0.37 + i * 0.01 + 1.0 / 3;
  const double factor = i < 750 ? 0.5 : 1.0;
  return Row{close - 0.25, close + 0.5, close - 0.75, close, close * factor * 0.98, 1000000.0 + 137 * i};
}

std::string YahooChartBody() {
  std::string ts, open, high, low, close, adj, volume;
  char text[64];
  for (int i = 0; i < kRows; ++i) {
    const Row r = RowAt(i);
    const char* sep = i == 0 ? "" : ",";
    ts += sep + std::to_string(kFirstOpen + static_cast<std::int64_t>(i / 5 * 7 + i % 5) * 86400);
    for (auto [out, v] :
         {std::pair{&open, r.open}, {&high, r.high}, {&low, r.low}, {&close, r.close}, {&adj, r.adjClose}}) {
      std::snprintf(text, sizeof text, "%s%.17g", sep, v);
      *out += text;
    }
    std::snprintf(text, sizeof text, "%s%.0f", sep, r.volume);
    volume += text;
  }
  // The quote is of a day after the last row, so every row is history.
  const std::int64_t quoteTime = kFirstOpen + static_cast<std::int64_t>(kRows / 5 * 7 + 7) * 86400;
  return R"({"chart":{"result":[{"meta":{"currency":"USD","symbol":"MSFT","exchangeTimezoneName":"America/New_York",)"
         R"("gmtoffset":-18000,"regularMarketPrice":415.2,"regularMarketTime":)" +
         std::to_string(quoteTime) +
         R"(,"chartPreviousClose":412.3},)"
         R"("timestamp":[)" +
         ts + R"(],"indicators":{"quote":[{"open":[)" + open + R"(],"high":[)" + high + R"(],"low":[)" + low +
         R"(],"close":[)" + close + R"(],"volume":[)" + volume + R"(]}],"adjclose":[{"adjclose":[)" + adj +
         "]}]}}],\"error\":null}}";
}

std::string TiingoCsvBody() {
  std::string body =
      "date,close,high,low,open,volume,adjClose,adjHigh,adjLow,adjOpen,adjVolume,divCash,splitFactor\n";
  char line[512];
  for (int i = 0; i < kRows; ++i) {
    const Row r = RowAt(i);
    std::snprintf(line, sizeof line,
                  "%04d-%02d-%02d,%.2f,%.2f,%.2f,%.2f,%.0f,%.12g,%.12g,%.12g,%.12g,%.0f,0.0,1.0\n",
                  2021 + i / 252, 1 + i / 21 % 12, 1 + i % 21, r.close, r.high, r.low, r.open, r.volume,
                  r.adjClose, r.high * 0.98, r.low * 0.98, r.open * 0.98, r.volume);
    body += line;
  }
  return body;
}

std::string TiingoQuotesBody(int count) {
  std::string body = "[";
  for (int i = 0; i < count; ++i) {
    if (i > 0) body += ",";
    body += R"({"ticker":"T)" + std::to_string(i) +
            R"(","last":415.2,"tngoLast":415.2,"prevClose":412.3,"open":413.0,"high":416.0,"low":410.1,)"
            R"("volume":20311000,"timestamp":"2026-12-07T16:00:00.123456789-05:00"})";
  }
  return body + "]";
}

ProviderAnswer Ok(std::string body) {
  ProviderAnswer answer;
  answer.status = 200;
  answer.headers = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n";
  answer.body = std::move(body);
  return answer;
}

void BM_ProviderReadYahooChart1095(benchmark::State& state) {
  const auto yahoo = MakeQuoteProvider(ProviderId::kYahooChart, {});
  const ProviderAnswer answer = Ok(YahooChartBody());
  for (auto _ : state) {
    const ProviderHistory h = yahoo->ReadHistory(answer);
    if (h.bars.size() != kRows) state.SkipWithError("rows lost");
    benchmark::DoNotOptimize(h.bars.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.body.size()));
}
BENCHMARK(BM_ProviderReadYahooChart1095)->Unit(benchmark::kMicrosecond);

void BM_ProviderReadTiingoCsv1095(benchmark::State& state) {
  const auto tiingo = MakeQuoteProvider(ProviderId::kTiingo, {});
  const ProviderAnswer answer = Ok(TiingoCsvBody());
  for (auto _ : state) {
    const ProviderHistory h = tiingo->ReadHistory(answer);
    if (h.bars.empty()) state.SkipWithError("no rows");
    benchmark::DoNotOptimize(h.bars.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.body.size()));
}
BENCHMARK(BM_ProviderReadTiingoCsv1095)->Unit(benchmark::kMicrosecond);

void BM_ProviderReadTiingoQuotes(benchmark::State& state) {
  const auto tiingo = MakeQuoteProvider(ProviderId::kTiingo, {});
  const ProviderAnswer answer = Ok(TiingoQuotesBody(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    const ProviderQuotes q = tiingo->ReadQuotes(answer);
    if (q.quotes.size() != static_cast<std::size_t>(state.range(0))) state.SkipWithError("quotes lost");
    benchmark::DoNotOptimize(q.quotes.data());
  }
}
BENCHMARK(BM_ProviderReadTiingoQuotes)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_ProviderReadFinnhubQuote(benchmark::State& state) {
  const auto finnhub = MakeQuoteProvider(ProviderId::kFinnhub, {});
  const ProviderAnswer answer =
      Ok(R"({"c":415.2,"d":2.9,"dp":0.7034,"h":416.0,"l":410.1,"o":413.0,"pc":412.3,"t":1733518800})");
  for (auto _ : state) {
    const ProviderQuotes q = finnhub->ReadQuotes(answer);
    benchmark::DoNotOptimize(q.quotes.data());
  }
}
BENCHMARK(BM_ProviderReadFinnhubQuote)->Unit(benchmark::kMicrosecond);

void BM_StoreProviderBars1095(benchmark::State& state) {
  const ProviderHistory h = MakeQuoteProvider(ProviderId::kYahooChart, {})->ReadHistory(Ok(YahooChartBody()));
  static QuoteSeries series;
  for (auto _ : state) {
    const int next = StoreProviderBars(h.bars, "MSFT", kHistoryCapacity, series.data());
    benchmark::DoNotOptimize(next);
  }
}
BENCHMARK(BM_StoreProviderBars1095)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
