#pragma once

#include <string>
#include <string_view>

#include "backtest/backtest.h"

namespace velmora {

// An option with a value, given as "--name VALUE" or "--name=VALUE": true
// when `arg` is that option, with `value` set, or `missing` when no value
// follows (i is moved past a separate value).
[[nodiscard]] bool TakeOptionValue(std::string_view arg, std::string_view name, int argc,
                                   const char* const* argv, int& i, std::string_view& value, bool& missing);

// A whole decimal number of at least `minimum`.
[[nodiscard]] bool ReadWholeNumber(std::string_view text, int minimum, int& value);

// How the trading options of the two back-testing programs were read.
enum class OptionRead { kNotMine, kRead, kBad };

// Reads argv[i] when it is one of the trading options: --short,
// --commission MONEY, --slippage-bp BP, --capital MONEY. kBad comes with a
// one-line reason in `error`.
OptionRead ReadTradingOption(std::string_view arg, int argc, const char* const* argv, int& i,
                             BacktestOptions& options, std::string& error);

// Their lines of the --help texts.
extern const char* const kTradingOptionsHelp;

// The command line of velmora-backtest.
struct BacktestProgramOptions {
  BacktestOptions trading;
  std::string folder;   // empty: the securities of List.dat in the current folder
  std::string csvFile;  // --csv: every trade of every security
  int threads = 0;      // 0: one per core
  bool help = false;
  bool version = false;  // --version: print the program and its version
};

[[nodiscard]] bool ParseBacktestProgramOptions(int argc, const char* const* argv,
                                               BacktestProgramOptions& options, std::string& error);

// The usage lines shown with an error, and the --help text.
const char* BacktestProgramUsageText();
const char* BacktestProgramHelpText();

}  // namespace velmora
