#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace velmora {

// Truncates toward zero; NaN reads as 0 and a value beyond the 64-bit range
// as the nearest limit (a double-to-int cast of an out-of-range value is
// undefined, so it never reaches one).
inline std::int64_t SaturateToInt64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();  // 2^63
  if (value < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

}  // namespace velmora
