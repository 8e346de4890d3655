// A row of the table's answer carries its cells' texts, made as the
// desktop's table makes them, beside the figures the page sorts by.
#include "web/web_json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

#include "monitor/cell_texts.h"

namespace velmora {
namespace {

TEST(WebJson, ARowCarriesItsCellTextsAndFigures) {
  auto data = std::make_unique<SecurityData>();
  ASSERT_TRUE(InitSecurityEntry(*data, "MSFT", 0));
  data->historyLoaded = 1;
  data->bars.count = 2;
  QuoteBar& bar = data->bars[0];
  bar.open = 0.125;
  bar.close = 2.5;
  bar.volume = 123456789;
  bar.volumeAvg50 = 1000;
  bar.changePercent = 1.5;
  bar.ema20 = 3.0;
  bar.aboveEma20 = 'Y';
  bar.aboveEma5 = '\0';  // none: no text
  std::strcpy(data->bars[1].signalMark, "S");
  const auto row = nlohmann::json::parse(SecurityRowJson(4, *data, 7));
  EXPECT_EQ(row["open"], 0.125);
  EXPECT_EQ(row["volume"], 123456789);
  const auto& cells = row["cells"];
  const MonitorRowTexts t = MakeMonitorRowTexts(*data);
  EXPECT_EQ(cells["open"][0], t.open);
  EXPECT_EQ(cells["open"][0], "0.12");
  EXPECT_EQ(cells["volume"][0], "123456K");
  EXPECT_EQ(cells["volumeAvg"][0], "1000");
  EXPECT_EQ(cells["volumeAvg"][1], t.volumeRatio);
  EXPECT_EQ(cells["change"][1], "1.50%");
  EXPECT_EQ(cells["above20"][0], "3.00");
  EXPECT_EQ(cells["above20"][1], "Y");
  EXPECT_EQ(cells["above5"][1], "");
  EXPECT_EQ(cells["bs0"][0], "");
  EXPECT_EQ(cells["bs1"][0], "S");
}

TEST(WebJson, ARowNotLoadedHasNoCells) {
  auto data = std::make_unique<SecurityData>();
  ASSERT_TRUE(InitSecurityEntry(*data, "IBM", 0));
  const auto row = nlohmann::json::parse(SecurityRowJson(0, *data, 1));
  EXPECT_FALSE(row["loaded"].get<bool>());
  EXPECT_FALSE(row.contains("cells"));
}

}  // namespace
}  // namespace velmora
