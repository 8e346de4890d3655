#pragma once

#include <string>
#include <string_view>

#include "backtest/backtest.h"
#include "base/option_table.h"

namespace velmora {

// A whole decimal number of at least `minimum`.
[[nodiscard]] bool ReadWholeNumber(std::string_view text, int minimum, int& value);

// The trading options of the two back-testing programs: --short,
// --commission MONEY, --slippage-bp BP, --capital MONEY.
enum class TradingOption { kShort, kCommission, kSlippage, kCapital };

// Reads the value of an amount option into `options`; false with a
// one-line reason in `error`.
[[nodiscard]] bool ReadTradingAmount(TradingOption which, std::string_view value, BacktestOptions& options,
                                     std::string& error);

// A trading option's entry in the table of a program whose options keep
// them in `trading` and note in `tradingGiven` that one was given.
template <class Options, TradingOption kWhich>
Option<Options> TradingOptionEntry() {
  Option<Options> o;
  o.set = [](Options& options, std::string_view value, std::string& error) {
    options.tradingGiven = true;
    if (kWhich != TradingOption::kShort) return ReadTradingAmount(kWhich, value, options.trading, error);
    options.trading.allowShort = true;
    return true;
  };
  switch (kWhich) {
    case TradingOption::kShort:
      o.name = "--short";
      o.help =
          "also trade the short side: a sell opens a short position\n"
          "(closing a long one first), a buy covers it (and goes long)";
      o.manual = "Also trade the short side.";
      break;
    case TradingOption::kCommission:
      o.name = "--commission";
      o.value = "MONEY";
      o.help =
          "money paid on every fill, at the entry and at the exit\n"
          "(default 0)";
      o.manual = "Money paid on every fill (default 0).";
      break;
    case TradingOption::kSlippage:
      o.name = "--slippage-bp";
      o.value = "BP";
      o.help =
          "basis points every fill loses against the open: a purchase\n"
          "pays open * (1 + BP / 10000), a sale gets open * (1 - BP /\n"
          "10000) (default 5, at most 1000)";
      o.manual = "Basis points every fill loses against the open (default 5, at most 1000).";
      break;
    case TradingOption::kCapital:
      o.name = "--capital";
      o.value = "MONEY";
      o.help =
          "the account each security starts with; every trade puts\n"
          "the whole account in (default 10000)";
      o.manual = "The account each security starts with (default 10000).";
      break;
  }
  return o;
}

// The column of the option descriptions in both programs' --help.
inline constexpr int kCliHelpColumn = 21;

// The command line of velmora-backtest.
struct BacktestProgramOptions {
  BacktestOptions trading;
  bool tradingGiven = false;
  std::string folder;   // empty: the securities of List.dat in the current folder
  std::string csvFile;  // --csv: every trade of every security
  int threads = 0;      // 0: one per core
  bool help = false;
  bool version = false;        // --version: print the program and its version
  bool manualOptions = false;  // print the manual page's OPTIONS section
};

[[nodiscard]] bool ParseBacktestProgramOptions(int argc, const char* const* argv,
                                               BacktestProgramOptions& options, std::string& error);

// The options of velmora-backtest: --help and the manual page are written
// from them.
const OptionTable<BacktestProgramOptions>& BacktestProgramOptionTable();

// The usage lines shown with an error, and the --help text.
const char* BacktestProgramUsageText();
const char* BacktestProgramHelpText();

}  // namespace velmora
