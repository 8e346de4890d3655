#pragma once

namespace velmora {

// Status codes HttpFetcher::Open returns besides the server's own status.
inline constexpr int kHttpOk = 200;
inline constexpr int kHttpLocalFailure = 400;  // bad URL, no connection, library error, no new location
inline constexpr int kHttpUnauthorized = 401;  // authorization refused

// Result codes of the quote services. A positive value is success
// (LoadHistoryQuote: the next free slot; LoadRealTimeQuote: 1); every other
// negative value is minus the service's final HTTP status.
inline constexpr int kQuoteOk = 200;                // "OK": a per-security step succeeded
inline constexpr int kQuoteNotFound = -404;         // "Not Found": unknown symbol
inline constexpr int kQuoteProxyError = -502;       // "Proxy Error"
inline constexpr int kQuoteFailed = -999;           // "Failed": no record line, or the page did not convert
inline constexpr int kQuoteLocalFailure = -400;     // the HTTP client failed locally
inline constexpr int kQuoteNoAuthorization = -401;  // authorization refused
// "Too many requests": every market-data provider that could serve the
// request is out of its budget or asked to wait.
inline constexpr int kQuoteRateLimited = -429;

// "OK", "Not Found", "Proxy Error", "Failed"; "" for any other code.
const char* QuoteResultText(int code);

}  // namespace velmora
