#include "monitor/cell_texts.h"

#include <cstring>

#include "monitor/field_writer.h"

namespace velmora {

std::string VolumeText(std::int64_t volume) {
  std::string text;
  FieldWriter f(text);
  if (volume > kVolumeInThousandsAbove)
    f.integer(0, volume / 1000).raw("K");
  else
    f.integer(0, volume);
  return text;
}

std::string FixedText(double value) {
  std::string text;
  FieldWriter(text).fixed2(0, value);
  return text;
}

MonitorRowTexts MakeMonitorRowTexts(const SecurityData& security) {
  const QuoteBar& bar = security.bars[0];
  MonitorRowTexts t;
  t.open = FixedText(bar.open);
  t.high = FixedText(bar.high);
  t.low = FixedText(bar.low);
  t.close = FixedText(bar.close);
  const std::int64_t volume = bar.volume;
  const std::int64_t average = bar.volumeAvg50;
  t.volume = VolumeText(volume);
  t.volumeAverage = VolumeText(average);
  t.volumeRatio = FixedText(average > 0 ? static_cast<double>(volume) / static_cast<double>(average) : 0.0);
  t.change = FixedText(bar.change);
  t.changePercent = FixedText(bar.changePercent) + '%';
  t.toEma10 = FixedText(bar.toEma10Percent);
  const double averages[4] = {bar.ema5, bar.ema10, bar.ema20, bar.ema50};
  const char flags[4] = {bar.aboveEma5, bar.aboveEma10, bar.aboveEma20, bar.aboveEma50};
  for (int k = 0; k < 4; ++k) {
    t.ema[k] = FixedText(averages[k]);
    t.above[k] = flags[k] != '\0' ? flags[k] : ' ';
  }
  t.rsi = FixedText(bar.rsi);
  t.stochK = FixedText(bar.stochK);
  t.stochD = FixedText(bar.stochD);
  // A history of fewer than five days has no marks for the days before it.
  for (int i = 0; i < 5 && i < security.bars.count; ++i) {
    const QuoteBar& b = security.bars[i];
    t.marks[i].assign(b.signalMark, strnlen(b.signalMark, sizeof b.signalMark));
  }
  return t;
}

}  // namespace velmora
