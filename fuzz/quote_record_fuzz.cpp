// Day-watch, real-time and short volume records, parsed and applied to a bar
// the way a real-time load does.

#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "quotes/quote_records.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line = fuzz::AsText(data, size);
  DayWatchRecord day;
  ParseDayWatchRecord(line.c_str(), day);
  fuzz::CheckTerminated(day.symbol);
  fuzz::CheckTerminated(day.date);
  fuzz::CheckTerminated(day.time);
  if (day.fieldsRead < 0 || day.fieldsRead > 9) std::abort();
  fuzz::CheckVolume(day.volume);

  RealTimeRecord real;
  ParseRealTimeRecord(line.c_str(), real);
  fuzz::CheckTerminated(real.symbol);
  fuzz::CheckTerminated(real.time);
  fuzz::CheckTerminated(real.changeText);
  fuzz::CheckTerminated(real.changePercentText);

  std::int64_t volume = 0;
  char symbol[64];
  // Any outcome: the symbol stays terminated, and only a plausible volume is written.
  (void)ParseShortDayWatchVolume(line.c_str(), symbol, volume);
  fuzz::CheckTerminated(symbol);
  fuzz::CheckVolume(volume);

  QuoteBar bar;
  bar.close = 10;
  double extra1 = 0, extra2 = 0;
  ApplyDayWatchRecord(day, bar);
  ApplyRealTimeRecord(real, day, LocalDate{2004, 12, 31}, bar, &extra1, &extra2);
  ApplyHighLowRule(bar);
  fuzz::CheckTerminated(bar.date);
  fuzz::CheckTerminated(bar.time);
  fuzz::CheckVolume(bar.volume);
  return 0;
}
