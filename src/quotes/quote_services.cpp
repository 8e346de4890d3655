#include "quotes/quote_services.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/text_helpers.h"
#include "quotes/history_parser.h"
#include "quotes/html_history.h"
#include "quotes/http_fetcher.h"
#include "quotes/quote_records.h"
#include "quotes/quote_result.h"

namespace velmora {

namespace {

constexpr int kHistoryLineCapacity = 512;
constexpr int kRecordLineCapacity = 1024;

// Symbols are at most 63 characters wherever they are copied.
struct SymbolText {
  char text[64];
  explicit SymbolText(const char* symbol) { CopyBounded(text, sizeof text, symbol != nullptr ? symbol : ""); }
  void ToUpper() {
    for (char* p = text; *p != '\0'; ++p)
      *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
};

// A record answers for the symbol asked for (services write it in upper
// case); a record naming another symbol, or none, is no quote of this one.
bool isRecordOf(const char* recordSymbol, const char* requested) {
  return recordSymbol[0] != '\0' && strcasecmp(recordSymbol, requested) == 0;
}

std::string joinUrl(const std::string& endpoint, const char* query) { return endpoint + "?" + query; }

std::string quoteRecordUrl(const SystemConfig& config, const char* fields, const char* symbol) {
  char query[256];
  std::snprintf(query, sizeof query, "s=%s&f=%s&e=.csv", symbol, fields);
  return joinUrl(config.YahooRealTimeQuoteSpreadSheetURL, query);
}

// The HTML page is kept in the fetcher's temporary file, to be turned into
// CSV there and read back. False: the file could not be written.
bool saveHtmlPage(HttpFetcher& fetcher) {
  if (!fetcher.TempFileName()) return false;
  std::FILE* out = std::fopen(fetcher.tempFilePath().c_str(), "w");
  if (out == nullptr) return false;
  char line[kHistoryLineCapacity];
  while (fetcher.ReadLine(kHistoryLineCapacity, line)) std::fprintf(out, "%s", line);
  return std::fclose(out) == 0;
}

}  // namespace

int HistorySpan(int startYear, int startMonth, int startDay, int endYear, int endMonth, int endDay) {
  return 365 * (endYear - startYear) + 31 * (endMonth - startMonth) + (endDay - startDay);
}

void BuildHistoryUrl(const char* symbol, int endMonth0, int endDay, int endYear, char period, int startMonth0,
                     int startDay, int startYear, int span, int offset, std::string& out,
                     const SystemConfig& config) {
  const SymbolText s(symbol);
  char query[256];
  if (config.HistoryQuoteServer == kHistoryYahooSpreadSheet) {
    std::snprintf(query, sizeof query, "s=%s&d=%d&e=%d&f=%d&g=%c&a=%d&b=%d&c=%d&z=%d&y=%d&ignore=.csv",
                  s.text, endMonth0, endDay, endYear, period, startMonth0, startDay, startYear, span, offset);
    out = joinUrl(config.YahooHistoryQuoteSpreadSheetURL, query);
  } else {
    std::snprintf(query, sizeof query, "s=%s&a=%02d&b=%d&c=%d&d=%02d&e=%d&f=%d&g=%c&z=%d&y=%d", s.text,
                  startMonth0, startDay, startYear, endMonth0, endDay, endYear, period, span, offset);
    out = joinUrl(config.YahooHistoryQuoteURL, query);
  }
}

int LoadHistoryQuote(const char* symbol, char period, int startYear, int startMonth, int startDay,
                     int endYear, int endMonth, int endDay, InternetSession& session, int capacity,
                     QuoteBar* bars, const SystemConfig& config) {
  const int server = config.HistoryQuoteServer;
  // "Edreyfus" has no request format: no request, and the caller sees no rows.
  if (bars == nullptr || (server != kHistoryYahooSpreadSheet && server != kHistoryYahooHtml)) return 1;
  // The caller's symbol stays as it is; requests go out in upper case.
  SymbolText s(symbol);
  s.ToUpper();
  HistoryLoadState state;
  state.volumeInTens = IsVolumeInTensSymbol(s.text);
  const int span = HistorySpan(startYear, startMonth, startDay, endYear, endMonth, endDay);
  HttpFetcher fetcher;  // one fetcher (and one temporary file) for every page
  int failure = 0;
  for (;;) {
    std::string url;
    BuildHistoryUrl(s.text, endMonth - 1, endDay, endYear, period, startMonth - 1, startDay, startYear, span,
                    state.rowsConsumed, url, config);
    const int status = fetcher.Open(url.c_str(), session);
    if (status != kHttpOk) {
      // A failed later page keeps the rows already stored.
      if (state.nextSlot == 1) failure = -status;
      fetcher.Close();
      break;
    }
    const int slotBefore = state.nextSlot;
    int pageCount = 0;
    if (server == kHistoryYahooSpreadSheet) {
      char line[kHistoryLineCapacity];
      while (fetcher.ReadLine(kHistoryLineCapacity, line)) {
        pageCount += ParseHistoryCsvLine(line, state.volumeInTens, capacity, bars, state);
      }
    } else if (!saveHtmlPage(fetcher)) {
      fetcher.Close();
      return kQuoteFailed;
    }
    if (fetcher.bodyFailed()) {
      // A page cut off by a transfer error is not trusted: its rows are dropped
      // and it ends the load like a failed page.
      state.nextSlot = slotBefore;
      if (state.nextSlot == 1) failure = kQuoteLocalFailure;
      fetcher.Close();
      break;
    }
    if (server == kHistoryYahooHtml) {
      const char* path = fetcher.tempFilePath().c_str();
      if (!ExtractHistoryTable(path)) {
        fetcher.Close();
        return kQuoteFailed;
      }
      pageCount = ReadConvertedHistoryFile(path, state.volumeInTens, capacity, bars, state);
    }
    state.rowsConsumed += pageCount;
    fetcher.Close();
    // Another page only while one can still be stored: a service that ignores
    // the offset can then never keep the loader paging for ever.
    if (pageCount != kServicePageRows || state.nextSlot >= capacity || session.StopRequested()) break;
  }
  if (failure < 0) return failure;
  if (state.nextSlot > 1) bars[0].CopyFrom(bars[1]);
  return state.nextSlot;
}

int LoadDayWatchVolume(InternetSession& session, std::int32_t& volume, const SystemConfig& config) {
  HttpFetcher fetcher;
  const std::string url = quoteRecordUrl(config, "sl1d1t1c1ohgv", kCompositeVolumeSymbol);
  const int status = fetcher.Open(url.c_str(), session);
  if (status != kHttpOk) return -status;
  char line[kRecordLineCapacity];
  const bool haveLine = fetcher.ReadLine(kRecordLineCapacity, line);
  if (fetcher.bodyFailed()) return kQuoteLocalFailure;  // the record may be cut short
  char recordSymbol[64] = "";
  std::int32_t value = 0;
  const ShortVolumeRead read =
      haveLine ? ParseShortDayWatchVolume(line, recordSymbol, value) : ShortVolumeRead::Missing;
  // A number that can be no volume makes the record no quote at all.
  if (!haveLine || !isRecordOf(recordSymbol, kCompositeVolumeSymbol) || read == ShortVolumeRead::Unreadable) {
    LogFormat("Can not find day watch quote for symbol '%s'", kCompositeVolumeSymbol);
    return kQuoteFailed;
  }
  if (read == ShortVolumeRead::Read) volume = value;
  return 1;
}

namespace {

int fetchQuoteRecords(const char* symbol, InternetSession& session, const RealTimePlaces& places,
                      const SystemConfig& config) {
  QuoteBar& bar = *places.bar;
  HttpFetcher fetcher;
  char line[kRecordLineCapacity];
  std::string url = quoteRecordUrl(config, "sl1d1t1c1ohgv", symbol);
  int status = fetcher.Open(url.c_str(), session);
  if (status != kHttpOk) return -status;
  bool haveLine = fetcher.ReadLine(kRecordLineCapacity, line);
  if (fetcher.bodyFailed()) return kQuoteLocalFailure;  // the record may be cut short
  DayWatchRecord dayWatch;
  if (haveLine) ParseDayWatchRecord(line, dayWatch);
  // A record holding a number no service can mean (infinity, a negative or
  // absurd price) is no quote of this symbol either.
  if (!haveLine || !isRecordOf(dayWatch.symbol, symbol) || !dayWatch.readable) {
    LogFormat("Can not find day watch quote for symbol '%s'", symbol);
    return kQuoteFailed;
  }
  ApplyDayWatchRecord(dayWatch, bar);

  SymbolText recordSymbol(dayWatch.symbol);
  recordSymbol.ToUpper();
  if (std::strcmp(recordSymbol.text, kCompositeSymbol) == 0)
    return LoadDayWatchVolume(session, bar.volume, config);

  fetcher.Close();
  url = quoteRecordUrl(config, "st5l9c6p4b1a3", symbol);
  status = fetcher.Open(url.c_str(), session);
  if (status != kHttpOk) return -status;
  haveLine = fetcher.ReadLine(kRecordLineCapacity, line);
  if (fetcher.bodyFailed()) return kQuoteLocalFailure;
  RealTimeRecord realTime;
  if (haveLine) ParseRealTimeRecord(line, realTime);
  if (!haveLine || !isRecordOf(realTime.symbol, symbol) || !realTime.readable) {
    LogFormat("Can not find real time quote for symbol '%s'", symbol);
    return kQuoteFailed;
  }
  ApplyRealTimeRecord(realTime, dayWatch, TodayLocal(), bar, places.extra1, places.extra2);
  return 1;
}

}  // namespace

int LoadRealTimeQuote(const char* symbol, InternetSession& session, const RealTimePlaces& places,
                      const SystemConfig& config) {
  if (places.bar == nullptr) return kQuoteFailed;
  const SymbolText s(symbol);
  int result = 1;  // "MyTrack": no request, success at once
  if (config.RealTimeQuoteServer == kRealTimeYahoo)
    result = fetchQuoteRecords(s.text, session, places, config);
  if (result > 0) ApplyHighLowRule(*places.bar);
  return result;
}

}  // namespace velmora
