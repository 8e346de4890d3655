// Service history lines: every line of the input through ParseHistoryCsvLine
// with a small capacity taken from the first byte; nothing may be written at
// or beyond the capacity, and every stored field stays bounded.

#include <array>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "quotes/history_parser.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int capacity = 1 + data[0] % 24;
  const bool tens = (data[0] & 0x80) != 0;
  const std::string text = fuzz::AsText(data + 1, size - 1);
  static std::array<QuoteBar, 32> bars;
  for (QuoteBar& b : bars) b.Reset();
  HistoryLoadState state;
  int consumed = 0;
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(from, end - from);  // stops at an inner NUL, like the reader
    const int r = ParseHistoryCsvLine(line.c_str(), tens, capacity, bars.data(), state);
    if (r != 0 && r != 1) std::abort();
    consumed += r;
    from = end + 1;
  }
  if (state.nextSlot < 1 || state.nextSlot > capacity) std::abort();
  if (state.nextSlot - 1 > consumed) std::abort();
  for (int i = 0; i < static_cast<int>(bars.size()); ++i) {
    fuzz::CheckTerminated(bars[static_cast<std::size_t>(i)].date);
    fuzz::CheckTerminated(bars[static_cast<std::size_t>(i)].time);
    fuzz::CheckVolume(bars[static_cast<std::size_t>(i)].volume);
    if (i >= state.nextSlot && std::strcmp(bars[static_cast<std::size_t>(i)].time, "       ") != 0)
      std::abort();
  }
  return 0;
}
