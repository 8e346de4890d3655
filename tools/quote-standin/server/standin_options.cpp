#include "server/standin_options.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "base/app_identity.h"
#include "market/query_params.h"

namespace velmora::standin {

const char* UsageText() {
  return R"(Usage: quote-standin [options]

The stand-in quote service: serves history rows (/table.csv, /q/hp), quote
records (/d/quotes.csv) and a chart page (/stock-chart.php) in the formats the
program reads, with prices generated for any symbol (the same symbol always
gives the same prices) or read from a data folder. The market-data providers'
endpoints answer from the same prices:
  /v8/finance/chart/SYMBOL?period1=UNIX&period2=UNIX&interval=1d|1wk|1mo
  /v8/finance/chart/SYMBOL?range=Nd&interval=1d
                      Yahoo chart (JSON): bars with their close and adjusted
                      close as the history rows give them, the current quote
                      in "meta"; indices (^DJI, ^GSPC, ^IXIC) too
  /tiingo/daily/TICKER/prices?startDate=YYYY-MM-DD&endDate=YYYY-MM-DD
        &resampleFreq=daily|weekly|monthly&format=csv
                      Tiingo history (CSV, raw close and adjusted values;
                      brk-b is BRK.B)
  /iex/T1,T2,...      Tiingo current quotes (JSON; unknown tickers left out)
  /api/v1/quote?symbol=SYMBOL&token=KEY
                      Finnhub current quote (JSON; all zeros when unknown)
Weekly and monthly bars are built from the daily ones and dated by their
first trading day. A chart that reaches the quote's day ends with that day's
bar so far (from the current quote); Tiingo's history, like the classic rows,
ends the trading day before. Tiingo and Finnhub know no indices and no
markets outside the US.

Options:
  --port N            listen on port N (default 18321, the port of the default
                      Config.ini URLs; 0 picks a free port)
  --bind ADDR         listen on ADDR (default 127.0.0.1)
  --data-dir DIR      serve a symbol from DIR/SYMBOL.csv (symbol in upper case)
                      when that file exists; its first line names the columns
                      Date, Open, High, Low, Close, Volume and optionally
                      Adj Close, in any order and letter case
  --fault SYMBOL=KIND make requests for SYMBOL fail (repeatable); KIND is one of
                      404, 500, 502, 401 (unless the request carries user:secret),
                      redirect, redirect-no-location, redirect-twice, slow=MS,
                      hang, empty, garbage, truncated, and for the provider
                      endpoints (the classic ones answer ratelimit and quota
                      with 429, challenge with the page, notfound and zeros
                      with 404, and ignore crumb and nulls):
                        ratelimit[=N]  429 in the provider's words
                                       (Retry-After: N)
                        challenge      200 with an HTML challenge page
                        quota          Tiingo's 200 quota text; elsewhere
                                       as ratelimit
                        crumb          Yahoo's 401 Invalid Crumb; Tiingo's
                                       and Finnhub's 401 bad key
                        zeros          Finnhub's all-zero quote; elsewhere
                                       as notfound
                        nulls          Yahoo: every fifth bar's values null
                        notfound       the provider's unknown-symbol answer
                                       (Tiingo quotes leave the ticker out)
  --provider-fault PROVIDER=KIND
                      the same for every request of one provider's endpoints
                      (PROVIDER yahoo, tiingo or finnhub; repeatable); it
                      comes before a symbol's fault, and their delays add up
  --provider-split SYMBOL=YYYY-MM-DD:RATIO
                      the provider endpoints show SYMBOL as split RATIO for 1
                      on that day (repeatable): the bars before it have their
                      prices divided by RATIO and volumes multiplied (Yahoo's
                      close and every adjusted close; Tiingo's raw close stays
                      and its splitFactor shows RATIO); the classic pages do
                      not change
  --require-key KEY   Tiingo requests need "Authorization: Token KEY" and
                      Finnhub requests token=KEY, else their 401; without it
                      any key or none will do (Yahoo never needs one)
  --latency MS        delay every answer by MS milliseconds
  --page-size N       history rows per page (default 200)
  --now YYYY-MM-DDTHH:MM
                      fix the service's clock at this New York time
  --backlog N         queue up to N connections that wait to be served
                      (default 1024; the system caps it at
                      net.core.somaxconn): clients that connect at once are
                      not turned away to retry a second later
  --request-log FILE  append one line per request to FILE:
                        TIME CLIENT METHOD TARGET STATUS BYTES DURATION FAULT
                      TIME in UTC (2025-06-02T14:03:07.123Z), CLIENT as
                      address:port, TARGET with bytes outside printable ASCII
                      as %XX, BYTES the body length, DURATION like 0.42ms,
                      FAULT the fault applied or '-'; a key in the query
                      is written token=***
  --help              show this text
  --version           print the program's name and version

The clock is New York market time: the machine's clock converted with the US
daylight-saving rule, unless --now fixes it. History ends the trading day
before the quote's day; on trading days the quote moves from 9:30 to 16:00
and shows the close ("4:00pm") outside those hours (before 9:30 the previous
session's). Trading days are Monday to Friday.

On start it prints one line "listening on http://ADDR:PORT" and serves until
SIGINT or SIGTERM.
)";
}

namespace {

[[nodiscard]] bool readInt(const std::string& text, long long lo, long long hi, int& out) {
  long long v = 0;
  if (!ParseWholeNumber(text, lo, hi, v)) return false;
  out = static_cast<int>(v);
  return true;
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A key goes into a header line and a query: printable ASCII, no blanks.
bool isUsableKey(const std::string& key) {
  if (key.empty() || key.size() > 256) return false;
  return std::all_of(key.begin(), key.end(), [](char c) { return c > 0x20 && c < 0x7f; });
}

bool takesValue(const std::string& name) {
  static const char* const kWithValue[] = {
      "--port", "--bind",        "--data-dir", "--fault",          "--latency",        "--page-size",
      "--now",  "--request-log", "--backlog",  "--provider-fault", "--provider-split", "--require-key"};
  bool known = false;
  for (const char* option : kWithValue) known = known || name == option;
  return known;
}

// Stores the value of one option (a name takesValue knows); false with a
// message when the value does not suit it.
[[nodiscard]] bool applyOption(const std::string& name, const std::string& value, StandinOptions& options,
                               std::string& error) {
  bool ok = true;
  if (name == "--port") {
    ok = readInt(value, 0, 65535, options.port);
    if (!ok) error = "--port wants a number from 0 to 65535";
  } else if (name == "--bind") {
    ok = !value.empty();
    options.bind = value;
    if (!ok) error = "--bind wants an address";
  } else if (name == "--data-dir") {
    ok = isFolder(value);
    options.dataDir = value;
    if (!ok) error = "--data-dir: no folder '" + value + "'";
  } else if (name == "--fault") {
    ok = options.faults.Add(value, error);
  } else if (name == "--provider-fault") {
    ok = options.faults.AddProviderFault(value, error);
  } else if (name == "--provider-split") {
    ok = options.providerSplits.Add(value, error);
  } else if (name == "--require-key") {
    ok = isUsableKey(value);
    options.requiredKey = value;
    if (!ok) error = "--require-key wants 1 to 256 printable characters without blanks";
  } else if (name == "--latency") {
    ok = readInt(value, 0, 3600000, options.latencyMs);
    if (!ok) error = "--latency wants milliseconds from 0 to 3600000";
  } else if (name == "--page-size") {
    ok = readInt(value, 1, 100000, options.pageSize);
    if (!ok) error = "--page-size wants a number from 1 to 100000";
  } else if (name == "--backlog") {
    ok = readInt(value, 1, 65535, options.backlog);
    if (!ok) error = "--backlog wants a number from 1 to 65535";
  } else if (name == "--now") {
    MarketTime t;
    ok = ParseMarketTime(value, t);
    if (ok) options.now = t;
    if (!ok) error = "--now wants YYYY-MM-DDTHH:MM (years 1971 to 2199)";
  } else {
    ok = !value.empty();
    options.requestLog = value;
    if (!ok) error = "--request-log wants a file name";
  }
  return ok;
}

}  // namespace

OptionsResult ParseOptions(int argc, char** argv, StandinOptions& options, std::string& error) {
  options.port = kDefaultQuotePort;
  for (int i = 1; i < argc; ++i) {
    // "--name=value" carries its value; "--name value" takes the next argument.
    std::string name = argv[i];
    std::string value;
    bool hasValue = false;
    const std::size_t eq = name.find('=');
    if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    if (name == "--help" || name == "-h") return OptionsResult::kHelp;
    if (name == "--version") return OptionsResult::kVersion;
    if (!takesValue(name)) {
      error = "unknown option '" + name + "'";
      return OptionsResult::kError;
    }
    if (!hasValue) {
      if (i + 1 >= argc) {
        error = name + " wants a value";
        return OptionsResult::kError;
      }
      value = argv[++i];
    }
    if (!applyOption(name, value, options, error)) return OptionsResult::kError;
  }
  return OptionsResult::kRun;
}

}  // namespace velmora::standin
