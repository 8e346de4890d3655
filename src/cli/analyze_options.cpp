#include "cli/analyze_options.h"

#include <cstdio>
#include <memory>
#include <string_view>

#include "backtest/backtest.h"
#include "cli/analyze_csv.h"
#include "cli/backtest_input.h"
#include "cli/backtest_options.h"
#include "cli/backtest_text.h"
#include "core/compute_indicators.h"

namespace velmora {

namespace {

// "K,N,S": three periods of at least 1.
bool readStoch(std::string_view text, AnalyzeOptions& o) {
  const std::size_t a = text.find(',');
  const std::size_t b = a == std::string_view::npos ? a : text.find(',', a + 1);
  if (b == std::string_view::npos) return false;
  return ReadWholeNumber(text.substr(0, a), 1, o.stochLookback) &&
         ReadWholeNumber(text.substr(a + 1, b - a - 1), 1, o.stochSmoothing) &&
         ReadWholeNumber(text.substr(b + 1), 1, o.stochSlowing);
}

bool valueOption(std::string_view arg, int argc, const char* const* argv, int& i, AnalyzeOptions& o,
                 std::string& error) {
  std::string_view value;
  bool missing = false;
  bool ok = true;
  std::string_view name;
  if (TakeOptionValue(arg, "--rsi", argc, argv, i, value, missing)) {
    name = "--rsi";
    ok = missing || ReadWholeNumber(value, 1, o.rsiPeriod);
  } else if (TakeOptionValue(arg, "--stoch", argc, argv, i, value, missing)) {
    name = "--stoch";
    ok = missing || readStoch(value, o);
  } else if (TakeOptionValue(arg, "--confirm-days", argc, argv, i, value, missing)) {
    name = "--confirm-days";
    ok = missing || ReadWholeNumber(value, 0, o.confirmDays);
  } else {
    const OptionRead read = ReadTradingOption(arg, argc, argv, i, o.trading, error);
    if (read == OptionRead::kNotMine) error = "unknown option '" + std::string(arg) + "'";
    o.tradingGiven = o.tradingGiven || read == OptionRead::kRead;
    return read == OptionRead::kRead;
  }
  if (missing) error = std::string(name) + " needs a value";
  if (!ok) error = "bad value '" + std::string(value) + "' for " + std::string(name);
  return !missing && ok;
}

bool startsWithCaret(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t first = slash == std::string::npos ? 0 : slash + 1;
  return first < path.size() && path[first] == '^';
}

}  // namespace

bool ParseAnalyzeOptions(int argc, const char* const* argv, AnalyzeOptions& o, std::string& error) {
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!onlyFiles && arg == "--") {
      onlyFiles = true;
    } else if (!onlyFiles && (arg == "--help" || arg == "-h")) {
      o.help = true;
    } else if (!onlyFiles && arg == "--version") {
      o.version = true;
    } else if (!onlyFiles && arg == "--index") {
      o.index = true;
    } else if (!onlyFiles && arg == "--oldest-first") {
      o.oldestFirst = true;
    } else if (!onlyFiles && arg == "--segments") {
      o.segments = true;
    } else if (!onlyFiles && arg == "--backtest") {
      o.backtest = true;
    } else if (!onlyFiles && arg.size() > 1 && arg[0] == '-') {
      if (!valueOption(arg, argc, argv, i, o, error)) return false;
    } else if (o.file.empty()) {
      o.file = std::string(arg);
    } else {
      error = "only one FILE may be given";
      return false;
    }
  }
  if (!o.help && !o.version && o.file.empty()) {
    error = "no FILE given";
    return false;
  }
  if (o.tradingGiven && !o.backtest) {
    error = "--short, --commission, --slippage-bp and --capital need --backtest";
    return false;
  }
  if (o.backtest && (o.segments || o.oldestFirst)) {
    error = "--backtest prints trades, not bars: no --segments or --oldest-first";
    return false;
  }
  return true;
}

const char* AnalyzeUsageText() {
  return "Usage: velmora-analyze [--rsi N] [--stoch K,N,S] [--confirm-days N] [--index]\n"
         "                       [--oldest-first] [--segments] FILE\n"
         "       velmora-analyze --backtest [--short] [--commission MONEY] [--slippage-bp BP]\n"
         "                       [--capital MONEY] [--confirm-days N] [--index] FILE\n";
}

