#include "providers/rate_budget.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>
#include <set>
#include <vector>

#include "base/atomic_file.h"
#include "base/log.h"
#include "core/chart_dates.h"

namespace velmora {

namespace {

// The free tiers as the providers publish them (their pricing pages):
// Tiingo allows 50 requests an hour, 1000 a day and 500 distinct symbols a
// month; Finnhub 60 API calls a minute. Yahoo's chart service is unofficial
// and publishes no limit; about 2000 requests an hour from one address is
// what it is known to take, so that and 20000 a day are kept to, with no
// limit of its own on a minute: a list of 512 loads at the network's speed.
constexpr RateLimits kTiingoFreeTier{0, 50, 1000, 500};
constexpr RateLimits kFinnhubFreeTier{60, 0, 0, 0};
constexpr RateLimits kYahooChartCautious{0, 2000, 20000, 0};

constexpr int kWindows = 3;
constexpr std::int64_t kSpans[kWindows] = {60, 3600, 86400};
constexpr const char* kSpanWords[kWindows] = {"a minute", "an hour", "a day"};

// A new state file is written at most this often while requests go out.
constexpr std::int64_t kSaveEverySeconds = 5;
// No single minute of a state file counts more than this (a hand-edited
// number must not overflow the sums), and no state file is read past this size.
constexpr std::int64_t kMostPerMinute = 1000000;
constexpr std::size_t kLargestStateFile = 4u * 1024u * 1024u;

// The state file:
//   Velmora provider requests 1
//   Tiingo 202612          a provider and the UTC month (yyyymm) of its symbols
//   m 29425680 3           requests in one minute (Unix seconds / 60)
//   s msft                 a symbol counted in that month
// Minutes are enough: a restart reads each minute's requests as sent in
// its last second, which holds them in their windows a little longer, never
// shorter.
constexpr const char* kStateHeader = "Velmora provider requests 1";

std::int64_t systemNow() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

CalendarDate utcDate(std::int64_t seconds) {
  return CivilFromDays(static_cast<int>(floorDiv(seconds, 86400)));
}

int utcMonth(std::int64_t seconds) {
  const CalendarDate d = utcDate(seconds);
  return d.year * 100 + d.month;
}

std::int64_t nextUtcMonthStart(std::int64_t seconds) {
  CalendarDate d = utcDate(seconds);
  d.day = 1;
  if (++d.month > 12) {
    d.month = 1;
    ++d.year;
  }
  return static_cast<std::int64_t>(DaysFromCivil(d)) * 86400;
}

struct Tick {
  std::int64_t second;
  std::int64_t count;
};

// One provider's requests of the last day, merged by second, with a running
// sum per window; `first` holds each window's oldest tick as an index that
// counts every tick ever dropped, so dropping ticks moves no window.
struct Ledger {
  RateLimits limits;
  std::deque<Tick> ticks;
  std::int64_t dropped = 0;
  std::array<std::int64_t, kWindows> first{};
  std::array<std::int64_t, kWindows> sum{};
  int month = 0;
  std::set<std::string, std::less<>> symbols;

  int limitOf(int w) const { return w == 0 ? limits.perMinute : (w == 1 ? limits.perHour : limits.perDay); }
  const Tick& at(std::int64_t index) const { return ticks[static_cast<std::size_t>(index - dropped)]; }
  std::int64_t end() const { return dropped + static_cast<std::int64_t>(ticks.size()); }

  void advance(std::int64_t now) {
    for (int w = 0; w < kWindows; ++w) {
      while (first[w] < end() && at(first[w]).second < now - kSpans[w]) sum[w] -= at(first[w]++).count;
    }
    while (dropped < first[kWindows - 1]) {
      ticks.pop_front();
      ++dropped;
    }
  }

  // `second` is never before the newest tick.
  void add(std::int64_t second, std::int64_t count) {
    if (!ticks.empty() && ticks.back().second == second) {
      ticks.back().count += count;
    } else {
      ticks.push_back(Tick{second, count});
    }
    for (std::int64_t& s : sum) s += count;
  }

