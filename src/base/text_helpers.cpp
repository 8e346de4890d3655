#include "base/text_helpers.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace velmora {

double RoundTo2DecimalsByText(double value) {
  char text[512];
  std::snprintf(text, sizeof text, "%.2lf", value);
  return std::strtod(text, nullptr);
}

const char* FormatThousands(std::int64_t n) {
  thread_local char text[32];
  if (n < 0) {
    // Counts are never negative; a negative value is shown plainly.
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(n));
    return text;
  }
  // Groups of three digits from the right, the leftmost without zeros.
  char digits[24];
  const int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(n));
  int out = 0;
  for (int i = 0; i < length; ++i) {
    if (i > 0 && (length - i) % 3 == 0) text[out++] = ',';
    text[out++] = digits[i];
  }
  text[out] = '\0';
  return text;
}

int ParseMonthName(const char* text) {
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int i = 0; i < 12; ++i) {
    if (std::strcmp(text, kMonths[i]) == 0) return i + 1;
  }
  return 0;
}

namespace {

// Two-digit years follow the POSIX %y rule (00-68 -> 20xx, 69-99 -> 19xx);
// years of 10 or less (negatives included) get 2000 added; four-digit years
// stay as they are.
int applyTwoDigitYearRule(int year) {
  if (year <= 68) return year + 2000;
  if (year <= 99) return year + 1900;
  return year;
}

// A working copy of the date text: at most 63 characters, so no word read
// from it can exceed the 64-byte word buffers below.
struct DateText {
  char buf[64];
  explicit DateText(const char* text) { CopyBounded(buf, sizeof buf, text); }
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// YYYY-MM-DD, optionally followed by a blank and more text (a time).
bool readIsoDate(const char* text, int& year, int& month, int& day) {
  const char* s = text;
  while (*s == ' ') ++s;
  for (int i = 0; i < 4; ++i)
    if (!isDigit(s[i])) return false;
  if (s[4] != '-') return false;
  const int y = (s[0] - '0') * 1000 + (s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0');
  const char* p = s + 5;
  int m = 0, n = 0;
  while (isDigit(*p) && n < 2) m = m * 10 + (*p++ - '0'), ++n;
  if (n == 0 || *p != '-') return false;
  ++p;
  int d = 0;
  n = 0;
  while (isDigit(*p) && n < 2) d = d * 10 + (*p++ - '0'), ++n;
  if (n == 0 || (*p != '\0' && *p != ' ' && *p != 'T')) return false;
  if (m < 1 || m > 12 || d < 1 || d > 31) return false;
  year = y;
  month = m;
  day = d;
  return true;
}

}  // namespace

void ParseDate(const char* text, int& year, int& month, int& day) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  year = local.tm_year + 1900;
  month = 0;
  day = 0;
  if (text == nullptr) text = "";

  char word[64];
  int a = 0, b = 0;

  {  // 1. "Dec 3": month word and day, current year.
    DateText t(text);
    word[0] = '\0';
    const int n = std::sscanf(t.buf, "%63s%d", word, &a);
    if (n >= 2) day = a;
    const int m = n >= 1 ? ParseMonthName(word) : 0;
    if (m >= 1 && m <= 12) {
      month = m;
      return;
    }
  }
  {  // 2. "3-Dec-04": day, month word, year.
    DateText t(text);
    ReplaceChar(t.buf, '-', ' ');
    word[0] = '\0';
    const int n = std::sscanf(t.buf, "%d%63s%d", &a, word, &b);
    if (n >= 1) day = a;
    if (n >= 3) year = b;
    const int m = n >= 2 ? ParseMonthName(word) : 0;
    if (m >= 1 && m <= 12) {
      month = m;
      year = applyTwoDigitYearRule(year);
      return;
    }
  }
  {  // 3. "Dec-03-04": month word, day, year.
    DateText t(text);
    ReplaceChar(t.buf, '-', ' ');
    word[0] = '\0';
    const int n = std::sscanf(t.buf, "%63s%d%d", word, &a, &b);
    if (n >= 2) day = a;
    if (n >= 3) year = b;
    const int m = n >= 1 ? ParseMonthName(word) : 0;
    if (m >= 1 && m <= 12) {
      month = m;
      year = applyTwoDigitYearRule(year);
      return;
    }
  }
  {  // 4. "12/3/2004": month, day, year as written (no year rule).
    DateText t(text);
    ReplaceChar(t.buf, '/', ' ');
    int m = 0, c = 0;
    const int n = std::sscanf(t.buf, "%d%d%d", &m, &a, &c);
    if (n >= 1) month = m;
    if (n >= 2) day = a;
    if (n >= 3) year = c;
    if (n >= 1 && m >= 1 && m <= 12) return;
  }
  {  // 5. "20041203".
    DateText t(text);
    const int v = std::atoi(t.buf);
    year = v / 10000;
    month = (v / 100) % 100;
    day = v % 100;
    if (month >= 1 && month <= 12) return;
  }
  // ISO "2004-12-03", before giving up on the text.
  if (readIsoDate(text, year, month, day)) return;
  // 6. Today.
  year = local.tm_year + 1900;
  month = local.tm_mon + 1;
  day = local.tm_mday;
}

int DateKeyFromParts(int year, int month, int day) {
  const long long key = static_cast<long long>(year) * 10000 + static_cast<long long>(month) * 100 + day;
  if (key > INT_MAX) return INT_MAX;
  if (key < INT_MIN) return INT_MIN;
  return static_cast<int>(key);
}

void ReplaceChar(char* text, char from, char to) {
  for (; *text != '\0'; ++text) {
    if (*text == from) *text = to;
  }
}

void ReplaceText(char* text, const char* find, const char* replacement) {
  const std::size_t len = std::strlen(find);
  if (len == 0 || std::strlen(replacement) < len) return;
  // Searching again from the start is the rule; a replacement that would
  // recreate `find` is not allowed, so then searching goes on behind it
  // instead of looping for ever.
  const bool searchOn = std::strstr(replacement, find) != nullptr;
  char* from = text;
  while (char* hit = std::strstr(from, find)) {
    std::memcpy(hit, replacement, len);
    from = searchOn ? hit + len : text;
  }
}

void CopyBounded(char* dst, std::size_t dstSize, const char* src) {
  if (dstSize == 0) return;
  std::size_t i = 0;
  if (src != nullptr) {
    for (; i + 1 < dstSize && src[i] != '\0'; ++i) dst[i] = src[i];
  }
  dst[i] = '\0';
}

std::string_view TrimWhiteSpace(std::string_view text) {
  constexpr std::string_view kWhite = " \t\r\n\f\v";
  const std::size_t first = text.find_first_not_of(kWhite);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kWhite) - first + 1);
}

std::string AsciiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

const char* DominantLineEnd(std::string_view text, const char* preferred) {
  int lf = 0;
  int crlf = 0;
  int cr = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++lf;
    } else if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') {
        ++crlf;
        ++i;
      } else {
        ++cr;
      }
    }
  }
  const int most = std::max({lf, crlf, cr});
  const std::string_view wanted(preferred);
  if ((wanted == "\n" && lf == most) || (wanted == "\r\n" && crlf == most) || (wanted == "\r" && cr == most))
    return preferred;
  if (lf == most) return "\n";
  if (crlf == most) return "\r\n";
  return "\r";
}

}  // namespace velmora
