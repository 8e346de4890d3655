#include "base/text_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <random>

namespace velmora {
namespace {

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

void expectSameAsText(double v) {
  ASSERT_EQ(bits(RoundTo2Decimals(v)), bits(RoundTo2DecimalsByText(v))) << "value " << v;
}

TEST(RoundTo2Decimals, KnownValues) {
  EXPECT_EQ(RoundTo2Decimals(1.005), 1.00);  // stored just below 1.005
  EXPECT_EQ(RoundTo2Decimals(2.345), 2.35);  // stored just above 2.345
  EXPECT_EQ(RoundTo2Decimals(0.125), 0.12);  // exact tie goes to even
  EXPECT_EQ(RoundTo2Decimals(0.375), 0.38);
  EXPECT_EQ(RoundTo2Decimals(-0.125), -0.12);
  EXPECT_TRUE(std::signbit(RoundTo2Decimals(-0.001)));  // "-0.00" reads as -0
}

TEST(RoundTo2Decimals, MatchesTextRouteOnEveryHalfwayNeighbourhood) {
  // Every x.xx5 from 0 to 10000 and its neighbours one and two ulps away.
  for (std::int64_t k = 5; k < 10'000'000; k += 10) {
    const double v = static_cast<double>(k) / 1000.0;
    double lo = v, hi = v;
    for (int step = 0; step < 3; ++step) {
      expectSameAsText(lo);
      expectSameAsText(hi);
      expectSameAsText(-lo);
      lo = std::nextafter(lo, 0.0);
      hi = std::nextafter(hi, 1e9);
    }
  }
}

TEST(RoundTo2Decimals, MatchesTextRouteOnRandomValues) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> prices(-5000.0, 5000.0);
  std::uniform_real_distribution<double> small(-1.0, 1.0);
  std::uniform_int_distribution<std::uint64_t> anyBits;
  for (int i = 0; i < 2'000'000; ++i) {
    expectSameAsText(prices(rng));
    expectSameAsText(small(rng));
  }
  for (int i = 0; i < 200'000; ++i) {
    double v;
    const std::uint64_t b = anyBits(rng);
    std::memcpy(&v, &b, sizeof v);
    if (!std::isnan(v)) expectSameAsText(v);  // NaN payloads print alike but differ in bits
  }
  for (double v : {0.0, -0.0, 1e13, -1e13, 9.999999999999e12, 1e300, HUGE_VAL, -HUGE_VAL, 5e-324})
    expectSameAsText(v);
}

TEST(FormatThousands, Groups) {
  EXPECT_STREQ(FormatThousands(0), "0");
  EXPECT_STREQ(FormatThousands(999), "999");
  EXPECT_STREQ(FormatThousands(1000), "1,000");
  EXPECT_STREQ(FormatThousands(1234567), "1,234,567");
  EXPECT_STREQ(FormatThousands(1000000), "1,000,000");
  EXPECT_STREQ(FormatThousands(1000001), "1,000,001");
  EXPECT_STREQ(FormatThousands(2000000000), "2,000,000,000");
  EXPECT_STREQ(FormatThousands(2147483647), "2,147,483,647");
  EXPECT_STREQ(FormatThousands(-5), "-5");
  // Index volumes pass 32 bits.
  EXPECT_STREQ(FormatThousands(5179990000LL), "5,179,990,000");
  EXPECT_STREQ(FormatThousands(1234567890123LL), "1,234,567,890,123");
  EXPECT_STREQ(FormatThousands(100000000000LL), "100,000,000,000");
}

TEST(ParseMonthName, ExactAndCaseSensitive) {
  EXPECT_EQ(ParseMonthName("Jan"), 1);
  EXPECT_EQ(ParseMonthName("May"), 5);
  EXPECT_EQ(ParseMonthName("Dec"), 12);
  EXPECT_EQ(ParseMonthName("MAY"), 0);
  EXPECT_EQ(ParseMonthName("dec"), 0);
  EXPECT_EQ(ParseMonthName("Decem"), 0);
  EXPECT_EQ(ParseMonthName(""), 0);
}

struct Ymd {
  int y, m, d;
};

Ymd parse(const char* text) {
  Ymd r{};
  ParseDate(text, r.y, r.m, r.d);
  return r;
}

Ymd today() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday};
}

#define EXPECT_YMD(text, Y, M, D) \
  do {                            \
    const Ymd r = parse(text);    \
    EXPECT_EQ(r.y, Y) << text;    \
    EXPECT_EQ(r.m, M) << text;    \
    EXPECT_EQ(r.d, D) << text;    \
  } while (0)

