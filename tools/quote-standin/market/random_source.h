#pragma once

#include <cstdint>
#include <string_view>

namespace velmora::standin {

// FNV-1a over the bytes: the seed of a symbol's data.
inline std::uint64_t HashText(std::string_view text) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// The splitmix64 finaliser: spreads a seed (or a seed and a counter) over all bits.
inline std::uint64_t Mix64(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ull;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

// xoshiro256** with its own transforms: the generated prices must be the
// same on every machine and library version, so no std:: distributions and
// no transcendental functions (only +, -, *, / on doubles).
class RandomSource {
 public:
  explicit RandomSource(std::uint64_t seed) {
    for (auto& s : state_) {
      seed = Mix64(seed);
      s = seed;
    }
  }

  std::uint64_t Next() {
    const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotl(state_[3], 45);
    return result;
  }

  // [0, 1) with 53 random bits.
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Between(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // 0 .. n-1 (n > 0).
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  double Sign() { return (Next() & 1) != 0 ? 1.0 : -1.0; }

  // Mean 0, deviation 1, bounded at about +-3.5 (sum of four uniforms).
  double Normal() {
    const double sum = Uniform() + Uniform() + Uniform() + Uniform();
    return (sum - 2.0) * 1.7320508075688772;
  }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t state_[4];
};

}  // namespace velmora::standin
