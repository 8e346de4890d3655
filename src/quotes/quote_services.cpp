#include "quotes/quote_services.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/text_helpers.h"
#include "net/http_fetcher.h"
#include "net/quote_result.h"
#include "quotes/history_parser.h"
#include "quotes/html_history.h"
#include "quotes/quote_records.h"

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

// The record of `fields` for `symbol`: the first line of the answer into
// `line`, `haveLine` telling whether there was one. False with the result
// code in `failure` when the request failed or the transfer broke off (the
// record may be cut short).
[[nodiscard]] bool fetchRecordLine(HttpFetcher& fetcher, InternetSession& session, const SystemConfig& config,
                                   const char* fields, const char* symbol, char (&line)[kRecordLineCapacity],
                                   bool& haveLine, int& failure) {
  const std::string url = quoteRecordUrl(config, fields, symbol);
  const int status = fetcher.Open(url.c_str(), session);
  if (status != kHttpOk) {
    failure = -status;
    return false;
  }
  haveLine = fetcher.ReadLine(kRecordLineCapacity, line);
  if (fetcher.bodyFailed()) {
    failure = kQuoteLocalFailure;
    return false;
  }
  return true;
}

// The HTML page is kept in the fetcher's temporary file, to be turned into
// CSV there and read back. False: the file could not be written.
[[nodiscard]] bool saveHtmlPage(HttpFetcher& fetcher) {
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

namespace {

// One history load's request (months 1-12, the symbol in upper case).
struct HistoryRequest {
  const char* symbol;
  char period;
  int startYear, startMonth, startDay;
  int endYear, endMonth, endDay;
  int span;  // HistorySpan of the range
};

// How one page of a history load ended.
enum class PageEnd {
  kRead,    // its rows are stored
  kCut,     // the transfer broke off: the page is not trusted and its rows are dropped
  kFailed,  // the HTML page could not be kept, converted or read back
};

// The spreadsheet service's page: every line straight from the answer.
[[nodiscard]] int readCsvPage(HttpFetcher& fetcher, int capacity, QuoteBar* bars, HistoryLoadState& state) {
  int pageCount = 0;
  char line[kHistoryLineCapacity];
  while (fetcher.ReadLine(kHistoryLineCapacity, line)) {
    pageCount += ParseHistoryCsvLine(line, state.volumeInTens, capacity, bars, state);
  }
  return pageCount;
}

// Reads the page an opened fetcher answers into the bars; `pageCount` is the
// data rows it held, stored or not (the paging offset moves on by them).
[[nodiscard]] PageEnd readHistoryPage(HttpFetcher& fetcher, int server, int capacity, QuoteBar* bars,
                                      HistoryLoadState& state, int& pageCount) {
  const int slotBefore = state.nextSlot;
  pageCount = 0;
  if (server == kHistoryYahooSpreadSheet) {
    pageCount = readCsvPage(fetcher, capacity, bars, state);
  } else if (!saveHtmlPage(fetcher)) {
    return PageEnd::kFailed;
  }
  if (fetcher.bodyFailed()) {
    state.nextSlot = slotBefore;
    return PageEnd::kCut;
  }
  if (server == kHistoryYahooHtml) {
    const char* path = fetcher.tempFilePath().c_str();
    if (!ExtractHistoryTable(path)) return PageEnd::kFailed;
    pageCount = ReadConvertedHistoryFile(path, state.volumeInTens, capacity, bars, state);
    // The file was written a moment ago; one that cannot be read back is a
    // page that did not convert, not an empty one.
    if (pageCount < 0) return PageEnd::kFailed;
  }
  return PageEnd::kRead;
}

// Requests page after page into bars[1..]. 0 when the load ends normally,
// else its negative result code: a failed or cut first page, or an HTML page
// that did not convert. A failed or cut later page keeps the rows already
// stored.
[[nodiscard]] int loadHistoryPages(const HistoryRequest& request, InternetSession& session, int capacity,
                                   QuoteBar* bars, HistoryLoadState& state, const SystemConfig& config) {
  const int server = config.HistoryQuoteServer;
  HttpFetcher fetcher;  // one fetcher (and one temporary file) for every page
  for (;;) {
    std::string url;
    BuildHistoryUrl(request.symbol, request.endMonth - 1, request.endDay, request.endYear, request.period,
                    request.startMonth - 1, request.startDay, request.startYear, request.span,
                    state.rowsConsumed, url, config);
    const int status = fetcher.Open(url.c_str(), session);
    if (status != kHttpOk) {
      fetcher.Close();
      return state.nextSlot == 1 ? -status : 0;
    }
    int pageCount = 0;
    const PageEnd end = readHistoryPage(fetcher, server, capacity, bars, state, pageCount);
    fetcher.Close();
    if (end == PageEnd::kFailed) return kQuoteFailed;
    if (end == PageEnd::kCut) return state.nextSlot == 1 ? kQuoteLocalFailure : 0;
    state.rowsConsumed += pageCount;
    // Another page only while one can still be stored: a service that ignores
    // the offset can then never keep the loader paging for ever.
    if (pageCount != kServicePageRows || state.nextSlot >= capacity || session.StopRequested()) return 0;
  }
}

}  // namespace

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
  const HistoryRequest request{
      .symbol = s.text,
      .period = period,
      .startYear = startYear,
      .startMonth = startMonth,
      .startDay = startDay,
      .endYear = endYear,
      .endMonth = endMonth,
      .endDay = endDay,
      .span = HistorySpan(startYear, startMonth, startDay, endYear, endMonth, endDay)};
  const int failure = loadHistoryPages(request, session, capacity, bars, state, config);
  if (failure < 0) return failure;
  if (state.nextSlot > 1) bars[0].CopyFrom(bars[1]);
  return state.nextSlot;
}

int LoadDayWatchVolume(InternetSession& session, std::int64_t& volume, const SystemConfig& config) {
  HttpFetcher fetcher;
  char line[kRecordLineCapacity];
  bool haveLine = false;
  int failure = 0;
  if (!fetchRecordLine(fetcher, session, config, "sl1d1t1c1ohgv", kCompositeVolumeSymbol, line, haveLine,
                       failure))
    return failure;
  char recordSymbol[64] = "";
  std::int64_t value = 0;
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

[[nodiscard]] int fetchQuoteRecords(const char* symbol, InternetSession& session,
                                    const RealTimePlaces& places, const SystemConfig& config) {
  QuoteBar& bar = *places.bar;
  HttpFetcher fetcher;
  char line[kRecordLineCapacity];
  bool haveLine = false;
  int failure = 0;
  if (!fetchRecordLine(fetcher, session, config, "sl1d1t1c1ohgv", symbol, line, haveLine, failure))
    return failure;
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
  if (!fetchRecordLine(fetcher, session, config, "st5l9c6p4b1a3", symbol, line, haveLine, failure))
    return failure;
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
