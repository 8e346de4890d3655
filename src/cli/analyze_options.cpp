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

bool startsWithCaret(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t first = slash == std::string::npos ? 0 : slash + 1;
  return first < path.size() && path[first] == '^';
}

}  // namespace

namespace {

using Options = AnalyzeOptions;

// The block of --help that lists the trading options, after the text on
// the back-test; --backtest itself is described in that text.
constexpr int kTradingBlock = 1;
constexpr int kDescribedBlock = -1;

// A trading option as velmora-analyze lists it: the manual page sums the
// four up in the entry of the first.
Option<Options> trading(Option<Options> o, const char* manual = nullptr) {
  o.block = kTradingBlock;
  o.manual = manual;
  if (manual != nullptr)
    o.manualTag =
        ".BR \\-\\-short \", \" \\-\\-commission \" \\fIMONEY\\fP, \" \\-\\-slippage\\-bp \" \\fIBP\\fP, \" "
        "\\-\\-capital \" \\fIMONEY\\fP\"";
  return o;
}

bool setFlag(bool Options::*member, Options& o) {
  o.*member = true;
  return true;
}

bool setPeriod(int& out, int minimum, const char* name, std::string_view v, std::string& error) {
  if (ReadWholeNumber(v, minimum, out)) return true;
  error = "bad value '" + std::string(v) + "' for " + name;
  return false;
}

const Option<Options> kOptions[] = {
    {.name = "--rsi",
     .value = "N",
     .help = "RSI period (default 14)",
     .manual = "RSI period (default 14).",
     .set = [](Options& o, std::string_view v,
               std::string& error) { return setPeriod(o.rsiPeriod, 1, "--rsi", v, error); }},
    {.name = "--stoch",
     .value = "K,N,S",
     .help = "stochastic look-back, %K smoothing and slowing (default 14,3,3)",
     .manual = "Stochastic look\\-back, %K smoothing and slowing (default 14,3,3).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           if (readStoch(v, o)) return true;
           error = "bad value '" + std::string(v) + "' for --stoch";
           return false;
         }},
    {.name = "--confirm-days",
     .value = "N",
     .help = "bars after a break that confirm a trend change (default 2)",
     .manual = "Bars after a break that confirm a trend change (default 2).",
     .set = [](Options& o, std::string_view v,
               std::string& error) { return setPeriod(o.confirmDays, 0, "--confirm-days", v, error); }},
    {.name = "--index",
     .help = "treat the security as a market index (also when the file\n"
             "name begins with '^'): no average-distance filter",
     .manual = "Treat the security as a market index (also when the file name begins with\n"
               "^): no average\\-distance filter.",
     .set = [](Options& o, std::string_view, std::string&) { return setFlag(&Options::index, o); }},
    {.name = "--oldest-first",
     .help = "print the oldest bar first",
     .manual = "Print the oldest bar first.",
     .set = [](Options& o, std::string_view, std::string&) { return setFlag(&Options::oldestFirst, o); }},
    {.name = "--segments",
     .help = "append the trend segments: a blank line, the line\n"
             "\"segmentCount,current\" and its values, a blank line, then a\n"
             "header and one line per segment still kept (at most 64),\n"
             "oldest first",
     .manual = "Append the trend segments.",
     .set = [](Options& o, std::string_view, std::string&) { return setFlag(&Options::segments, o); }},
    {.name = "--backtest",
     .manual = "Print the trades of the marks and a summary instead of the bars.",
     .set = [](Options& o, std::string_view, std::string&) { return setFlag(&Options::backtest, o); },
     .block = kDescribedBlock},
    trading(TradingOptionEntry<Options, TradingOption::kShort>(),
            "The back\\-test's trading: also trade the short side, money paid on every fill\n"
            "(default 0), basis points every fill loses against the open (default 5), the\n"
            "starting account (default 10000)."),
    trading(TradingOptionEntry<Options, TradingOption::kCommission>()),
    trading(TradingOptionEntry<Options, TradingOption::kSlippage>()),
    trading(TradingOptionEntry<Options, TradingOption::kCapital>()),
    {.name = "--help",
     .letter = 'h',
     .help = "show this text",
     .manual = "Print the full help text (every column) and exit.",
     .set = [](Options& o, std::string_view, std::string&) { return setFlag(&Options::help, o); }},
    {.name = "--version",
     .help = "print the program's name and version",
     .manual = "Print the program's name and version and exit.",
     .set = [](Options& o, std::string_view, std::string&) { return setFlag(&Options::version, o); }},
    {.name = kManualOptionsName,
     .set = [](Options& o, std::string_view, std::string&) { return setFlag(&Options::manualOptions, o); },
     .hidden = true},
};

bool fileOperand(Options& o, std::string_view text, std::string& error) {
  if (!o.file.empty()) {
    error = "only one FILE may be given";
    return false;
  }
  o.file = std::string(text);
  return true;
}

}  // namespace

const OptionTable<AnalyzeOptions>& AnalyzeOptionTable() {
  static const OptionTable<AnalyzeOptions> table{kOptions, fileOperand};
  return table;
}

bool ParseAnalyzeOptions(int argc, const char* const* argv, AnalyzeOptions& o, std::string& error) {
  if (!ParseCommandLine(AnalyzeOptionTable(), argc, argv, o, error)) return false;
  if (!o.help && !o.version && !o.manualOptions && o.file.empty()) {
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
      "\n" +
      OptionHelp(AnalyzeOptionTable(), kCliHelpColumn) +
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
      OptionHelp(AnalyzeOptionTable(), kCliHelpColumn, kTradingBlock) +
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
