#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "market/price_series.h"

namespace velmora::standin {

// Hands out the series of a symbol for a quote day. Generating fifty years
// of bars takes about a millisecond, so series are kept per symbol (the most
// recently used ones only) and rebuilt when the quote day moves on or the
// symbol's data file changes. Safe to call from many threads.
class SeriesStore {
 public:
  // dataDir empty: every symbol is generated.
  explicit SeriesStore(std::string dataDir, std::size_t capacity = 64);

  // `symbol` is upper case and well formed.
  std::shared_ptr<const PriceSeries> Get(const std::string& symbol, int quoteDay);

 private:
  struct FileStamp {
    bool exists = false;
    std::int64_t mtimeNs = 0;
    std::int64_t size = 0;
    bool operator==(const FileStamp& o) const {
      return exists == o.exists && mtimeNs == o.mtimeNs && size == o.size;
    }
  };
  struct Entry {
    int quoteDay = 0;
    FileStamp stamp;
    std::shared_ptr<const PriceSeries> series;
    std::list<std::string>::iterator useAt;
  };

  FileStamp stampOf(const std::string& symbol, std::string& path) const;
  std::shared_ptr<const PriceSeries> build(const std::string& symbol, int quoteDay, const FileStamp& stamp,
                                           const std::string& path) const;

  std::string dataDir_;
  std::size_t capacity_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
  std::list<std::string> recentUse_;  // most recent first
};

}  // namespace velmora::standin
