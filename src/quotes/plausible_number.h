#pragma once

#include <cmath>
#include <cstdint>

#include "base/text_helpers.h"
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

// A price as the files keep it, with two decimals: one that shows there as
// 0.00 (1e-300, 0.004) is no price either.
inline bool IsStorablePrice(double value) { return IsPlausiblePrice(value) && RoundTo2Decimals(value) > 0; }

// Whether a bar's high and low hold its open and close, compared as the
// files show them (so a scaled price a fraction of a cent past the high
// still fits). Zero stands for a price that was not given and is not
// compared.
inline bool HighLowHold(double open, double high, double low, double close) {
  const double h = RoundTo2Decimals(high), l = RoundTo2Decimals(low);
  if (h > 0 && l > 0 && h < l) return false;
  for (const double price : {open, close}) {
    const double p = RoundTo2Decimals(price);
    if (p > 0 && ((h > 0 && h < p) || (l > 0 && l > p))) return false;
  }
  return true;
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
