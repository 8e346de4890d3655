#pragma once

// Shared by the provider reader targets: the input is one answer (its first
// byte picks the status and header block, the rest is the body), read as a
// history and as quotes; what comes out must hold whatever came in, and goes
// on through the classic bar readers.

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "providers/provider.h"
#include "providers/provider_bars.h"

namespace velmora::fuzz {

inline constexpr const char* kFuzzKey = "FUZZKEY";

inline ProviderAnswer AnswerOf(const std::uint8_t* data, std::size_t size) {
  static constexpr int kStatuses[] = {200, 200, 200, 200, 401, 403, 404, 429, 500, 302, 400, 0};
  static constexpr const char* kHeaders[] = {
      "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n",
      "HTTP/1.1 429 X\r\nRetry-After: 17\r\n\r\n",
      "HTTP/1.1 200 OK\r\ncontent-type: text/html\r\n\r\n",
      "HTTP/1.1 302 Found\r\nRetry-After: 5\r\n\r\nHTTP/1.1 200 OK\r\nRetry-After: x\r\n\r\n",
  };
  ProviderAnswer answer;
  if (size == 0) return answer;
  const std::uint8_t pick = data[0];
  answer.status = kStatuses[pick % std::size(kStatuses)];
  answer.headers = kHeaders[(pick >> 4) % std::size(kHeaders)];
  answer.transferFailed = (pick & 0xC0) == 0xC0 && answer.status == 0;
  answer.body = AsText(data + 1, size - 1);
  return answer;
}

inline void CheckOutcome(const ProviderOutcome& outcome) {
  if (outcome.reason.find(kFuzzKey) != std::string::npos) std::abort();
  if (outcome.retryAfterSeconds < -1 || outcome.retryAfterSeconds > 86400) std::abort();
}

inline bool IsPrice(double v) { return std::isfinite(v) && v > 0 && v <= kMaxPlausiblePrice; }

inline void CheckHistory(const ProviderHistory& h, const char* symbol) {
  CheckOutcome(h.outcome);
  if (h.outcome.status != ProviderStatus::kOk && (!h.bars.empty() || h.hasQuote)) std::abort();
  for (std::size_t i = 0; i < h.bars.size(); ++i) {
    const ProviderBar& b = h.bars[i];
    if (i > 0 && h.bars[i - 1].date.key() >= b.date.key()) std::abort();  // oldest first, one per date
    if (b.date.month < 1 || b.date.month > 12 || b.date.day < 1 || b.date.day > 31) std::abort();
    if (!IsPrice(b.open) || !IsPrice(b.high) || !IsPrice(b.low) || !IsPrice(b.close) ||
        !IsPrice(b.adjClose) || b.high < b.low || !IsPlausibleVolume(b.volume))
      std::abort();
  }
  static std::array<QuoteBar, 40> bars;
  const int next = StoreProviderBars(h.bars, symbol, static_cast<int>(bars.size()), bars.data());
  if (next < 1 || next > static_cast<int>(bars.size())) std::abort();
  for (int i = 0; i < next; ++i) {
    const QuoteBar& b = bars[static_cast<std::size_t>(i)];
    CheckTerminated(b.date);
    CheckVolume(b.volume);
    // What the file shows: prices of at least 0.01, a high and low that
    // hold the open and close.
    if (i > 0 && (!IsStorablePrice(b.open) || !IsStorablePrice(b.high) || !IsStorablePrice(b.low) ||
                  !IsStorablePrice(b.close) || !HighLowHold(b.open, b.high, b.low, b.close)))
      std::abort();
  }
  if (h.hasQuote) {
    QuoteBar bar = bars[0];
    if (ApplyProviderQuote(h.quote, symbol, bar)) {
      CheckTerminated(bar.date);
      CheckTerminated(bar.time);
      CheckVolume(bar.volume);
    }
  }
}

inline void CheckQuotes(const ProviderQuotes& q, const char* symbol) {
  CheckOutcome(q.outcome);
  if (q.outcome.status != ProviderStatus::kOk && !q.quotes.empty()) std::abort();
  if (q.outcome.status == ProviderStatus::kOk && q.quotes.empty()) std::abort();
  for (const ProviderQuote& quote : q.quotes) {
    if (!(quote.last > 0) || quote.time < 0) std::abort();
    QuoteBar bar;
    if (ApplyProviderQuote(quote, symbol, bar)) {
      CheckTerminated(bar.date);
      CheckTerminated(bar.time);
      CheckVolume(bar.volume);
      if (!std::isfinite(bar.changePercent)) std::abort();
    }
  }
}

// One provider's readers over one input.
inline void ReadAnswer(ProviderId id, const std::uint8_t* data, std::size_t size) {
  static const auto provider = MakeQuoteProvider(id, {"http://127.0.0.1:1", kFuzzKey, ""});
  const ProviderAnswer answer = AnswerOf(data, size);
  const char* symbol = size > 0 && (data[0] & 1) != 0 ? "^IXIC" : "MSFT";
  CheckHistory(provider->ReadHistory(answer), symbol);
  CheckQuotes(provider->ReadQuotes(answer), symbol);
}

}  // namespace velmora::fuzz
