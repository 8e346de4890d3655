#include "server/standin_options.h"

#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "base/app_identity.h"
#include "base/option_table.h"
#include "market/query_params.h"

namespace velmora::standin {

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

using Options = StandinOptions;

// The column of the options' descriptions in --help.
constexpr int kHelpColumn = 22;

// An option whose value is a whole number from `lo` to `hi`.
template <int Options::*kMember, long long kLo, long long kHi>
bool setNumber(Options& o, std::string_view v, std::string& error, const char* message) {
  if (readInt(std::string(v), kLo, kHi, o.*kMember)) return true;
  error = message;
  return false;
}

const Option<Options> kOptions[] = {
    {.name = "--port",
     .value = "N",
     .help = "listen on port N (default 18321, the port of the default\n"
             "Config.ini URLs; 0 picks a free port)",
     .manual = "Port (default 18321, the port of the default\n"
               ".I Config.ini\n"
               "URLs; 0 picks a free one).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           return setNumber<&Options::port, 0, 65535>(o, v, error, "--port wants a number from 0 to 65535");
         }},
    {.name = "--bind",
     .value = "ADDR",
     .help = "listen on ADDR (default 127.0.0.1)",
     .manual = "Address (default 127.0.0.1, loopback only).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           o.bind = std::string(v);
           if (!v.empty()) return true;
           error = "--bind wants an address";
           return false;
         }},
    {.name = "--data-dir",
     .value = "DIR",
     .help = "serve a symbol from DIR/SYMBOL.csv (symbol in upper case)\n"
             "when that file exists; its first line names the columns\n"
             "Date, Open, High, Low, Close, Volume and optionally\n"
             "Adj Close, in any order and letter case",
     .manual = "Serve a symbol from\n"
               ".I DIR/SYMBOL.csv\n"
               "when that file exists.",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           o.dataDir = std::string(v);
           if (isFolder(o.dataDir)) return true;
           error = "--data-dir: no folder '" + o.dataDir + "'";
           return false;
         }},
    {.name = "--fault",
     .value = "SYMBOL=KIND",
     .help = "make requests for SYMBOL fail (repeatable); KIND is one of\n"
             "404, 500, 502, 401 (unless the request carries user:secret),\n"
             "redirect, redirect-no-location, redirect-twice, slow=MS,\n"
             "hang, empty, garbage, truncated, and for the provider\n"
             "endpoints (the classic ones answer ratelimit and quota\n"
             "with 429, challenge with the page, notfound and zeros\n"
             "with 404, and ignore crumb and nulls):\n"
             "  ratelimit[=N]  429 in the provider's words\n"
             "                 (Retry-After: N)\n"
             "  challenge      200 with an HTML challenge page\n"
             "  quota          Tiingo's 200 quota text; elsewhere\n"
             "                 as ratelimit\n"
             "  crumb          Yahoo's 401 Invalid Crumb; Tiingo's\n"
             "                 and Finnhub's 401 bad key\n"
             "  zeros          Finnhub's all-zero quote; elsewhere\n"
             "                 as notfound\n"
             "  nulls          Yahoo: every fifth bar's values null\n"
             "  notfound       the provider's unknown-symbol answer\n"
             "                 (Tiingo quotes leave the ticker out)",
     .manual = "Make requests for\n"
               ".I SYMBOL\n"
               "fail (repeatable): 404, 500, 502, 401, redirect, redirect\\-no\\-location,\n"
               "redirect\\-twice, slow=MS, hang, empty, garbage, truncated, and for the\n"
               "provider endpoints ratelimit[=N], challenge, quota, crumb, zeros, nulls,\n"
               "notfound.",
     .set = [](Options& o, std::string_view v,
               std::string& error) { return o.faults.Add(std::string(v), error); }},
    {.name = "--provider-fault",
     .value = "PROVIDER=KIND",
     .help = "the same for every request of one provider's endpoints\n"
             "(PROVIDER yahoo, tiingo or finnhub; repeatable); it\n"
             "comes before a symbol's fault, and their delays add up",
     .manual = "A fault for every request of one provider's endpoints (yahoo, tiingo,\n"
               "finnhub; repeatable).",
     .set = [](Options& o, std::string_view v,
               std::string& error) { return o.faults.AddProviderFault(std::string(v), error); }},
    {.name = "--provider-split",
     .value = "SYMBOL=YYYY-MM-DD:RATIO",
     .help = "the provider endpoints show SYMBOL as split RATIO for 1\n"
             "on that day (repeatable): the bars before it have their\n"
             "prices divided by RATIO and volumes multiplied (Yahoo's\n"
             "close and every adjusted close; Tiingo's raw close stays\n"
             "and its splitFactor shows RATIO); the classic pages do\n"
             "not change",
     .manual = "The provider endpoints show\n"
               ".I SYMBOL\n"
               "as split\n"
               ".I RATIO\n"
               "for 1 on that day (repeatable).",
     .set = [](Options& o, std::string_view v,
               std::string& error) { return o.providerSplits.Add(std::string(v), error); }},
    {.name = "--require-key",
     .value = "KEY",
     .help = "Tiingo requests need \"Authorization: Token KEY\" and\n"
             "Finnhub requests token=KEY, else their 401; without it\n"
             "any key or none will do (Yahoo never needs one)",
     .manual = "Tiingo and Finnhub requests need\n"
               ".IR KEY ,\n"
               "else their 401.",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           o.requiredKey = std::string(v);
           if (isUsableKey(o.requiredKey)) return true;
           error = "--require-key wants 1 to 256 printable characters without blanks";
           return false;
         }},
    {.name = "--latency",
     .value = "MS",
     .help = "delay every answer by MS milliseconds",
     .manual = "Delay every answer.",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           return setNumber<&Options::latencyMs, 0, 3600000>(
               o, v, error, "--latency wants milliseconds from 0 to 3600000");
         }},
    {.name = "--page-size",
     .value = "N",
     .help = "history rows per page (default 200)",
     .manual = "History rows per page (default 200).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           return setNumber<&Options::pageSize, 1, 100000>(o, v, error,
                                                           "--page-size wants a number from 1 to 100000");
         }},
    {.name = "--now",
     .value = "YYYY-MM-DDTHH:MM",
     .help = "fix the service's clock at this New York time",
     .manual = "Fix the service's clock (New York time).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           MarketTime t;
           if (ParseMarketTime(std::string(v), t)) {
             o.now = t;
             return true;
           }
           error = "--now wants YYYY-MM-DDTHH:MM (years 1971 to 2199)";
           return false;
         }},
    {.name = "--backlog",
     .value = "N",
     .help = "queue up to N connections that wait to be served\n"
             "(default 1024; the system caps it at\n"
             "net.core.somaxconn): clients that connect at once are\n"
             "not turned away to retry a second later",
     .manual = "Connections queued while every worker is busy (default 1024).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           return setNumber<&Options::backlog, 1, 65535>(o, v, error,
                                                         "--backlog wants a number from 1 to 65535");
         }},
    {.name = "--request-log",
     .value = "FILE",
     .help = "append one line per request to FILE:\n"
             "  TIME CLIENT METHOD TARGET STATUS BYTES DURATION FAULT\n"
             "TIME in UTC (2025-06-02T14:03:07.123Z), CLIENT as\n"
             "address:port, TARGET with bytes outside printable ASCII\n"
             "as %XX, BYTES the body length, DURATION like 0.42ms,\n"
             "FAULT the fault applied or '-'; a key in the query\n"
             "is written token=***",
     .manual = "Append one line per request to\n"
               ".IR FILE .",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           o.requestLog = std::string(v);
           if (!v.empty()) return true;
           error = "--request-log wants a file name";
           return false;
         }},
    {.name = "--help",
     .letter = 'h',
     .help = "show this text",
     .manual = "Print the full help text (fault kinds, endpoints, the request log's format)\n"
               "and exit.",
     .set = [](Options& o, std::string_view, std::string&) { return o.help = true; },
     .last = true},
    {.name = "--version",
     .help = "print the program's name and version",
     .manual = "Print the program's name and version and exit.",
     .set = [](Options& o, std::string_view, std::string&) { return o.version = true; },
     .last = true},
    {.name = kManualOptionsName,
     .set = [](Options& o, std::string_view, std::string&) { return o.manualOptions = true; },
     .last = true,
     .hidden = true},
};

