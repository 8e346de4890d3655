#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The reference route: print with "%.2lf", read back with strtod.
double RoundTo2DecimalsByText(double value);

// Rounds to two decimals exactly as printing with "%.2lf" and reading the
// text back would (the decimal rounding of the exact binary value). Inline:
// the engine rounds twice per bar.
//
// Printing rounds the exact binary value to the nearest hundredth, ties to
// even; reading back gives the double nearest to k/100, which a correctly
// rounded division k / 100.0 also gives. The product p = value * 100 is
// rounded; k is the whole number nearest to it, ties to even, except when p
// lies exactly halfway and its rounding error e (recovered exactly: value *
// 100 == p + e) says on which side the exact product lies. Large or
// non-finite values take the text route.
inline double RoundTo2Decimals(double value) {
  if (!(std::fabs(value) < 1e13)) [[unlikely]]
    return RoundTo2DecimalsByText(value);
  const double p = value * 100.0;
  // Adding and taking away 1.5 * 2^52 rounds |p| < 2^51 to a whole number,
  // ties to even, without a branch (up or down is a coin toss for prices).
  constexpr double kWhole = 6755399441055744.0;
  double k = (p + kWhole) - kWhole;
  if (std::fabs(p - k) == 0.5) [[unlikely]] {  // exact for |p| < 2^52
    // The error of p by Dekker's product with Veltkamp's split (100 needs
    // no split); plain arithmetic rather than a library fma call, which is
    // slow on machines without the instruction.
    const double c = 134217729.0 * value;  // 2^27 + 1
    const double hi = c - (c - value);
    const double lo = value - hi;
    const double e = (hi * 100.0 - p) + lo * 100.0;
    if (e > 0) {
      k = p + 0.5;
    } else if (e < 0) {
      k = p - 0.5;
    }
  }
  // A nonzero k has the sign of value already; a zero takes the sign that
  // "-0.00" reads back with.
  return std::copysign(k / 100.0, value);
}

// n with commas between groups of three digits (1234567 -> "1,234,567").
// The text lives in a buffer of the calling thread, overwritten by its next call.
const char* FormatThousands(std::int64_t n);

// 1..12 for "Jan".."Dec" (exact, case-sensitive), else 0.
int ParseMonthName(const char* text);

// Reads the many date spellings of quote data; never fails (today's date
// when nothing fits).
void ParseDate(const char* text, int& year, int& month, int& day);

// year * 10000 + month * 100 + day, ordered like the days themselves.
// Absurd parts (a date text holding a huge year) saturate at the int range
// instead of overflowing.
int DateKeyFromParts(int year, int month, int day);

// Every occurrence of `from` becomes `to`.
void ReplaceChar(char* text, char from, char to);

// Every occurrence of `find` is overwritten by the first strlen(find)
// characters of `replacement` (which must be at least that long).
void ReplaceText(char* text, const char* find, const char* replacement);

// Copies at most dstSize - 1 characters and always terminates (dstSize > 0).
void CopyBounded(char* dst, std::size_t dstSize, const char* src);

// `text` without the white space around it (blanks, tabs, line ends, form feeds).
std::string_view TrimWhiteSpace(std::string_view text);

// `text` with its ASCII capitals made small (whatever the locale).
std::string AsciiLowerCase(std::string_view text);

// The line end most lines of `text` end with ("\n", "\r\n" or "\r"), so a
// file written back keeps its editor's; `preferred` on a tie with it and for
// a text without line ends, else LF before CR LF before CR.
const char* DominantLineEnd(std::string_view text, const char* preferred);

}  // namespace velmora
