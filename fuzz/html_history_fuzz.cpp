// The HTML history path: page -> ConvertHtmlTableToCsv -> ExtractHistoryTable
// -> ReadConvertedHistoryFile, as a history load runs it on the fetcher's
// temporary file.

#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "quotes/history_parser.h"
#include "quotes/html_history.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WorkDir();
  fuzz::WriteInput("page.html", data, size);
  if (!ConvertHtmlTableToCsv("page.html", "page.csv")) std::abort();
  if (!ExtractHistoryTable("page.html")) std::abort();
  static auto series = std::make_unique<QuoteSeries>();
  const int capacity = size > 0 ? 1 + data[0] % 40 : 1;
  HistoryLoadState state;
  state.volumeInTens = size > 1 && (data[1] & 1) != 0;
  const int n = ReadConvertedHistoryFile("page.html", state.volumeInTens, capacity, series->data(), state);
  if (n < 0 || state.nextSlot > capacity || state.nextSlot - 1 > n) std::abort();
  for (int i = 1; i < state.nextSlot; ++i) {
    fuzz::CheckTerminated((*series)[i].date);
    fuzz::CheckVolume((*series)[i].volume);
    if (std::strcmp((*series)[i].time, "00:00AM") != 0) std::abort();
  }
  return 0;
}
