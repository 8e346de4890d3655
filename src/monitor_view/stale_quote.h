#pragma once

// A monitor row whose quote has not been refreshed for kStaleQuotePasses of
// its passes (its symbol fails or hangs): its time is drawn grey, and a
// tooltip over the time says since when and why.

#include <ctime>
#include <string>

#include "draw/surface_types.h"
#include "monitor/security_entry.h"

namespace velmora {

inline constexpr QRgb kStaleTimeColour = rgb(128, 128, 128);

inline bool IsStaleQuote(const QuoteFreshness& freshness) {
  return freshness.missedPasses >= kStaleQuotePasses;
}

// "Not refreshed since 14:02:05 (3 passes): could not reach the quote
// service." The time is the last quote's (the first miss's when none ever
// came), with its date in front when that is not the day of `now`.
std::string StaleQuoteTip(const QuoteFreshness& freshness, std::time_t now);

}  // namespace velmora
