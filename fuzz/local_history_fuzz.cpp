// Local history files, newest or oldest first, read with a small capacity
// and with the full one; and single local lines.

#include <memory>
#include <string>

#include "fuzz_support.h"
#include "quotes/local_history_reader.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WorkDir();
  fuzz::WriteInput("local.csv", data, size);
  static auto series = std::make_unique<QuoteSeries>();
  const int small = size > 0 ? 2 + data[0] % 12 : 2;
  for (const int capacity : {small, kHistoryCapacity}) {
    series->ResetAll();
    const int n = ReadLocalHistoryFile("local.csv", capacity, series->data());
    if (n < -1 || n >= capacity) std::abort();
    for (int i = 0; i < capacity; ++i) {
      fuzz::CheckTerminated((*series)[i].date);
      fuzz::CheckVolume((*series)[i].volume);
    }
  }
  const std::string text = fuzz::AsText(data, size);
  QuoteBar bar;
  (void)ParseLocalHistoryLine(text.c_str(), bar);  // read or refused, the date stays terminated
  fuzz::CheckTerminated(bar.date);
  fuzz::CheckVolume(bar.volume);
  return 0;
}
