#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora {

// Rounds to two decimals exactly as printing with "%.2lf" and reading the
// text back would (the decimal rounding of the exact binary value).
double RoundTo2Decimals(double value);

// The reference route: print with "%.2lf", read back with strtod.
double RoundTo2DecimalsByText(double value);

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

}  // namespace velmora
