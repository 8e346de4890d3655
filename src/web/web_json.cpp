#include "web/web_json.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "monitor/cell_texts.h"

namespace velmora {

namespace {

using Json = nlohmann::ordered_json;

// Compact text; bytes that are not UTF-8 (a Latin-1 symbol) become U+FFFD,
// so the text is always valid JSON.
std::string dump(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A number as JSON takes it: NaN and infinities have no JSON form (null),
// and a negative zero shows as 0.
Json number(double value) {
  if (!std::isfinite(value)) return nullptr;
  return value == 0 ? 0.0 : value;
}

// A fixed text field of a record, up to its terminator or its size.
std::string fieldText(const char* text, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity && text[n] != '\0') ++n;
  return std::string(text, n);
}

// The flag characters of the six averages as the monitor prints them: none
// shows as a blank.
Json aboveFlags(const QuoteBar& bar) {
  Json flags = Json::array();
  for (const char flag :
       {bar.aboveEma5, bar.aboveEma10, bar.aboveEma20, bar.aboveEma50, bar.aboveEma100, bar.aboveEma200})
    flags.push_back(std::string(1, flag != '\0' ? flag : ' '));
  return flags;
}

// The texts of the table's cells as the desktop's table shows them, by
// column: each the parts the page sets side by side (a blank flag is
// empty).
Json cellTexts(const SecurityData& data) {
  const MonitorRowTexts t = MakeMonitorRowTexts(data);
  Json cells{{"open", Json::array({t.open})},
             {"high", Json::array({t.high})},
             {"low", Json::array({t.low})},
             {"close", Json::array({t.close})},
             {"volume", Json::array({t.volume})},
             {"volumeAvg", Json::array({t.volumeAverage, t.volumeRatio})},
             {"change", Json::array({t.change, t.changePercent})},
             {"toEma10", Json::array({t.toEma10})}};
  static constexpr const char* kAverageKeys[4] = {"above5", "above10", "above20", "above50"};
  for (int k = 0; k < 4; ++k)
    cells[kAverageKeys[k]] =
        Json::array({t.ema[k], t.above[k] != ' ' ? std::string(1, t.above[k]) : std::string()});
  cells["rsi"] = Json::array({t.rsi});
  cells["stochK"] = Json::array({t.stochK});
  cells["stochD"] = Json::array({t.stochD});
  for (int i = 0; i < 5; ++i) cells["bs" + std::to_string(i)] = Json::array({t.marks[i]});
  return cells;
}

Json barObject(const QuoteBar& bar) {
  return Json{{"date", fieldText(bar.date, sizeof bar.date)},
              {"iso", IsoDateOf(bar)},
              {"time", fieldText(bar.time, sizeof bar.time)},
              {"open", number(bar.open)},
              {"high", number(bar.high)},
              {"low", number(bar.low)},
              {"close", number(bar.close)},
              {"volume", bar.volume},
              {"volumeAvg50", bar.volumeAvg50},
              {"change", number(bar.change)},
              {"changePercent", number(bar.changePercent)},
              {"upperBreak", number(bar.upperBreak)},
              {"lowerBreak", number(bar.lowerBreak)},
              {"breakState", bar.breakState},
              {"trend", bar.trend},
              {"trendChanged", bar.trendChanged},
              {"barsSinceChange", bar.barsSinceChange},
              {"rsi", number(bar.rsi)},
              {"rsiAvgGain", number(bar.rsiAvgGain)},
              {"rsiAvgLoss", number(bar.rsiAvgLoss)},
              {"stochRawK", number(bar.stochRawK)},
              {"stochSlowRaw", number(bar.stochSlowRaw)},
              {"stochK", number(bar.stochK)},
              {"stochD", number(bar.stochD)},
              {"ema5", number(bar.ema5)},
              {"ema10", number(bar.ema10)},
              {"ema20", number(bar.ema20)},
              {"ema50", number(bar.ema50)},
              {"ema100", number(bar.ema100)},
              {"ema200", number(bar.ema200)},
              {"toEma10", number(bar.toEma10Percent)},
              {"above", aboveFlags(bar)},
              {"signalMark", fieldText(bar.signalMark, sizeof bar.signalMark)}};
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) { out += dump(Json(std::string(text))); }

void AppendJsonNumber(std::string& out, double value) { out += dump(number(value)); }

void AppendJsonInteger(std::string& out, std::int64_t value) { out += dump(Json(value)); }

std::string LocalTimeText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string IsoDateOf(const QuoteBar& bar) {
  // A fresh bar's date is blanks: no day at all (the date reader would
  // take it for today).
  const std::string date = fieldText(bar.date, sizeof bar.date);
  if (date.find_first_not_of(' ') == std::string::npos) return {};
  const int key = bar.DateKey();
  if (key <= 0) return {};
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", key / 10000, key / 100 % 100, key % 100);
  return text;
}

std::string SecurityRowJson(int index, const SecurityData& data, std::uint64_t version) {
  const bool loaded = data.historyLoaded != 0 && data.bars.count > 0;
  Json row{{"index", index},
           {"symbol", fieldText(data.displaySymbol, sizeof data.displaySymbol)},
           {"isIndex", data.isIndex != 0},
           {"loaded", loaded},
           {"version", version}};
  if (!loaded) return dump(row);
  const QuoteBar& bar = data.bars[0];
  row["time"] = fieldText(bar.time, sizeof bar.time);
  row["date"] = fieldText(bar.date, sizeof bar.date);
  row["open"] = number(bar.open);
  row["high"] = number(bar.high);
  row["low"] = number(bar.low);
  row["close"] = number(bar.close);
  // Bar 1 as the monitor's table compares with it (a fresh bar when the
  // history holds one day).
  row["previousClose"] = number(data.bars[1].close);
  row["volume"] = bar.volume;
  row["volumeAvg50"] = bar.volumeAvg50;
  row["change"] = number(bar.change);
  row["changePercent"] = number(bar.changePercent);
  row["toEma10"] = number(bar.toEma10Percent);
  row["ema"] = Json::array({number(bar.ema5), number(bar.ema10), number(bar.ema20), number(bar.ema50),
                            number(bar.ema100), number(bar.ema200)});
  row["above"] = aboveFlags(bar);
  row["rsi"] = number(bar.rsi);
  row["stochK"] = number(bar.stochK);
  row["stochD"] = number(bar.stochD);
  Json marks = Json::array();
  for (int i = 0; i < 5; ++i)
    marks.push_back(i < data.bars.count ? fieldText(data.bars[i].signalMark, sizeof data.bars[i].signalMark)
                                        : std::string());
  row["marks"] = std::move(marks);
  row["cells"] = cellTexts(data);
  return dump(row);
}

void AppendBarJson(std::string& out, const QuoteBar& bar) { out += dump(barObject(bar)); }

std::string AlertJson(const Alert& alert) {
  return dump(Json{{"symbol", alert.symbol},
                   {"kind", AlertKindWord(alert.kind)},
                   {"event", alert.event},
                   {"barDate", alert.barDate},
                   {"price", number(alert.price)},
                   {"change", number(alert.change)},
                   {"changePercent", number(alert.changePercent)},
                   {"time", alert.time}});
}

std::string ErrorJson(std::string_view message) { return dump(Json{{"error", std::string(message)}}); }

}  // namespace velmora
