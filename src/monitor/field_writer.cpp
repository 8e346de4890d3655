#include "monitor/field_writer.h"

#include <charconv>
#include <cmath>

namespace velmora {

void FieldWriter::padded(int width, const char* first, const char* last) {
  const std::ptrdiff_t length = last - first;
  if (width > length) out_.append(static_cast<std::size_t>(width - length), ' ');
  out_.append(first, static_cast<std::size_t>(length));
}

FieldWriter& FieldWriter::text(int width, std::string_view value) {
  padded(width, value.data(), value.data() + value.size());
  return *this;
}

namespace {

// Below this size a value times 100 stays under 2^52, so it and the error
// of that product are both exact doubles and the error is at most a
// quarter; the rounded hundredths fit an int64.
constexpr double kFastLimit = 4.0e13;

// The value (0.004 or more) rounded to whole hundredths exactly as printf
// rounds it: the exact binary value, ties to even. value * 100 is p + e
// exactly (e is the product's rounding error, which fma gives without
// error), so comparing the fraction above floor(p) with one half needs no
// decimal conversion: (p - whole - 0.5) is exact here, and a rounded sum is
// zero only when the exact one is.
std::int64_t hundredths(double magnitude) {
  const double p = magnitude * 100.0;
  const double e = std::fma(magnitude, 100.0, -p);
  const double whole = std::floor(p);
  const double beyondHalf = (p - whole - 0.5) + e;
  auto n = static_cast<std::int64_t>(whole);
  if (beyondHalf > 0 || (beyondHalf == 0 && (n & 1) != 0)) ++n;
  return n;
}

}  // namespace

// Prices, percentages and ratios go the short way; anything else (huge,
// infinite, not a number) through to_chars, which with a precision also
// rounds exactly as printf does in the "C" locale.
FieldWriter& FieldWriter::fixed2(int width, double value) {
  char buffer[400];  // the widest double in fixed notation is 309 digits and the decimals
  const double magnitude = std::fabs(value);
  if (magnitude < kFastLimit) {
    const std::int64_t n = magnitude < 0.004 ? 0 : hundredths(magnitude);
    char* end = buffer + sizeof buffer;
    char* at = end;
    const auto cents = static_cast<int>(n % 100);
    *--at = static_cast<char>('0' + cents % 10);
    *--at = static_cast<char>('0' + cents / 10);
    *--at = '.';
    std::int64_t units = n / 100;
    do {
      *--at = static_cast<char>('0' + units % 10);
      units /= 10;
    } while (units != 0);
    if (std::signbit(value)) *--at = '-';
    padded(width, at, end);
    return *this;
  }
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  padded(width, buffer, result.ptr);
  return *this;
}

FieldWriter& FieldWriter::integer(int width, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  padded(width, buffer, result.ptr);
  return *this;
}

FieldWriter& FieldWriter::character(int width, char value) {
  padded(width, &value, &value + 1);
  return *this;
}

}  // namespace velmora
