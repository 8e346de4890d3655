#pragma once

#include <string>
#include <vector>

#include "backtest/backtest.h"
#include "cli/backtest_input.h"
#include "cli/backtest_options.h"

namespace velmora {

inline constexpr const char* kBacktestTableFile = "Backtest.txt";

// One security's back-test, or why it was skipped.
struct BacktestOutcome {
  BacktestInput input;
  bool tested = false;
  std::string problem;  // why it was skipped
  BacktestResult result;
};

// Back-tests every input on `threads` threads (each reads its files into
// its own bars), in input order.
std::vector<BacktestOutcome> BacktestInputs(const std::vector<BacktestInput>& inputs,
                                            const BacktestOptions& o, int threads);

// Tested securities by total return, the best first (equal returns by
// symbol); skipped ones left out.
std::vector<const BacktestOutcome*> RankedByTotalReturn(const std::vector<BacktestOutcome>& outcomes);

// velmora-backtest: the inputs of the command line back-tested, Backtest.txt
// (and the CSV) written in the current folder, skipped files listed on
// stderr. Returns the exit status (see the --help text).
int RunBacktestProgram(const BacktestProgramOptions& options);

}  // namespace velmora
