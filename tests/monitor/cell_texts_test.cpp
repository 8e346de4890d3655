// The texts of a monitored security's row: the desktop's table and the web
// view both show these.
#include "monitor/cell_texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace velmora {
namespace {

std::string printed(double value) {
  char text[512];
  std::snprintf(text, sizeof text, "%.2lf", value);
  return text;
}

TEST(CellTexts, VolumesAboveTheLimitShowInThousands) {
  EXPECT_EQ(VolumeText(0), "0");
  EXPECT_EQ(VolumeText(30622938), "30622938");
  EXPECT_EQ(VolumeText(kVolumeInThousandsAbove), "99999999");
  EXPECT_EQ(VolumeText(kVolumeInThousandsAbove + 1), "100000K");
  EXPECT_EQ(VolumeText(123456789012), "123456789K");
}

TEST(CellTexts, FiguresAsPrintfPrintsThem) {
  for (const double value : {0.0, -0.0, 0.125, 0.375, -2.675, 1.005, 12345.6789, -0.001, 1e15, 9.995})
    EXPECT_EQ(FixedText(value), printed(value)) << value;
}

TEST(CellTexts, ARowsTexts) {
  auto data = std::make_unique<SecurityData>();
  ASSERT_TRUE(InitSecurityEntry(*data, "MSFT", 0));
  data->bars.count = 3;
  QuoteBar& bar = data->bars[0];
  bar.open = 410.5;
  bar.high = 412.125;
  bar.low = 409.0;
  bar.close = 411.875;
  bar.volume = 250000000;
  bar.volumeAvg50 = 20000000;
  bar.change = -1.25;
  bar.changePercent = -0.3;
  bar.toEma10Percent = 1.5;
  bar.ema5 = 411.0;
  bar.aboveEma5 = 'Y';
  bar.aboveEma10 = '\0';
  bar.rsi = 55.555;
  std::strcpy(data->bars[0].signalMark, "B");
  std::strcpy(data->bars[2].signalMark, "S");
  // Beyond the history's days nothing is a mark.
  std::strcpy(data->bars[3].signalMark, "B");
  const MonitorRowTexts t = MakeMonitorRowTexts(*data);
  EXPECT_EQ(t.open, "410.50");
  EXPECT_EQ(t.high, printed(412.125));
  EXPECT_EQ(t.close, printed(411.875));
  EXPECT_EQ(t.volume, "250000K");
  EXPECT_EQ(t.volumeAverage, "20000000");
  EXPECT_EQ(t.volumeRatio, "12.50");
  EXPECT_EQ(t.change, "-1.25");
  EXPECT_EQ(t.changePercent, "-0.30%");
  EXPECT_EQ(t.toEma10, "1.50");
  EXPECT_EQ(t.ema[0], "411.00");
  EXPECT_EQ(t.above[0], 'Y');
  EXPECT_EQ(t.above[1], ' ');
  EXPECT_EQ(t.rsi, printed(55.555));
  EXPECT_EQ(t.marks[0], "B");
  EXPECT_EQ(t.marks[1], "");
  EXPECT_EQ(t.marks[2], "S");
  EXPECT_EQ(t.marks[3], "");
}

TEST(CellTexts, NoAverageVolumeNoRatio) {
  auto data = std::make_unique<SecurityData>();
  ASSERT_TRUE(InitSecurityEntry(*data, "IBM", 0));
  data->bars.count = 1;
  data->bars[0].volume = 5000;
  data->bars[0].volumeAvg50 = 0;
  EXPECT_EQ(MakeMonitorRowTexts(*data).volumeRatio, "0.00");
}

}  // namespace
}  // namespace velmora