const char* AnalyzeHelpText() {
  static const std::string text =
      std::string(AnalyzeUsageText()) +
      "\n"
      "Reads FILE as a local history file (lines of date,open,high,low,close,volume,\n"
      "newest or oldest first, at most 1095 kept), analyses the bars a chart of that\n"
      "file analyses (every entry read but the last) with a full computation, and\n"
      "prints one CSV header line and one line per bar, newest first.\n"
      "\n"
      "  --rsi N            RSI period (default 14)\n"
      "  --stoch K,N,S      stochastic look-back, %K smoothing and slowing (default 14,3,3)\n"
      "  --confirm-days N   bars after a break that confirm a trend change (default 2)\n"
      "  --index            treat the security as a market index (also when the file\n"
      "                     name begins with '^'): no average-distance filter\n"
      "  --oldest-first     print the oldest bar first\n"
      "  --segments         append the trend segments: a blank line, the line\n"
      "                     \"segmentCount,current\" and its values, a blank line, then a\n"
      "                     header and one line per segment still kept (at most 64),\n"
      "                     oldest first\n"
      "  --help             show this text\n"
      "  --version          print the program's name and version\n"
      "\n"
      "Columns: index (0 = newest bar), date and time as stored, prices, volume, change\n"
      "and percent, breakState and trend (0 up, 1 inside, 2 down), trendChanged,\n"
      "barsSinceChange, the two break levels, RSI with its averages, the stochastic\n"
      "lines, six averages each with its above flag (Y/N), toEma10Percent,\n"
      "volumeAvg50 and the signal mark (B, S or empty). Numbers are printed in their\n"
      "shortest exact form.\n"
      "\n"
      "--backtest trades the buy and sell marks instead, walking forward one day at\n"
      "a time: each evening's mark is the one a full computation over that day and\n"
      "the older bars gives it, nothing later known. A mark acts at the next day's\n"
      "open: a buy opens a long position, a sell closes it (a mark asking for the\n"
      "position already held, and a mark on the last bar, do nothing). A position\n"
      "still held at the end is valued at the last close and marked open. It prints\n"
      "one CSV line per trade (side, the dates of the mark, the entry and the exit,\n"
      "the prices paid and got, bars held, the return on the account in percent and\n"
      "1 for the open position), then a blank line and the summary: its header and\n"
      "one line of figures (first and last date, bars, closed trades, winning share,\n"
      "average win and loss, profit factor, total and annual return, deepest\n"
      "drawdown, time in the market, buy and hold from the first close, open\n"
      "positions). Dates are MM/DD/YYYY.\n"
      "\n" +
      kTradingOptionsHelp +
      "\n"
      "Exit status: 0 on success, 1 when FILE gives no bars, 2 on bad options.\n";
  return text.c_str();
}

namespace {

bool print(const std::string& out) {
  const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
  if (std::fflush(stdout) != 0 || !written) {
    std::fprintf(stderr, "velmora-analyze: cannot write the output\n");
    return false;
  }
  return true;
}

}  // namespace

int RunAnalyze(const AnalyzeOptions& o) {
  auto series = std::make_unique<QuoteSeries>();
  std::string problem;
  const int count = ReadAnalysedBars(o.file, *series, problem);
  if (count < 1) {
    std::fprintf(stderr, "velmora-analyze: %s; nothing to analyse\n", problem.c_str());
    return 1;
  }
  const bool isIndex = o.index || startsWithCaret(o.file);
  std::string out;
  if (o.backtest) {
    BacktestOptions trading = o.trading;
    trading.confirmDays = o.confirmDays;
    trading.isIndex = isIndex;
    const BacktestResult result = RunBacktest(BarsOf(*series), trading);
    AppendTradesCsvHeader(false, out);
    AppendTradesCsv(result.trades, nullptr, out);
    AppendSummaryCsv(result.summary, out);
    return print(out) ? 0 : 1;
  }
  SignalState state;
  computeIndicators(false, isIndex, o.rsiPeriod, o.stochLookback, o.stochSmoothing, o.stochSlowing, count - 1,
                    0, BarsOf(*series), state, o.confirmDays);
  AppendBarsCsv(BarsOf(*series), o.oldestFirst, out);
  if (o.segments) AppendSegmentsCsv(state, out);
  return print(out) ? 0 : 1;
}

}  // namespace velmora
