#include "market/data_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/text_helpers.h"
#include "market/calendar.h"

namespace velmora::standin {

namespace {

constexpr std::size_t kMaxFileBytes = 256u << 20;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = line.find(',', from);
    if (comma == std::string_view::npos) {
      fields.push_back(trim(line.substr(from)));
      return fields;
    }
    fields.push_back(trim(line.substr(from, comma - from)));
    from = comma + 1;
  }
}

// Lower case without blanks or underscores: "Adj Close" -> "adjclose".
std::string columnName(std::string_view s) {
  std::string name;
  for (char c : s) {
    if (c == ' ' || c == '_') continue;
    name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return name;
}

enum Column { kDate, kOpen, kHigh, kLow, kClose, kVolume, kAdjClose, kColumns };

[[nodiscard]] bool readNumber(std::string_view field, double& value) {
  if (field.empty() || field.size() > 40) return false;
  char text[48];
  field.copy(text, field.size());
  text[field.size()] = '\0';
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return end == text + field.size() && errno == 0 && std::isfinite(value);
}

// Two decimals as "%.2lf" prints them, in cents.
[[nodiscard]] bool readCents(std::string_view field, std::int32_t& cents) {
  double v = 0;
  if (!readNumber(field, v) || v < 0 || v > 1e7) return false;
  cents = static_cast<std::int32_t>(std::llround(RoundTo2Decimals(v) * 100));
  return true;
}

[[nodiscard]] bool readRow(const std::vector<std::string_view>& fields, const int (&at)[kColumns],
                           PriceBar& bar) {
  for (int c = 0; c < kColumns; ++c) {
    if (at[c] >= static_cast<int>(fields.size())) return false;
  }
  const std::string_view date = fields[static_cast<std::size_t>(at[kDate])];
  int day = 0;
  if (!ParseIsoDate(date, day) && !ParseDayMonthYear(date, day)) return false;
  bar.day = day;
  if (!readCents(fields[static_cast<std::size_t>(at[kOpen])], bar.open) ||
      !readCents(fields[static_cast<std::size_t>(at[kHigh])], bar.high) ||
      !readCents(fields[static_cast<std::size_t>(at[kLow])], bar.low) ||
      !readCents(fields[static_cast<std::size_t>(at[kClose])], bar.close)) {
    return false;
  }
  bar.adjClose = bar.close;
  if (at[kAdjClose] >= 0 && !readCents(fields[static_cast<std::size_t>(at[kAdjClose])], bar.adjClose))
    return false;
  // Every digit of a volume up to kMaxVolume survives the read as a double.
  double volume = 0;
  if (!readNumber(fields[static_cast<std::size_t>(at[kVolume])], volume) || volume < 0 ||
      volume > static_cast<double>(kMaxVolume))
    return false;
  bar.volume = static_cast<std::int64_t>(std::floor(volume));
  return true;
}

}  // namespace

bool ParsePriceText(const std::string& text, std::vector<PriceBar>& bars, std::string& error) {
  bars.clear();
  int at[kColumns] = {-1, -1, -1, -1, -1, -1, -1};
  bool haveHeader = false;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t nl = text.find('\n', from);
    if (nl == std::string::npos) nl = text.size();
    const std::string_view line = trim(std::string_view(text).substr(from, nl - from));
    from = nl + 1;
    if (line.empty()) continue;
    const std::vector<std::string_view> fields = splitFields(line);
    if (!haveHeader) {
      static const char* const kNames[kColumns] = {"date",  "open",   "high",    "low",
                                                   "close", "volume", "adjclose"};
      for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = columnName(fields[i]);
        for (int c = 0; c < kColumns; ++c) {
          if (name == kNames[c] && at[c] < 0) at[c] = static_cast<int>(i);
        }
      }
      for (int c = 0; c < kAdjClose; ++c) {
        if (at[c] < 0) {
          error = std::string("no column '") + kNames[c] + "' in the header line";
          return false;
        }
      }
      haveHeader = true;
      continue;
    }
    PriceBar bar;
    if (readRow(fields, at, bar)) bars.push_back(bar);
  }
  if (!haveHeader) {
    error = "no header line";
    return false;
  }
  std::stable_sort(bars.begin(), bars.end(),
                   [](const PriceBar& a, const PriceBar& b) { return a.day < b.day; });
  return true;
}

bool ReadPriceFile(const std::string& path, std::vector<PriceBar>& bars, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open " + path;
    return false;
  }
  std::string text;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    text.append(buf, n);
    if (text.size() > kMaxFileBytes) {
      std::fclose(f);
      error = path + " is too large";
      return false;
    }
  }
  std::fclose(f);
  return ParsePriceText(text, bars, error);
}

PriceSeries SeriesFromRows(const std::vector<PriceBar>& rows, int quoteDay, bool isIndex) {
  PriceSeries series;
  series.isIndex = isIndex;
  const auto end = std::lower_bound(rows.begin(), rows.end(), quoteDay,
                                    [](const PriceBar& bar, int day) { return bar.day < day; });
  series.daily.assign(rows.begin(), end);
  // The quote: a row of the quote day itself, else the newest older one.
  const auto quoteEnd = std::upper_bound(rows.begin(), rows.end(), quoteDay,
                                         [](int day, const PriceBar& bar) { return day < bar.day; });
  if (quoteEnd != rows.begin()) {
    const auto quote = quoteEnd - 1;
    series.hasQuote = true;
    series.quote = *quote;
    if (quote != rows.begin()) series.previousClose = (quote - 1)->close;
  }
  FillPeriodBars(series);
  return series;
}

}  // namespace velmora::standin
