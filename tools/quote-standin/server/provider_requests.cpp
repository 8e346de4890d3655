// The provider endpoints of QuoteService: Yahoo chart, Tiingo and Finnhub,
// answered from the same series and quotes as the classic pages.
#include <httplib.h>

#include <algorithm>

#include "market/calendar.h"
#include "market/query_params.h"
#include "market/symbols.h"
#include "provider_api/finnhub_quote.h"
#include "provider_api/tiingo_pages.h"
#include "provider_api/yahoo_chart.h"
#include "server/authorization.h"
#include "server/provider_answers.h"
#include "server/quote_service.h"

namespace velmora::standin {

namespace {

constexpr const char* kCsvType = "text/csv";
// More tickers than fit in one quotes request are refused.
constexpr std::size_t kMaxIexTickers = 1000;

const char* contentTypeOf(ProviderEndpoint endpoint) {
  return endpoint == ProviderEndpoint::kTiingoPrices ? kCsvType : kJsonType;
}

// The tickers of "/iex/msft,ibm", empty ones left out.
std::vector<std::string> splitTickers(std::string_view list) {
  std::vector<std::string> tickers;
  std::size_t from = 0;
  while (from <= list.size()) {
    std::size_t comma = list.find(',', from);
    if (comma == std::string_view::npos) comma = list.size();
    if (comma > from) tickers.emplace_back(list.substr(from, comma - from));
    from = comma + 1;
  }
  return tickers;
}

// Tiingo and Finnhub serve US shares only: no indices, no other markets.
bool usShare(const std::string& symbol) {
  return IsWellFormedSymbol(symbol) && !IsIndexSymbol(symbol) && !IsForeignListing(symbol);
}

// Kinds that make a ticker unknown: a quotes request for many leaves it out.
bool unknownKind(FaultKind kind) { return kind == FaultKind::kNotFound || kind == FaultKind::kZeros; }

// Kinds that a quotes request for many tickers applies to each ticker alone
// (nulls is Yahoo's and does nothing here).
bool perTickerKind(FaultKind kind) { return unknownKind(kind) || kind == FaultKind::kNulls; }

// The fault of a quotes request for many tickers: the first of their faults
// that can only answer for the whole request does so, and the longest delay
// of them holds it up.
Fault listFault(const FaultPlan& plan, const std::vector<std::string>& tickers) {
  Fault fault;
  for (const std::string& ticker : tickers) {
    const std::string symbol = SymbolOfTiingoTicker(ticker);
    if (!IsWellFormedSymbol(symbol)) continue;
    const Fault own = plan.For(symbol);
    fault.slowMs = std::max(fault.slowMs, own.slowMs);
    if (fault.kind == FaultKind::kNone && !perTickerKind(own.kind)) {
      fault.kind = own.kind;
      fault.retryAfterSeconds = own.retryAfterSeconds;
    }
  }
  return fault;
}

}  // namespace

void QuoteService::sendProviderReply(httplib::Response& res, ProviderReply reply) {
  res.status = reply.status;
  if (reply.retryAfterSeconds >= 0) res.set_header("Retry-After", std::to_string(reply.retryAfterSeconds));
  res.set_content(std::move(reply.body), reply.contentType);
}

bool QuoteService::keyAccepted(ProviderEndpoint endpoint, const httplib::Request& req) const {
  const std::string& key = settings_.requiredKey;
  if (key.empty()) return true;
  switch (ProviderOf(endpoint)) {
    case Provider::kTiingo:
      return AuthorizationIs(req.get_header_value("Authorization"), "token", key);
    case Provider::kFinnhub: {
      const std::string* token = FindParam(req.params, "token");
      return token != nullptr && *token == key;
    }
    default:
      return true;
  }
}

void QuoteService::handleProvider(ProviderEndpoint endpoint, std::string_view subject,
                                  const httplib::Request& req, httplib::Response& res, int hops) {
  if (!keyAccepted(endpoint, req)) return sendProviderReply(res, ProviderBadKey(endpoint));
  std::string ticker;  // as asked
  std::string symbol;  // as the service names it
  std::vector<std::string> tickers;
  Fault symbolFault;
  switch (endpoint) {
    case ProviderEndpoint::kYahooChart:
      ticker = subject;
      symbol = UpperSymbol(subject);
      break;
    case ProviderEndpoint::kTiingoPrices:
      ticker = subject;
      symbol = SymbolOfTiingoTicker(subject);
      break;
    case ProviderEndpoint::kFinnhubQuote:
      if (const std::string* given = FindParam(req.params, "symbol")) ticker = *given;
      symbol = UpperSymbol(ticker);
      break;
    case ProviderEndpoint::kTiingoIex:
      tickers = splitTickers(subject);
      symbolFault = listFault(settings_.faults, tickers);
      break;
  }
  if (endpoint != ProviderEndpoint::kTiingoIex && IsWellFormedSymbol(symbol)) {
    symbolFault = settings_.faults.For(symbol);
  }
  const Fault fault = CombineFaults(settings_.faults.ForProvider(ProviderOf(endpoint)), symbolFault);
  if (applyFault(req, res, fault, hops, contentTypeOf(endpoint), endpoint, ticker)) return;

  Reply answer;
  switch (endpoint) {
    case ProviderEndpoint::kYahooChart:
      answer = yahooChart(req, symbol, fault);
      break;
    case ProviderEndpoint::kTiingoPrices:
      answer = tiingoPrices(req, ticker, symbol);
      break;
    case ProviderEndpoint::kTiingoIex:
      answer = tiingoIex(tickers);
      break;
    case ProviderEndpoint::kFinnhubQuote:
      answer = finnhubQuote(symbol);
      break;
  }
  send(res, std::move(answer), fault);
}

namespace {

// The bar of the quote's day so far.
PriceBar quoteDayBar(const PriceSeries& series, const CurrentQuote& quote) {
  PriceBar bar;
  bar.day = series.quote.day;
  bar.open = quote.open;
  bar.high = quote.high;
  bar.low = quote.low;
  bar.close = quote.last;
  bar.volume = quote.volume;
  // Adjusted as the series adjusts its newest close (a data file's own ratio).
  bar.adjClose = quote.last;
  if (series.quote.close > 0 && series.quote.adjClose > 0) {
    bar.adjClose = DivideCents(quote.last, static_cast<double>(series.quote.close) / series.quote.adjClose);
  }
  return bar;
}

bool anySplitBy(const std::vector<SplitEvent>& splits, int lastDay) {
  return std::any_of(splits.begin(), splits.end(),
                     [lastDay](const SplitEvent& s) { return s.day <= lastDay; });
}

}  // namespace

QuoteService::Reply QuoteService::asReply(ProviderReply reply) {
  Reply out;
  out.status = reply.status;
  out.contentType = reply.contentType;
  out.body = std::move(reply.body);
  return out;
}

CurrentQuote QuoteService::providerQuote(const std::string& symbol, const Current& current) const {
  const PriceSeries& series = *current.series;
  const int previousDay = series.daily.empty() ? series.quote.day - 1 : series.daily.back().day;
  return MakeCurrentQuote(
      current.quote, SplitFactorAfter(settings_.providerSplits.For(symbol), previousDay, series.quote.day));
}

QuoteService::Reply QuoteService::yahooChart(const httplib::Request& req, const std::string& symbol,
                                             const Fault& fault) {
  constexpr ProviderEndpoint kEndpoint = ProviderEndpoint::kYahooChart;
  if (!IsWellFormedSymbol(symbol)) return asReply(ProviderNotFound(kEndpoint, symbol));
  YahooQuery query;
  std::string error;
  if (!ReadYahooQuery(req.params, query, error)) return asReply(ProviderBadRequest(kEndpoint, error));
  const Current state = current(symbol);
  const PriceSeries& series = *state.series;
  if (!series.hasQuote) return asReply(ProviderNotFound(kEndpoint, symbol));

  // The chart shows the quote's day as its newest bar, as far as the
  // session has come; a data file whose newest row is older has it among
  // the history rows already.
  const CurrentQuote quote = providerQuote(symbol, state);
  const PriceBar today = quoteDayBar(series, quote);
  const bool hasToday = series.daily.empty() || series.daily.back().day < today.day;
  std::vector<PriceBar> days = YahooDays(series.daily, hasToday ? &today : nullptr, query);
  // A provider split rewrites the days before it, before they are grouped.
  const std::vector<SplitEvent>& splits = settings_.providerSplits.For(symbol);
  if (anySplitBy(splits, series.quote.day)) days = SplitAdjustedBars(days, splits, series.quote.day);
  Reply reply;
  reply.contentType = kJsonType;
  reply.body =
      YahooChartJson(symbol, quote, YahooBars(std::move(days), query), fault.kind == FaultKind::kNulls);
  return reply;
}

QuoteService::Reply QuoteService::tiingoPrices(const httplib::Request& req, const std::string& ticker,
                                               const std::string& symbol) {
  constexpr ProviderEndpoint kEndpoint = ProviderEndpoint::kTiingoPrices;
  if (!usShare(symbol)) return asReply(ProviderNotFound(kEndpoint, ticker));
  TiingoQuery query;
  std::string error;
  if (!ReadTiingoQuery(req.params, query, error)) return asReply(ProviderBadRequest(kEndpoint, error));
  const auto series = store_.Get(symbol, moment().quoteDay);
  if (!series->hasQuote) return asReply(ProviderNotFound(kEndpoint, ticker));
  Reply reply;
  reply.contentType = kCsvType;
  reply.body = TiingoPricesCsv(*series, query, settings_.providerSplits.For(symbol));
  return reply;
}

QuoteService::Reply QuoteService::tiingoIex(const std::vector<std::string>& tickers) {
  constexpr ProviderEndpoint kEndpoint = ProviderEndpoint::kTiingoIex;
  if (tickers.empty()) return asReply(ProviderBadRequest(kEndpoint, "no tickers given"));
  if (tickers.size() > kMaxIexTickers) {
    return asReply(ProviderBadRequest(kEndpoint, "at most " + std::to_string(kMaxIexTickers) + " tickers"));
  }
  std::vector<TiingoIexEntry> entries;
  for (const std::string& ticker : tickers) {
    const std::string symbol = SymbolOfTiingoTicker(ticker);
    if (!usShare(symbol) || unknownKind(settings_.faults.For(symbol).kind)) continue;
    const Current state = current(symbol);
    if (!state.series->hasQuote) continue;
    entries.push_back({UpperSymbol(ticker), providerQuote(symbol, state)});
  }
  Reply reply;
  reply.contentType = kJsonType;
  reply.body = TiingoIexJson(entries);
  return reply;
}

QuoteService::Reply QuoteService::finnhubQuote(const std::string& symbol) {
  constexpr ProviderEndpoint kEndpoint = ProviderEndpoint::kFinnhubQuote;
  if (symbol.empty()) return asReply(ProviderBadRequest(kEndpoint, "missing parameter 'symbol'"));
  if (IsWellFormedSymbol(symbol) && IsForeignListing(symbol)) return asReply(FinnhubNoAccess());
  if (!usShare(symbol)) return asReply(ProviderNotFound(kEndpoint, symbol));
  const Current state = current(symbol);
  if (!state.series->hasQuote) return asReply(ProviderNotFound(kEndpoint, symbol));
  Reply reply;
  reply.contentType = kJsonType;
  reply.body = FinnhubQuoteJson(providerQuote(symbol, state));
  return reply;
}

}  // namespace velmora::standin
