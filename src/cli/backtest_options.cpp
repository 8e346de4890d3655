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

constexpr Amount kAmounts[] = {
    {"--commission", &BacktestOptions::commission, 0, 1e12, false},
    {"--slippage-bp", &BacktestOptions::slippageBp, 0, kMostSlippageBp, false},
    {"--capital", &BacktestOptions::capital, 0, 1e15, true},
};

}  // namespace

bool TakeOptionValue(std::string_view arg, std::string_view name, int argc, const char* const* argv, int& i,
                     std::string_view& value, bool& missing) {
  if (arg == name) {
    if (i + 1 >= argc) {
      missing = true;
      return true;
    }
    value = argv[++i];
    return true;
  }
  if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
    value = arg.substr(name.size() + 1);
    return true;
  }
  return false;
}

bool ReadWholeNumber(std::string_view text, int minimum, int& value) {
  int v = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), v);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || v < minimum) return false;
  value = v;
  return true;
}

OptionRead ReadTradingOption(std::string_view arg, int argc, const char* const* argv, int& i,
                             BacktestOptions& options, std::string& error) {
  if (arg == "--short") {
    options.allowShort = true;
    return OptionRead::kRead;
  }
  for (const Amount& a : kAmounts) {
    std::string_view value;
    bool missing = false;
    if (!TakeOptionValue(arg, a.name, argc, argv, i, value, missing)) continue;
    if (missing) {
      error = std::string(a.name) + " needs a value";
      return OptionRead::kBad;
    }
    double v = 0;
    if (!readAmount(value, a.minimum, a.maximum, v) || (a.positive && v <= a.minimum)) {
      error = "bad value '" + std::string(value) + "' for " + a.name;
      return OptionRead::kBad;
    }
    options.*a.member = v;
    return OptionRead::kRead;
  }
  return OptionRead::kNotMine;
}

const char* const kTradingOptionsHelp =
    "  --short            also trade the short side: a sell opens a short position\n"
    "                     (closing a long one first), a buy covers it (and goes long)\n"
    "  --commission MONEY money paid on every fill, at the entry and at the exit\n"
    "                     (default 0)\n"
    "  --slippage-bp BP   basis points every fill loses against the open: a purchase\n"
    "                     pays open * (1 + BP / 10000), a sale gets open * (1 - BP /\n"
    "                     10000) (default 5, at most 1000)\n"
    "  --capital MONEY    the account each security starts with; every trade puts\n"
    "                     the whole account in (default 10000)\n";

bool ParseBacktestProgramOptions(int argc, const char* const* argv, BacktestProgramOptions& o,
                                 std::string& error) {
  bool onlyFolders = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::string_view value;
    bool missing = false;
    if (!onlyFolders && arg == "--") {
      onlyFolders = true;
    } else if (!onlyFolders && (arg == "--help" || arg == "-h")) {
      o.help = true;
    } else if (!onlyFolders && arg == "--version") {
      o.version = true;
    } else if (!onlyFolders && TakeOptionValue(arg, "--csv", argc, argv, i, value, missing)) {
      if (missing || value.empty()) {
        error = "--csv needs a FILE";
        return false;
      }
      o.csvFile = std::string(value);
    } else if (!onlyFolders && TakeOptionValue(arg, "--threads", argc, argv, i, value, missing)) {
      if (missing || !ReadWholeNumber(value, 1, o.threads) || o.threads > kMostThreads) {
        error = "--threads needs a number from 1 to 256";
        return false;
      }
    } else if (!onlyFolders && TakeOptionValue(arg, "--confirm-days", argc, argv, i, value, missing)) {
      if (missing || !ReadWholeNumber(value, 0, o.trading.confirmDays)) {
        error = "--confirm-days needs a number of bars of 0 or more";
        return false;
      }
    } else if (!onlyFolders && arg.size() > 1 && arg[0] == '-') {
      const OptionRead read = ReadTradingOption(arg, argc, argv, i, o.trading, error);
      if (read == OptionRead::kBad) return false;
      if (read == OptionRead::kNotMine) {
        error = "unknown option '" + std::string(arg) + "'";
        return false;
      }
    } else if (o.folder.empty()) {
      o.folder = std::string(arg);
    } else {
      error = "only one FOLDER may be given";
      return false;
    }
  }
  return true;
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
      kTradingOptionsHelp +
      "  --confirm-days N   bars after a break that confirm a trend change (default 2)\n"
      "  --csv FILE         also write every trade of every security to FILE, one CSV\n"
      "                     line each: symbol, side, the dates of the mark, the entry\n"
      "                     and the exit, the prices paid and got, bars held, the\n"
      "                     return on the account in percent, 1 for an open position\n"
      "  --threads N        back-test on N threads (default: one per core)\n"
      "  --help             show this text\n"
      "  --version          print the program's name and version\n"
      "\n"
      "Exit status: 0 done (skipped files are named on stderr), 1 Backtest.txt or the\n"
      "CSV file could not be written, 2 bad command line, 3 nothing to back-test (no\n"
      "List.dat, a folder that cannot be read, or no file that gives bars).\n";
  return text.c_str();
}

}  // namespace velmora
