#include "market/series_store.h"

#include <sys/stat.h>

#include <cstdio>

#include "market/data_file.h"
#include "market/series_generator.h"

namespace velmora::standin {

SeriesStore::SeriesStore(std::string dataDir, std::size_t capacity)
    : dataDir_(std::move(dataDir)), capacity_(capacity < 1 ? 1 : capacity) {}

SeriesStore::FileStamp SeriesStore::stampOf(const std::string& symbol, std::string& path) const {
  FileStamp stamp;
  if (dataDir_.empty()) return stamp;
  // Well-formed symbols hold no '/' and do not start with '.', so the name
  // stays inside the folder.
  path = dataDir_ + "/" + symbol + ".csv";
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
  stamp.exists = true;
  stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.size = static_cast<std::int64_t>(st.st_size);
  return stamp;
}

std::shared_ptr<const PriceSeries> SeriesStore::build(const std::string& symbol, int quoteDay,
                                                      const FileStamp& stamp, const std::string& path) const {
  const bool isIndex = !symbol.empty() && symbol[0] == '^';
  if (!stamp.exists) return std::make_shared<const PriceSeries>(GenerateSeries(symbol, quoteDay));
  std::vector<PriceBar> rows;
  std::string error;
  if (!ReadPriceFile(path, rows, error)) {
    // The operator's file is unusable: the symbol has no data rather than made-up data.
    std::fprintf(stderr, "quote-standin: %s\n", error.c_str());
    rows.clear();
  }
  return std::make_shared<const PriceSeries>(SeriesFromRows(rows, quoteDay, isIndex));
}

std::shared_ptr<const PriceSeries> SeriesStore::Get(const std::string& symbol, int quoteDay) {
  std::string path;
  const FileStamp stamp = stampOf(symbol, path);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(symbol);
    if (it != entries_.end() && it->second.quoteDay == quoteDay && it->second.stamp == stamp) {
      recentUse_.splice(recentUse_.begin(), recentUse_, it->second.useAt);
      return it->second.series;
    }
  }
  // Built outside the lock: other symbols are served meanwhile; two threads
  // may build the same series once, which is harmless.
  std::shared_ptr<const PriceSeries> series = build(symbol, quoteDay, stamp, path);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(symbol);
  if (it == entries_.end()) {
    recentUse_.push_front(symbol);
    it = entries_.emplace(symbol, Entry{}).first;
    it->second.useAt = recentUse_.begin();
  } else {
    recentUse_.splice(recentUse_.begin(), recentUse_, it->second.useAt);
  }
  it->second.quoteDay = quoteDay;
  it->second.stamp = stamp;
  it->second.series = series;
  while (entries_.size() > capacity_) {
    entries_.erase(recentUse_.back());
    recentUse_.pop_back();
  }
  return series;
}

}  // namespace velmora::standin
