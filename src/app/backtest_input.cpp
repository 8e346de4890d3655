#include "app/backtest_input.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
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
  for (const fs::path& path : files) {
    const std::string symbol = path.stem().string();
    inputs.push_back({symbol, path.string(), symbol[0] == '^'});
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