constexpr const char* kUsageHead = R"(Usage: quote-standin [options]

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
)";

constexpr const char* kUsageTail = R"(
The clock is New York market time: the machine's clock converted with the US
daylight-saving rule, unless --now fixes it. History ends the trading day
before the quote's day; on trading days the quote moves from 9:30 to 16:00
and shows the close ("4:00pm") outside those hours (before 9:30 the previous
session's). Trading days are Monday to Friday.

On start it prints one line "listening on http://ADDR:PORT" and serves until
SIGINT or SIGTERM.
)";

}  // namespace

const OptionTable<StandinOptions>& StandinOptionTable() {
  static const OptionTable<StandinOptions> table{.options = kOptions, .needsValue = " wants a value"};
  return table;
}

const char* UsageText() {
  static const std::string text =
      std::string(kUsageHead) + OptionHelp(StandinOptionTable(), kHelpColumn) + kUsageTail;
  return text.c_str();
}

OptionsResult ParseOptions(int argc, char** argv, StandinOptions& options, std::string& error) {
  options.port = kDefaultQuotePort;
  if (!ParseCommandLine(StandinOptionTable(), argc, argv, options, error)) return OptionsResult::kError;
  if (options.help) return OptionsResult::kHelp;
  if (options.version) return OptionsResult::kVersion;
  if (options.manualOptions) return OptionsResult::kManual;
  return OptionsResult::kRun;
}

}  // namespace velmora::standin
