#pragma once

#include <string>

#include "backtest/backtest.h"
#include "base/option_table.h"

namespace velmora {

// The command line of velmora-analyze.
struct AnalyzeOptions {
  int rsiPeriod = 14;
  int stochLookback = 14;
  int stochSmoothing = 3;
  int stochSlowing = 3;
  int confirmDays = 2;
  bool index = false;         // --index, or a file name beginning with '^'
  bool oldestFirst = false;   // print the oldest bar first
  bool segments = false;      // append the segment ring
  bool backtest = false;      // print the back-test's trades and figures instead of the bars
  BacktestOptions trading;    // --short, --commission, --slippage-bp, --capital
  bool tradingGiven = false;  // one of those was given
  bool help = false;
  bool version = false;        // --version: print the program and its version
  bool manualOptions = false;  // print the manual page's OPTIONS section
  std::string file;
};

// False with a one-line reason in `error` when the arguments are not usable.
[[nodiscard]] bool ParseAnalyzeOptions(int argc, const char* const* argv, AnalyzeOptions& options,
                                       std::string& error);

// The options of velmora-analyze: --help and the manual page are written
// from them.
const OptionTable<AnalyzeOptions>& AnalyzeOptionTable();

// The two usage lines shown with an error.
const char* AnalyzeUsageText();

// The --help text.
const char* AnalyzeHelpText();

// Reads the file, runs the full computation (or, with --backtest, the
// back-test) and prints the CSV to stdout; messages go to stderr. Returns
// the exit status: 0, or 1 when the file gives no bars to analyse.
int RunAnalyze(const AnalyzeOptions& options);

}  // namespace velmora
