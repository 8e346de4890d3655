#include "cli/backtest_options.h"

#include <charconv>
#include <cmath>

namespace velmora {

namespace {

constexpr double kMostSlippageBp = 1000;  // 10 % of the price on every fill
constexpr int kMostThreads = 256;

// A plain decimal number ("C" conventions) from `minimum` to `maximum`.
bool readAmount(std::string_view text, double minimum, double maximum, double& value) {
  double v = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(v) ||
      v < minimum || v > maximum)
    return false;
  value = v;
  return true;
}

struct Amount {
  const char* name;
  double BacktestOptions::*member;
  double minimum;
  double maximum;
  bool positive;  // the minimum itself is refused
};

// By TradingOption, from kCommission.
constexpr Amount kAmounts[] = {
    {"--commission", &BacktestOptions::commission, 0, 1e12, false},
    {"--slippage-bp", &BacktestOptions::slippageBp, 0, kMostSlippageBp, false},
    {"--capital", &BacktestOptions::capital, 0, 1e15, true},
};

using Options = BacktestProgramOptions;

const Option<Options> kOptions[] = {
    TradingOptionEntry<Options, TradingOption::kShort>(),
    TradingOptionEntry<Options, TradingOption::kCommission>(),
    TradingOptionEntry<Options, TradingOption::kSlippage>(),
    TradingOptionEntry<Options, TradingOption::kCapital>(),
    {.name = "--confirm-days",
     .value = "N",
     .help = "bars after a break that confirm a trend change (default 2)",
     .manual = "Bars after a break that confirm a trend change (default 2).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           if (ReadWholeNumber(v, 0, o.trading.confirmDays)) return true;
           error = "--confirm-days needs a number of bars of 0 or more";
           return false;
         },
     .missing = "--confirm-days needs a number of bars of 0 or more"},
    {.name = "--csv",
     .value = "FILE",
     .help = "also write every trade of every security to FILE, one CSV\n"
             "line each: symbol, side, the dates of the mark, the entry\n"
             "and the exit, the prices paid and got, bars held, the\n"
             "return on the account in percent, 1 for an open position",
     .manual = "Also write every trade of every security to\n"
               ".IR FILE ,\n"
               "one CSV line each.",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           o.csvFile = std::string(v);
           if (!v.empty()) return true;
           error = "--csv needs a FILE";
           return false;
         },
     .missing = "--csv needs a FILE"},
    {.name = "--threads",
     .value = "N",
     .help = "back-test on N threads (default: one per core)",
     .manual = "Back\\-test on\n"
               ".I N\n"
               "threads (default: one per core).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           if (ReadWholeNumber(v, 1, o.threads) && o.threads <= kMostThreads) return true;
           error = "--threads needs a number from 1 to 256";
           return false;
         },
     .missing = "--threads needs a number from 1 to 256"},
    {.name = "--help",
     .letter = 'h',
     .help = "show this text",
     .manual = "Print the full help text and exit.",
     .set = [](Options& o, std::string_view, std::string&) { return o.help = true; }},
    {.name = "--version",
     .help = "print the program's name and version",
     .manual = "Print the program's name and version and exit.",
     .set = [](Options& o, std::string_view, std::string&) { return o.version = true; }},
    {.name = kManualOptionsName,
     .set = [](Options& o, std::string_view, std::string&) { return o.manualOptions = true; },
     .hidden = true},
};

bool folderOperand(Options& o, std::string_view text, std::string& error) {
  if (!o.folder.empty()) {
    error = "only one FOLDER may be given";
    return false;
  }
  o.folder = std::string(text);
  return true;
}

}  // namespace

bool ReadWholeNumber(std::string_view text, int minimum, int& value) {
  int v = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), v);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || v < minimum) return false;
  value = v;
  return true;
}

bool ReadTradingAmount(TradingOption which, std::string_view value, BacktestOptions& options,
                       std::string& error) {
  const Amount& a = kAmounts[static_cast<int>(which) - static_cast<int>(TradingOption::kCommission)];
  double v = 0;
  if (!readAmount(value, a.minimum, a.maximum, v) || (a.positive && v <= a.minimum)) {
    error = "bad value '" + std::string(value) + "' for " + a.name;
    return false;
  }
  options.*a.member = v;
  return true;
}

const OptionTable<BacktestProgramOptions>& BacktestProgramOptionTable() {
  static const OptionTable<BacktestProgramOptions> table{kOptions, folderOperand};
  return table;
}

bool ParseBacktestProgramOptions(int argc, const char* const* argv, BacktestProgramOptions& o,
                                 std::string& error) {
  return ParseCommandLine(BacktestProgramOptionTable(), argc, argv, o, error);
}

const char* BacktestProgramUsageText() {
  return "Usage: velmora-backtest [--short] [--commission MONEY] [--slippage-bp BP]\n"
         "                        [--capital MONEY] [--confirm-days N] [--csv FILE]\n"
         "                        [--threads N] [FOLDER]\n";
}

const char* BacktestProgramHelpText() {
  static const std::string text =
      std::string(BacktestProgramUsageText()) +
      "\n"
      "Back-tests the buy and sell marks of every local history file (NAME.csv) of\n"
      "FOLDER or, without FOLDER, of every security of List.dat in the current folder\n"
      "(its SYMBOL.csv there, named by the displayed symbol: DJIA.csv for ^DJI). Each\n"
      "file gives the bars a chart of it analyses. The program walks forward one day\n"
      "at a time: each evening's mark is the one a full computation over that day and\n"
      "the older bars gives it, nothing later known, and it acts at the next day's\n"
      "open: a buy opens a long position, a sell closes it (a mark asking for the\n"
      "position already held, and a mark on the last bar, do nothing). A position\n"
      "still held at the end is valued at the last close and counted as open. A file\n"
      "name beginning with '^' is a market index, as are List.dat's indices.\n"
      "\n"
      "Writes Backtest.txt in the current folder: a table in the style of the reports,\n"
      "one row per security, the highest total return first, then the row \"Pooled\":\n"
      "every security's account side by side (trades pooled, values added date by\n"
      "date, buy and hold their mean). Columns: the first and last date (MM/DD/YYYY),\n"
      "bars, closed trades, winning share, average win and loss, profit factor (wins\n"
      "over losses; inf without a loss), total and annual return, deepest drawdown of\n"
      "the closing account, time in the market, buy and hold from the first close\n"
      "with the same entry costs, open positions; returns and shares in percent.\n"
      "Files that cannot be read, or give fewer than 3 bars, are named on stderr and\n"
      "left out. A one-line summary goes to stdout.\n"
      "\n" +
      OptionHelp(BacktestProgramOptionTable(), kCliHelpColumn) +
      "\n"
      "Exit status: 0 done (skipped files are named on stderr), 1 Backtest.txt or the\n"
      "CSV file could not be written, 2 bad command line, 3 nothing to back-test (no\n"
      "List.dat, a folder that cannot be read, or no file that gives bars).\n";
  return text.c_str();
}

}  // namespace velmora
