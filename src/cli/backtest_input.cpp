#include "cli/backtest_input.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "monitor/security_list.h"
#include "monitor/security_store.h"
#include "quotes/local_history_reader.h"

namespace velmora {

namespace {

namespace fs = std::filesystem;

bool sameFile(const fs::path& a, const std::string& b) {
  std::error_code ec;
  return !b.empty() && fs::equivalent(a, b, ec) && !ec;
}

// Which display symbols of the List.dat in `folder` are indices; empty when
// the folder has no list.
std::map<std::string, bool> listedIndexFlags(const std::string& folder) {
  std::map<std::string, bool> flags;
  const fs::path list = fs::path(folder) / kSecurityListFileName;
  std::error_code ec;
  if (!fs::is_regular_file(list, ec)) return flags;
  auto store = std::make_unique<SecurityStore>();
  const int count = ReadSecurityList(*store, list.string(), kRealTimeYahoo);
  for (int i = 0; i < count; ++i) flags[store->entry(i).displaySymbol()] = store->entry(i).isIndex();
  return flags;
}

// Without a list: a name beginning with '^', or a name the monitor gives a
// renamed index's files (DJIA.csv for ^DJI, SP500.csv, NASDAQ.csv).
bool namesAnIndex(const std::string& symbol) {
  if (symbol[0] == '^') return true;
  for (const char* index : {"^DJI", "^GSPC", "^IXIC"}) {
    SecurityData data;
    if (InitSecurityEntry(data, index, kRealTimeYahoo) && symbol == data.displaySymbol) return true;
  }
  return false;
}

}  // namespace

int ReadAnalysedBars(const std::string& path, QuoteSeries& series, std::string& problem) {
  const int result = ReadLocalHistoryFile(path.c_str(), kHistoryCapacity, series.data());
  if (result >= 1) {
    series.count = result;
    return result;
  }
  std::FILE* probe = std::fopen(path.c_str(), "r");
  if (probe == nullptr) {
    problem = "cannot open '" + path + "': " + std::strerror(errno);
  } else {
    std::fclose(probe);
    problem = "'" + path + "' holds fewer than two dated lines";
  }
  return -1;
}

bool ListFolderInputs(const std::string& folder, const std::string& skip, std::vector<BacktestInput>& inputs,
                      std::string& problem) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) {
    problem = "cannot read the folder '" + folder + "': " + ec.message();
    return false;
  }
  std::vector<fs::path> files;
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    if (path.extension() != ".csv" || path.stem().empty() || !it->is_regular_file(ec) || sameFile(path, skip))
      continue;
    files.push_back(path);
  }
  if (ec) {
    problem = "cannot read the folder '" + folder + "': " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end());
  const std::map<std::string, bool> listed = listedIndexFlags(folder);
  for (const fs::path& path : files) {
    const std::string symbol = path.stem().string();
    const auto known = listed.find(symbol);
    inputs.push_back({symbol, path.string(), known != listed.end() ? known->second : namesAnIndex(symbol)});
  }
  return true;
}

bool ListSecurityInputs(std::vector<BacktestInput>& inputs, std::string& problem) {
  std::error_code ec;
  if (!fs::is_regular_file(kSecurityListFileName, ec)) {
    problem = std::string("no ") + kSecurityListFileName + " in the current folder";
    return false;
  }
  auto store = std::make_unique<SecurityStore>();
  const int count = ReadSecurityList(*store, kSecurityListFileName, 0);
  for (int i = 0; i < count; ++i) {
    const SecurityEntry& entry = store->entry(i);
    inputs.push_back({entry.displaySymbol(), std::string(entry.displaySymbol()) + ".csv", entry.isIndex()});
  }
  return true;
}

}  // namespace velmora
