#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace velmora {

// Volumes are 32-bit. Index volumes exceed 2,147,483,647, so every reader
// keeps the largest value instead of wrapping into a negative number.
inline std::int32_t SaturateToInt32(long long value) {
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// Truncates toward zero; NaN reads as 0 (a double-to-int cast of an
// out-of-range value is undefined, so it never reaches one).
inline std::int32_t SaturateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace velmora
