#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace velmora::test {

// The real S&P 500 daily history from 2000 to 2020 (vega-datasets, fetched
// by scripts/fetch-test-data.sh), oldest first.
inline std::string Sp500Path() {
  return std::string(VELMORA_SOURCE_DIR) + "/build/test-data/node_modules/vega-datasets/data/sp500-2000.csv";
}

struct Sp500Row {
  char date[16] = "";
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  double adjusted = 0;
  long long volume = 0;
};

// Its rows (date,open,high,low,close,adjclose,volume) as they stand; empty
// when the file is not there.
inline std::vector<Sp500Row> Sp500Rows() {
  std::vector<Sp500Row> rows;
  const std::string path = Sp500Path();
  if (!FileExists(path)) return rows;
  for (const std::string& line : SplitLines(ReadFile(path))) {
    Sp500Row r;
    if (std::sscanf(line.c_str(), "%15[^,],%lf,%lf,%lf,%lf,%lf,%lld", r.date, &r.open, &r.high, &r.low,
                    &r.close, &r.adjusted, &r.volume) == 7)
      rows.push_back(r);
  }
  return rows;
}

}  // namespace velmora::test
