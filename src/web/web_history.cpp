#include "web/web_history.h"

#include <cctype>

#include "base/text_helpers.h"
#include "core/compute_indicators.h"
#include "monitor/local_history_writer.h"
#include "quotes/local_history_reader.h"
#include "web/web_json.h"

namespace velmora {

namespace {

// "YYYY-MM-DD" of a real day into its date key.
bool readIsoDate(const std::string& text, int& key) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  const int year = std::stoi(text.substr(0, 4));
  const int month = std::stoi(text.substr(5, 2));
  const int day = std::stoi(text.substr(8, 2));
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  const int days = month == 2 && leap ? 29 : month >= 1 && month <= 12 ? kDays[month - 1] : 0;
  if (year < 1900 || day < 1 || day > days) return false;
  key = DateKeyFromParts(year, month, day);
  return true;
}

// The key `months` before `key` (the day may not exist: keys only compare).
int monthsBefore(int key, int months) {
  int year = key / 10000;
  int month = key / 100 % 100 - months;
  while (month < 1) {
    month += 12;
    --year;
  }
  return DateKeyFromParts(year, month, key % 100);
}

}  // namespace

bool ParseHistoryRange(const std::string& range, const std::string& from, const std::string& to,
                       HistoryRange& out, std::string& error) {
  out = HistoryRange{};
  if (!range.empty()) {
    if (!from.empty() || !to.empty()) {
      error = "give either range or from/to";
      return false;
    }
    if (range == "6m") {
      out.months = 6;
    } else if (range == "1y") {
      out.months = 12;
    } else if (range == "2y") {
      out.months = 24;
    } else if (range == "5y") {
      out.months = 60;
    } else {
      error = "range must be 6m, 1y, 2y or 5y";
      return false;
    }
    return true;
  }
  if (!from.empty() && !readIsoDate(from, out.fromKey)) {
    error = "from must be a date YYYY-MM-DD";
    return false;
  }
  if (!to.empty() && !readIsoDate(to, out.toKey)) {
    error = "to must be a date YYYY-MM-DD";
    return false;
  }
  if (out.fromKey > out.toKey) {
    error = "from is after to";
    return false;
  }
  return true;
}

std::unique_ptr<QuoteSeries> LoadComputedHistory(const std::string& path, bool isIndex, int confirmDays) {
  auto series = std::make_unique<QuoteSeries>();
  const int count = ReadLocalHistoryFile(path.c_str(), QuoteSeries::kCapacity, series->data());
  if (count < 1) return nullptr;
  series->count = count;
  SignalState state;
  computeIndicators(false, isIndex, kLoaderRsiPeriod, kLoaderStochLookback, kLoaderStochSmoothing,
                    kLoaderStochSlowing, count - 1, 0, BarsOf(*series), state, confirmDays);
  return series;
}

std::string HistoryBarsJson(const QuoteSeries& series, const HistoryRange& range) {
  int fromKey = range.fromKey;
  int toKey = range.toKey;
  if (range.months > 0 && series.count > 0) {
    toKey = series[0].DateKey();
    fromKey = monthsBefore(toKey, range.months);
  }
  std::string out = "[";
  out.reserve(static_cast<std::size_t>(series.count) * 700);
  bool first = true;
  for (int i = 0; i < series.count; ++i) {
    const int key = series[i].DateKey();
    if (key < fromKey || key > toKey) continue;
    if (!first) out += ',';
    first = false;
    AppendBarJson(out, series[i]);
  }
  out += ']';
  return out;
}

}  // namespace velmora