  // Seconds until window `w` has room for one more request.
  std::int64_t waitFor(int w, std::int64_t now) const {
    const std::int64_t excess = sum[w] + 1 - limitOf(w);
    std::int64_t freed = 0;
    for (std::int64_t i = first[w]; i < end(); ++i) {
      freed += at(i).count;
      if (freed >= excess) return std::max<std::int64_t>(1, at(i).second + kSpans[w] + 1 - now);
    }
    return kSpans[w];
  }
};

bool readInt(std::string_view text, std::int64_t& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t from = 0;
  while (from < line.size()) {
    while (from < line.size() && (line[from] == ' ' || line[from] == '\t' || line[from] == '\r')) ++from;
    std::size_t to = from;
    while (to < line.size() && line[to] != ' ' && line[to] != '\t' && line[to] != '\r') ++to;
    if (to > from) out.push_back(line.substr(from, to - from));
    from = to;
  }
  return out;
}

// A symbol goes into the file only when it reads back as one word.
bool storableSymbol(std::string_view symbol) {
  if (symbol.empty() || symbol.size() > 64) return false;
  return std::all_of(symbol.begin(), symbol.end(),
                     [](char c) { return static_cast<unsigned char>(c) > 0x20 && c != 0x7f; });
}

std::string limitText(int count, const char* what, const char* span) {
  return std::to_string(count) + " " + what + " " + span;
}

}  // namespace

RateLimits DefaultRateLimits(ProviderId id) {
  switch (id) {
    case ProviderId::kYahooChart:
      return kYahooChartCautious;
    case ProviderId::kTiingo:
      return kTiingoFreeTier;
    case ProviderId::kFinnhub:
      return kFinnhubFreeTier;
    case ProviderId::kClassic:
      break;
  }
  return RateLimits{};
}

struct RateBudget::State {
  std::string path;
  mutable std::mutex mutex;
  Clock clock;
  std::int64_t lastNow = 0;  // the budget's time never goes back
  std::int64_t lastSave = 0;
  bool saveFailureLogged = false;
  std::array<Ledger, kProviderCount> ledgers;
  std::mutex saveMutex;  // one writer of the file at a time, in order

  std::int64_t nowLocked() {
    lastNow = std::max(lastNow, clock());
    return lastNow;
  }

  void load();
  void readText(std::string_view text);
  std::string format() const;
};

void RateBudget::State::load() {
  if (path.empty()) return;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    if (errno != ENOENT) LogFormat("Can not read %s: the provider request counts start empty.", path.c_str());
    return;
  }
  std::string text;
  char buffer[8192];
  std::size_t n = 0;
  bool tooLarge = false;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, n);
    if (text.size() > kLargestStateFile) {
      tooLarge = true;
      break;
    }
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || tooLarge || text.rfind(kStateHeader, 0) != 0) {
    LogFormat("%s is no provider request file: the provider request counts start empty.", path.c_str());
    return;
  }
  readText(text);
}

void RateBudget::State::readText(std::string_view text) {
  const std::int64_t now = nowLocked();
  std::array<std::vector<Tick>, kProviderCount> minutes;
  int skipped = 0;
  Ledger* current = nullptr;
  std::vector<Tick>* currentMinutes = nullptr;
  std::size_t from = text.find('\n');
  while (from != std::string_view::npos && from < text.size()) {
    const std::size_t end = text.find('\n', from + 1);
    const std::string_view line =
        text.substr(from + 1, (end == std::string_view::npos ? text.size() : end) - from - 1);
    from = end;
    const std::vector<std::string_view> w = words(line);
    if (w.empty()) continue;
    std::int64_t a = 0, b = 0;
    ProviderId id{};
    if (w.size() == 2 && ParseProviderName(w[0], id) && id != ProviderId::kClassic && readInt(w[1], a) &&
        a % 100 >= 1 && a % 100 <= 12) {
      current = &ledgers[static_cast<int>(id)];
      currentMinutes = &minutes[static_cast<int>(id)];
      current->month = static_cast<int>(a);
      current->symbols.clear();
    } else if (current != nullptr && w.size() == 3 && w[0] == "m" && readInt(w[1], a) && readInt(w[2], b) &&
               b > 0 && a > 0 && a < (std::int64_t{1} << 40)) {
      // A minute from a clock ahead of ours counts as now: it must not hold
      // a window shut for longer than its span.
      const std::int64_t second = std::min(a * 60 + 59, now);
      if (second >= now - kSpans[kWindows - 1])
        currentMinutes->push_back(Tick{second, std::min(b, kMostPerMinute)});
    } else if (current != nullptr && w.size() == 2 && w[0] == "s" && storableSymbol(w[1])) {
      current->symbols.emplace(w[1]);
    } else {
      // The lines under a provider line that does not read belong to no one.
      if (w.size() == 2 && w[0] != "m" && w[0] != "s") current = nullptr;
      ++skipped;
    }
  }
  for (int p = 0; p < kProviderCount; ++p) {
    std::vector<Tick>& list = minutes[p];
    std::sort(list.begin(), list.end(), [](const Tick& x, const Tick& y) { return x.second < y.second; });
    for (const Tick& t : list) ledgers[p].add(t.second, t.count);
    ledgers[p].advance(now);
  }
  if (skipped > 0)
    LogFormat("%s: %d line%s could not be read and %s left out.", path.c_str(), skipped,
              skipped == 1 ? "" : "s", skipped == 1 ? "was" : "were");
}

