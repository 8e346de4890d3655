// The field writer of the local history files prints exactly what printf
// prints for the same formats, so the stored files keep every byte.
#include "monitor/field_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace velmora {
namespace {

std::string printed(const char* format, int width, double value) {
  char text[512];
  std::snprintf(text, sizeof text, format, width, value);
  return text;
}

std::string fixed2(int width, double value) {
  std::string out;
  FieldWriter(out).fixed2(width, value);
  return out;
}

TEST(FieldWriter, PricesAsPrintfPrintsThem) {
  const double special[] = {0.0,
                            -0.0,
                            0.005,
                            0.015,
                            0.025,
                            1.005,
                            2.675,
                            -2.675,
                            12.345,
                            1e9,
                            -1e9,
                            1e15,
                            1e300,
                            -1e300,
                            5e-324,
                            99999.995,
                            0.125,
                            0.375,
                            -0.625,
                            1.875,
                            0.0049999999999999,
                            0.004,
                            3.99999999999e13,
                            4.0e13,
                            -4.00000000001e13,
                            8.9e13,
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
  for (const double v : special)
    for (const int width : {0, 6, 9, 12}) EXPECT_EQ(fixed2(width, v), printed("%*.2lf", width, v)) << v;

  // Prices and percentages of every size, and the ties of x.xx5 around them.
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 200000; ++i) {
    const double scale = std::pow(10.0, i % 10);
    double v = unit(random) * scale;
    if (i % 3 == 0) v = std::round(v * 1000) / 1000 + (i % 2 ? 0.005 : -0.005);
    const int width = i % 13;
    ASSERT_EQ(fixed2(width, v), printed("%*.2lf", width, v)) << v;
  }
  // Exact binary ties (k / 8 ends in 0.125, 0.375, ...) round to even, and
  // values either side of them by one unit in the last place.
  for (int i = -40000; i < 40000; ++i) {
    const double tie = i / 8.0 + (i % 7) * 1024.0;
    for (const double v : {tie, std::nextafter(tie, 1e300), std::nextafter(tie, -1e300)})
      ASSERT_EQ(fixed2(0, v), printed("%*.2lf", 0, v)) << v;
  }
}

TEST(FieldWriter, TextsIntegersAndCharactersAsPrintf) {
  std::string out;
  FieldWriter f(out);
  f.text(10, "12/6/2005").text(2, "long text").integer(10, 5179990000LL).integer(3, -42).character(2, 'Y');
  f.integer(0, 0).raw("K").character(1, '\0');
  char expected[128];
  const int n = std::snprintf(expected, sizeof expected, "%*s%*s%*lld%*lld%*c%*lldK%*c", 10, "12/6/2005", 2,
                              "long text", 10, 5179990000LL, 3, -42LL, 2, 'Y', 0, 0LL, 1, '\0');
  EXPECT_EQ(out, std::string(expected, static_cast<std::size_t>(n)));
}

}  // namespace
}  // namespace velmora
