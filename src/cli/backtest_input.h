#pragma once

#include <string>
#include <vector>

#include "core/quote_bar.h"

namespace velmora {

// Reads a local history file the way a chart of it does: every entry read
// but the last becomes a bar (index 0 newest), at most 1094. Returns the
// number of bars, or -1 with the reason in `problem` ("cannot open 'F':
// REASON", "'F' holds fewer than two dated lines").
[[nodiscard]] int ReadAnalysedBars(const std::string& path, QuoteSeries& series, std::string& problem);

// One security to back-test: its name in the table, its file and whether
// it is a market index (no average-distance filter).
struct BacktestInput {
  std::string symbol;
  std::string path;
  bool isIndex = false;
};

// Every local history file (NAME.csv) of `folder`, by name. Whether it is
// an index comes from the List.dat beside the files when it lists NAME;
// otherwise a name beginning with '^' is an index, and so are the names the
// monitor gives the renamed indices' files (DJIA, SP500, NASDAQ). `skip` (when it names a file of the
// folder, such as the program's own CSV output) is left out. False with
// the reason in `problem` when the folder cannot be read.
[[nodiscard]] bool ListFolderInputs(const std::string& folder, const std::string& skip,
                                    std::vector<BacktestInput>& inputs, std::string& problem);

// The securities of List.dat in the current folder, in its order, each
// with its local history file SYMBOL.csv there (display symbol, so DJIA.csv
// for ^DJI) and its index flag. False with the reason when there is no
// List.dat (it is not created).
[[nodiscard]] bool ListSecurityInputs(std::vector<BacktestInput>& inputs, std::string& problem);

}  // namespace velmora
