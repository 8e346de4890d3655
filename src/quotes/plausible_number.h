#pragma once

#include <cmath>
#include <cstdint>

#include "quotes/saturate.h"

namespace velmora {

// The numbers a quote service may send. Anything else (infinity, NaN, a
// negative price, a price of 1e300, a volume of 1e20) is noise: the row or
// record that holds it is unreadable, whatever the rest of it says.
//
// A price (open, high, low, close, adjusted close, last, bid, ask) lies in
// 0 .. 1e9: no security trades above a billion a share, and every report
// column has room for such a price. A change is a difference of two prices,
// so it may be negative but never larger than a price.
inline constexpr double kMaxPlausiblePrice = 1e9;
// A volume counts shares: 0 .. 1e15, far beyond the busiest market's day
// (index volumes of 3 to 10 billion are real) and exact in a double, so a
// volume read as a number keeps every digit.
inline constexpr double kMaxPlausibleVolume = 1e15;

inline bool IsPlausiblePrice(double value) {
  return std::isfinite(value) && value >= 0 && value <= kMaxPlausiblePrice;
}

inline bool IsPlausibleChange(double value) {
  return std::isfinite(value) && std::fabs(value) <= kMaxPlausiblePrice;
}

inline bool IsPlausibleVolume(double value) {
  return std::isfinite(value) && value >= 0 && value <= kMaxPlausibleVolume;
}

// A plausible volume in the stored field, the fraction dropped. Every
// plausible volume fits; the cast is still guarded for any other number.
inline std::int64_t StoredVolume(double volume) { return SaturateToInt64(volume); }

}  // namespace velmora
