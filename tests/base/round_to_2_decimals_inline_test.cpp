// The inline RoundTo2Decimals gives, bit for bit, what its earlier
// out-of-line form gave (kept here as the reference): the engine's changes
// must not move by one bit when the rounding gets faster.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "base/text_helpers.h"

namespace velmora {
namespace {

// The earlier form: the product's error computed on every call, the tie
// decided by branches, a zero result given the value's sign.
double earlierRoundTo2Decimals(double value) {
  if (!(std::fabs(value) < 1e13)) return RoundTo2DecimalsByText(value);
  const double p = value * 100.0;
  const double c = 134217729.0 * value;
  const double hi = c - (c - value);
  const double lo = value - hi;
  const double e = (hi * 100.0 - p) + lo * 100.0;
  const double f = std::floor(p);
  const double d = (p - f) - 0.5;
  double k;
  if (d > 0 || (d == 0 && e > 0)) {
    k = f + 1;
  } else if (d < 0 || e < 0) {
    k = f;
  } else {
    k = (static_cast<long long>(f) & 1) == 0 ? f : f + 1;
  }
  const double r = k / 100.0;
  return r == 0 ? std::copysign(0.0, value) : r;
}

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

void expectSame(double v) {
  ASSERT_EQ(bits(RoundTo2Decimals(v)), bits(earlierRoundTo2Decimals(v)))
      << "value " << v << " bits " << bits(v);
  ASSERT_EQ(bits(RoundTo2Decimals(-v)), bits(earlierRoundTo2Decimals(-v))) << "value " << -v;
}

TEST(RoundTo2DecimalsInline, SameBitsAsTheEarlierFormOnAwkwardValues) {
  for (double v : {0.0,
                   5e-324,
                   DBL_MIN,
                   1e-300,
                   0.004999999999999999,
                   0.005,
                   0.0050000000000000001,
                   0.015,
                   0.125,
                   0.375,
                   1.005,
                   2.345,
                   0.5,
                   1.0,
                   99.995,
                   1e13,
                   std::nextafter(1e13, 0.0),
                   9.999999999999e12,
                   1e13 + 2,
                   4503599627370495.5,
                   4503599627370496.0,
                   1e15,
                   1e300,
                   DBL_MAX,
                   HUGE_VAL,
                   std::nan(""),
                   -std::nan("")})
    expectSame(v);
}

TEST(RoundTo2DecimalsInline, SameBitsAsTheEarlierFormOnTiesAndTheirNeighbours) {
  // Every multiple of 1/8 up to a million holds exact ties (0.125, 0.375,
  // ...) and exact hundredths; halfway values in every binade up to 1e13
  // lie one or two ulps either side of a tie.
  for (std::int64_t j = 0; j < 8'000'000; ++j) expectSame(static_cast<double>(j) / 8.0);
  std::mt19937_64 rng(11);
  for (double scale = 1e-3; scale < 1e13; scale *= 2) {
    std::uniform_real_distribution<double> cents(0, scale * 100);
    for (int n = 0; n < 2000; ++n) {
      double v = (std::floor(cents(rng)) + 0.5) / 100;
      for (int step = 0; step < 3; ++step, v = std::nextafter(v, 0.0)) expectSame(v);
      v = std::nextafter(v, HUGE_VAL);
      for (int step = 0; step < 3; ++step, v = std::nextafter(v, HUGE_VAL)) expectSame(v);
    }
  }
}

TEST(RoundTo2DecimalsInline, SameBitsAsTheEarlierFormOnAnyBits) {
  std::mt19937_64 rng(5);
  for (int n = 0; n < 2'000'000; ++n) {
    const std::uint64_t b = rng();
    double v;
    std::memcpy(&v, &b, sizeof v);
    // Most raw bit patterns are huge, NaN or tiny (the text route); their
    // mantissas scaled into the range of prices and changes are not.
    if (n % 16 == 0) expectSame(v);
    int exponent;
    expectSame(std::ldexp(std::frexp(v, &exponent), static_cast<int>(b % 60) - 16));
  }
}

}  // namespace
}  // namespace velmora
