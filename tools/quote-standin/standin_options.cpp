#include "standin_options.h"

#include <sys/stat.h>

#include <cstring>

#include "base/app_identity.h"
#include "query_params.h"

namespace velmora::standin {

const char* UsageText() {
  return R"(Usage: quote-standin [options]

The stand-in quote service: serves history rows (/table.csv, /q/hp), quote
records (/d/quotes.csv) and a chart page (/stock-chart.php) in the formats the
program reads, with prices generated for any symbol (the same symbol always
gives the same prices) or read from a data folder.

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
                      hang, empty, garbage, truncated
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
                      FAULT the fault applied or '-'
  --help              show this text

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

bool takesValue(const std::string& name) {
  static const char* const kWithValue[] = {"--port",      "--bind", "--data-dir",    "--fault",  "--latency",
                                           "--page-size", "--now",  "--request-log", "--backlog"};
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
