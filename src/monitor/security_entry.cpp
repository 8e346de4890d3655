#include "monitor/security_entry.h"

#include <strings.h>

#include <cctype>
#include <cstring>

#include "base/text_helpers.h"

namespace velmora {

namespace {

// Query symbols of the three big indices on the "MyTrack" service. COMPX is
// the service's composite; INDU and SPX are its usual names for the Dow
// Jones Industrial Average and the S&P 500.
constexpr const char* kMyTrackComposite = "COMPX";
constexpr const char* kMyTrackDow = "INDU";
constexpr const char* kMyTrackSp500 = "SPX";

void upperCopy(char* dst, const char* src) {
  std::size_t i = 0;
  for (; src[i] != '\0' && i < static_cast<std::size_t>(kMaxSymbolLength); ++i)
    dst[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(src[i])));
  dst[i] = '\0';
}

}  // namespace

bool InitSecurityEntry(SecurityData& data, const char* symbol, int realTimeServer) {
  if (symbol == nullptr || symbol[0] == '\0' ||
      std::strlen(symbol) > static_cast<std::size_t>(kMaxSymbolLength))
    return false;
  const bool myTrack = realTimeServer == kRealTimeMyTrack;
  CopyBounded(data.displaySymbol, sizeof data.displaySymbol, symbol);
  upperCopy(data.querySymbol, symbol);
  data.isIndex = symbol[0] == '^' ? 1 : 0;

  const auto mapIndex = [&](const char* display, const char* myTrackQuery) {
    CopyBounded(data.displaySymbol, sizeof data.displaySymbol, display);
    if (myTrack) CopyBounded(data.querySymbol, sizeof data.querySymbol, myTrackQuery);
    data.isIndex = 1;
  };
  if (std::strcmp(symbol, "NASDAQ") == 0) {
    mapIndex("NASDAQ", kMyTrackComposite);
    if (!myTrack) CopyBounded(data.querySymbol, sizeof data.querySymbol, "^IXIC");
  } else if (strcasecmp(symbol, "^IXIC") == 0) {
    mapIndex("NASDAQ", kMyTrackComposite);
  } else if (strcasecmp(symbol, "^DJI") == 0) {
    mapIndex("DJIA", kMyTrackDow);
  } else if (strcasecmp(symbol, "^GSPC") == 0) {
    mapIndex("SP500", kMyTrackSp500);
  }
  return true;
}

void SecurityEntry::Snapshot(SecurityData& out) const {
  std::lock_guard<std::mutex> hold(lock_);
  out = data_;
}

SecurityData SecurityEntry::Snapshot() const {
  std::lock_guard<std::mutex> hold(lock_);
  return data_;
}

void SecurityEntry::Snapshot(SecurityData& out, std::uint64_t& version) const {
  std::lock_guard<std::mutex> hold(lock_);
  out = data_;
  version = version_.load(std::memory_order_relaxed);
}

void SecurityEntry::Assign(const SecurityData& data) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    data_ = data;
    version_.fetch_add(1, std::memory_order_release);
  }
  std::lock_guard<std::mutex> hold(freshnessLock_);
  freshness_ = QuoteFreshness{};
}

void SecurityEntry::PublishHistory(const SecurityData& data) {
  std::lock_guard<std::mutex> hold(lock_);
  data_.historyLoaded = data.historyLoaded;
  data_.quoteExtra1 = data.quoteExtra1;
  data_.quoteExtra2 = data.quoteExtra2;
  data_.refreshBars = data.refreshBars;
  data_.bars = data.bars;
  data_.signalState = data.signalState;
  version_.fetch_add(1, std::memory_order_release);
}

void SecurityEntry::PublishQuote(const SecurityData& data) {
  std::lock_guard<std::mutex> hold(lock_);
  data_.bars = data.bars;
  data_.quoteExtra1 = data.quoteExtra1;
  data_.quoteExtra2 = data.quoteExtra2;
  version_.fetch_add(1, std::memory_order_release);
}

bool SecurityEntry::historyLoaded() const {
  std::lock_guard<std::mutex> hold(lock_);
  return data_.historyLoaded != 0;
}

void SecurityEntry::Clear() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    data_ = SecurityData{};
    version_.fetch_add(1, std::memory_order_release);
  }
  std::lock_guard<std::mutex> hold(freshnessLock_);
  freshness_ = QuoteFreshness{};
}

void SecurityEntry::RestoreFreshness(const QuoteFreshness& freshness) {
  std::lock_guard<std::mutex> hold(freshnessLock_);
  freshness_ = freshness;
}

QuoteFreshness SecurityEntry::freshness() const {
  std::lock_guard<std::mutex> hold(freshnessLock_);
  return freshness_;
}

void SecurityEntry::NoteQuoteRefreshed(std::time_t now) {
  std::lock_guard<std::mutex> hold(freshnessLock_);
  freshness_.lastRefreshed = now;
  freshness_.failingSince = 0;
  freshness_.missedPasses = 0;
  freshness_.reason.clear();
}

int SecurityEntry::NoteQuoteMissed(std::time_t now, const std::string& reason) {
  std::lock_guard<std::mutex> hold(freshnessLock_);
  if (freshness_.missedPasses == 0) freshness_.failingSince = now;
  ++freshness_.missedPasses;
  freshness_.reason = reason;
  return freshness_.missedPasses;
}

}  // namespace velmora
