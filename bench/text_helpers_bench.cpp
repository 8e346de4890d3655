#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "base/text_helpers.h"

namespace {

std::vector<double> prices() {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> dist(0.0, 2000.0);
  std::vector<double> v(4096);
  for (double& x : v) x = dist(rng);
  return v;
}

void BM_RoundTo2Decimals(benchmark::State& state) {
  const auto v = prices();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(velmora::RoundTo2Decimals(v[i++ & 4095]));
  }
}
BENCHMARK(BM_RoundTo2Decimals);

void BM_RoundTo2DecimalsByText(benchmark::State& state) {
  const auto v = prices();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(velmora::RoundTo2DecimalsByText(v[i++ & 4095]));
  }
}
BENCHMARK(BM_RoundTo2DecimalsByText);

void BM_ParseDate(benchmark::State& state) {
  static const char* const kTexts[] = {"6-Dec-05", "12/6/2005", "Dec 3", "20041203", "2005-12-06"};
  std::size_t i = 0;
  int y, m, d;
  for (auto _ : state) {
    velmora::ParseDate(kTexts[i++ % 5], y, m, d);
    benchmark::DoNotOptimize(y + m + d);
  }
}
BENCHMARK(BM_ParseDate);

void BM_ParseDateServiceForm(benchmark::State& state) {
  int y, m, d;
  for (auto _ : state) {
    velmora::ParseDate("6-Dec-05 00:00AM", y, m, d);
    benchmark::DoNotOptimize(y + m + d);
  }
}
BENCHMARK(BM_ParseDateServiceForm);

}  // namespace
