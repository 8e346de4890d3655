#pragma once

#include <string>
#include <string_view>

namespace velmora::standin {

// The market-data providers whose endpoints the service answers besides the
// classic ones.
enum class Provider { kYahoo, kTiingo, kFinnhub };
inline constexpr int kProviderCount = 3;

// The provider endpoints:
//   /v8/finance/chart/{SYMBOL}          Yahoo chart: bars and the current quote (JSON)
//   /tiingo/daily/{ticker}/prices       Tiingo history (CSV)
//   /iex/{t1,t2,...}                    Tiingo current quotes (JSON)
//   /api/v1/quote?symbol=               Finnhub current quote (JSON)
enum class ProviderEndpoint { kYahooChart, kTiingoPrices, kTiingoIex, kFinnhubQuote };

Provider ProviderOf(ProviderEndpoint endpoint);

// "yahoo", "tiingo", "finnhub".
const char* ProviderName(Provider provider);
[[nodiscard]] bool ParseProviderName(std::string_view text, Provider& provider);

// A market index: "^DJI", "^GSPC", "^IXIC" (a leading '^').
bool IsIndexSymbol(std::string_view symbol);

// A listing on a market outside the US, told by its suffix: "RY.TO",
// "0700.HK", "600519.SS", "VOD.L". A one-letter share class ("BRK.B") is a US
// share; of the one-letter suffixes only L (London), V (TSX Venture),
// T (Tokyo) and F (Frankfurt) name markets. Currencies ("EURUSD=X") count as
// foreign too: neither Tiingo nor Finnhub serves them.
bool IsForeignListing(std::string_view symbol);

// Tiingo's ticker as the service's symbol: upper case, and a share class
// after '-' back after '.' ("brk-b" -> "BRK.B"), so that both name the same
// prices.
std::string SymbolOfTiingoTicker(std::string_view ticker);

}  // namespace velmora::standin