TEST(ParseDate, EachReading) {
  EXPECT_YMD("Dec 3", today().y, 12, 3);
  EXPECT_YMD("3-Dec-04", 2004, 12, 3);
  EXPECT_YMD("15-Jan-10", 2010, 1, 15);
  EXPECT_YMD("6-Dec-05 00:00AM", 2005, 12, 6);
  EXPECT_YMD("Dec-03-04", 2004, 12, 3);
  EXPECT_YMD("12/3/2004", 2004, 12, 3);
  EXPECT_YMD("7/4/04", 4, 7, 4);  // no year rule in the m/d/y reading
  EXPECT_YMD("20041203", 2004, 12, 3);
  EXPECT_YMD("20040903", 2004, 9, 3);
}

TEST(ParseDate, TwoDigitYearsFollowThePosixRule) {
  EXPECT_YMD("1-Jan-00", 2000, 1, 1);
  EXPECT_YMD("1-Jan-11", 2011, 1, 1);
  EXPECT_YMD("1-Jan-68", 2068, 1, 1);
  EXPECT_YMD("1-Jan-69", 1969, 1, 1);
  EXPECT_YMD("1-Jan-99", 1999, 1, 1);
  EXPECT_YMD("1-Jan-1987", 1987, 1, 1);
  EXPECT_YMD("Mar-05-87", 1987, 3, 5);
}

TEST(ParseDate, IsoDatesAreReadAsWritten) {
  EXPECT_YMD("2004-12-03", 2004, 12, 3);
  EXPECT_YMD("2019-1-7", 2019, 1, 7);
  EXPECT_YMD("2004-12-03 00:00AM", 2004, 12, 3);
}

TEST(ParseDate, UnreadableTextGivesToday) {
  const Ymd t = today();
  EXPECT_YMD("", t.y, t.m, t.d);
  EXPECT_YMD("garbage", t.y, t.m, t.d);
  EXPECT_YMD("2004-13-03", t.y, t.m, t.d);
  EXPECT_YMD(nullptr, t.y, t.m, t.d);
}

TEST(ParseDate, LongTextsNeverOverflow) {
  std::string longWord(500, 'x');
  const Ymd t = today();
  EXPECT_YMD(longWord.c_str(), t.y, t.m, t.d);
  EXPECT_YMD(("3-Dec-04" + std::string(300, ' ') + "junk").c_str(), 2004, 12, 3);
  EXPECT_YMD(("Dec" + std::string(200, '9')).c_str(), t.y, t.m, t.d);
}

TEST(ReplaceHelpers, CharAndText) {
  char text[] = "a-b-c";
  ReplaceChar(text, '-', ' ');
  EXPECT_STREQ(text, "a b c");

  char record[] = "\"X\",N/A,\"N/A\",N/A,1";
  ReplaceText(record, "N/A", "000");
  EXPECT_STREQ(record, "\"X\",000,\"000\",000,1");

  char self[] = "aXa";
  ReplaceText(self, "a", "a");  // a replacement holding `find` must not loop
  EXPECT_STREQ(self, "aXa");
}

TEST(ReplaceHelpers, CopyBoundedCutsAndTerminates) {
  char small[4];
  CopyBounded(small, sizeof small, "abcdef");
  EXPECT_STREQ(small, "abc");
  CopyBounded(small, sizeof small, nullptr);
  EXPECT_STREQ(small, "");
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Date code must not quietly assume UTC: the suite runs in another zone.
TEST(TestEnvironment, RunsOutsideUtc) {
  std::time_t t = 1700000000;
  std::tm local{};
  localtime_r(&t, &local);
  EXPECT_NE(local.tm_gmtoff, 0) << "TZ=" << (std::getenv("TZ") ? std::getenv("TZ") : "(unset)");
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

TEST(DateKeyFromParts, OrdersDaysAndSaturates) {
  EXPECT_EQ(DateKeyFromParts(2005, 12, 6), 20051206);
  EXPECT_LT(DateKeyFromParts(2005, 12, 6), DateKeyFromParts(2006, 1, 1));
  EXPECT_EQ(DateKeyFromParts(2147483, 12, 6), INT_MAX);  // a huge year read from a broken file
  EXPECT_EQ(DateKeyFromParts(-2147483, 1, 1), INT_MIN);
}

TEST(TextHelpers, TrimWhiteSpaceAndAsciiLowerCase) {
  EXPECT_EQ(TrimWhiteSpace(" \t Yes \r\n"), "Yes");
  EXPECT_EQ(TrimWhiteSpace(" \f\v "), "");
  EXPECT_EQ(TrimWhiteSpace("a b"), "a b");
  EXPECT_EQ(AsciiLowerCase("LocalHost.EXAMPLE:80 \xC3\x84"), "localhost.example:80 \xC3\x84");
}

}  // namespace
}  // namespace velmora