std::string RateBudget::State::format() const {
  std::string out = kStateHeader;
  out += '\n';
  for (int p = 0; p < kProviderCount; ++p) {
    const Ledger& l = ledgers[p];
    if (l.ticks.empty() && l.symbols.empty()) continue;
    out += ProviderName(static_cast<ProviderId>(p));
    out += ' ' + std::to_string(l.month) + '\n';
    std::int64_t minute = 0, count = 0;
    for (const Tick& t : l.ticks) {
      const std::int64_t m = floorDiv(t.second, 60);
      if (count > 0 && m != minute) out += "m " + std::to_string(minute) + ' ' + std::to_string(count) + '\n';
      if (m != minute) count = 0;
      minute = m;
      count += t.count;
    }
    if (count > 0) out += "m " + std::to_string(minute) + ' ' + std::to_string(count) + '\n';
    for (const std::string& s : l.symbols) {
      if (storableSymbol(s)) out += "s " + s + '\n';
    }
  }
  return out;
}

RateBudget::RateBudget(std::string statePath, Clock clock) : state_(std::make_unique<State>()) {
  state_->path = std::move(statePath);
  state_->clock = clock ? std::move(clock) : Clock(systemNow);
  for (int p = 0; p < kProviderCount; ++p)
    state_->ledgers[p].limits = DefaultRateLimits(static_cast<ProviderId>(p));
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->load();
  state_->lastSave = state_->lastNow;
}

RateBudget::~RateBudget() {
  if (!state_->path.empty()) (void)Save();  // a failure was logged by Save
}

void RateBudget::setLimits(ProviderId id, const RateLimits& limits) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->ledgers[static_cast<int>(id)].limits = limits;
}

RateLimits RateBudget::limits(ProviderId id) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->ledgers[static_cast<int>(id)].limits;
}

void RateBudget::setClock(Clock clock) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->clock = clock ? std::move(clock) : Clock(systemNow);
}

BudgetGrant RateBudget::TryTake(ProviderId provider, std::string_view symbol) {
  BudgetGrant grant;
  bool saveDue = false;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const std::int64_t now = state_->nowLocked();
    Ledger& l = state_->ledgers[static_cast<int>(provider)];
    l.advance(now);
    const int month = utcMonth(now);
    if (l.month != month) {
      l.month = month;
      l.symbols.clear();
    }
    std::int64_t wait = 0;
    for (int w = 0; w < kWindows; ++w) {
      const int limit = l.limitOf(w);
      if (limit <= 0 || l.sum[w] < limit) continue;
      const std::int64_t until = l.waitFor(w, now);
      if (until > wait) {
        wait = until;
        grant.limit = limitText(limit, "requests", kSpanWords[w]);
      }
    }
    const int symbolLimit = l.limits.symbolsPerMonth;
    const bool newSymbol = symbolLimit > 0 && !symbol.empty() && l.symbols.find(symbol) == l.symbols.end();
    if (newSymbol && static_cast<int>(l.symbols.size()) >= symbolLimit) {
      const std::int64_t until = nextUtcMonthStart(now) - now;
      if (until > wait) {
        wait = until;
        grant.limit = limitText(symbolLimit, "symbols", "a month");
      }
    }
    if (wait > 0) {
      grant.waitSeconds = static_cast<int>(std::min<std::int64_t>(wait, 40 * 86400));
      return grant;
    }
    l.add(now, 1);
    if (newSymbol) l.symbols.emplace(symbol);
    grant.taken = true;
    if (!state_->path.empty() && now - state_->lastSave >= kSaveEverySeconds) {
      state_->lastSave = now;
      saveDue = true;
    }
  }
  if (saveDue) (void)Save();  // a failure was logged by Save
  return grant;
}

int RateBudget::Count(ProviderId provider, int spanSeconds) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  const std::int64_t now = std::max(state_->lastNow, state_->clock());
  std::int64_t count = 0;
  for (const Tick& t : state_->ledgers[static_cast<int>(provider)].ticks) {
    if (t.second >= now - spanSeconds) count += t.count;
  }
  return static_cast<int>(count);
}

bool RateBudget::Save() {
  if (state_->path.empty()) return true;
  std::lock_guard<std::mutex> order(state_->saveMutex);
  std::string text;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    text = state_->format();
  }
  const bool ok = WriteFileAtomically(state_->path, text, false);
  bool tell = false;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    tell = !ok && !state_->saveFailureLogged;
    state_->saveFailureLogged = state_->saveFailureLogged || tell;
  }
  if (tell)
    LogFormat("Can not write %s: the provider request counts are kept in memory only.", state_->path.c_str());
  return ok;
}

}  // namespace velmora
