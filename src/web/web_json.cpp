#include "web/web_json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace velmora {

namespace {

// The length of the valid UTF-8 sequence at text[i], 0 when there is none.
std::size_t utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t n = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return n;
}

void appendKey(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\":";
}

void appendNumberField(std::string& out, const char* key, double value) {
  appendKey(out, key);
  AppendJsonNumber(out, value);
  out += ',';
}

void appendIntegerField(std::string& out, const char* key, std::int64_t value) {
  appendKey(out, key);
  AppendJsonInteger(out, value);
  out += ',';
}

void appendStringField(std::string& out, const char* key, std::string_view value) {
  appendKey(out, key);
  AppendJsonString(out, value);
  out += ',';
}

// A fixed text field of a record, up to its terminator or its size.
std::string_view fieldText(const char* text, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity && text[n] != '\0') ++n;
  return std::string_view(text, n);
}

// The flag character as the monitor prints it: none shows as a blank.
std::string_view flagText(const char& flag) { return flag != '\0' ? std::string_view(&flag, 1) : " "; }

void appendAbove(std::string& out, const QuoteBar& bar) {
  appendKey(out, "above");
  out += '[';
  const char* flags[6] = {&bar.aboveEma5,  &bar.aboveEma10,  &bar.aboveEma20,
                          &bar.aboveEma50, &bar.aboveEma100, &bar.aboveEma200};
  for (int i = 0; i < 6; ++i) {
    if (i > 0) out += ',';
    AppendJsonString(out, flagText(*flags[i]));
  }
  out += "],";
}

void appendEmas(std::string& out, const QuoteBar& bar) {
  appendKey(out, "ema");
  out += '[';
  const double values[6] = {bar.ema5, bar.ema10, bar.ema20, bar.ema50, bar.ema100, bar.ema200};
  for (int i = 0; i < 6; ++i) {
    if (i > 0) out += ',';
    AppendJsonNumber(out, values[i]);
  }
  out += "],";
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t n = utf8Length(text, i);
      if (n == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
}

void AppendJsonNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (value == 0) value = 0;  // no "-0"
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

void AppendJsonInteger(std::string& out, std::int64_t value) {
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

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
  const std::string_view date = fieldText(bar.date, sizeof bar.date);
  if (date.find_first_not_of(' ') == std::string_view::npos) return {};
  const int key = bar.DateKey();
  if (key <= 0) return {};
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", key / 10000, key / 100 % 100, key % 100);
  return text;
}

std::string SecurityRowJson(int index, const SecurityData& data, std::uint64_t version) {
  std::string out;
  out.reserve(640);
  out += '{';
  appendIntegerField(out, "index", index);
  appendStringField(out, "symbol", fieldText(data.displaySymbol, sizeof data.displaySymbol));
  out += data.isIndex != 0 ? "\"isIndex\":true," : "\"isIndex\":false,";
  const bool loaded = data.historyLoaded != 0 && data.bars.count > 0;
  out += loaded ? "\"loaded\":true," : "\"loaded\":false,";
  appendKey(out, "version");
  AppendJsonInteger(out, static_cast<std::int64_t>(version));
  if (!loaded) {
    out += '}';
    return out;
  }
  out += ',';
  const QuoteBar& bar = data.bars[0];
  // Bar 1 as the monitor's table compares with it (a fresh bar when the
  // history holds one day).
  const double previousClose = data.bars[1].close;
  appendStringField(out, "time", fieldText(bar.time, sizeof bar.time));
  appendStringField(out, "date", fieldText(bar.date, sizeof bar.date));
  appendNumberField(out, "open", bar.open);
  appendNumberField(out, "high", bar.high);
  appendNumberField(out, "low", bar.low);
  appendNumberField(out, "close", bar.close);
  appendNumberField(out, "previousClose", previousClose);
  appendIntegerField(out, "volume", bar.volume);
  appendIntegerField(out, "volumeAvg50", bar.volumeAvg50);
  appendNumberField(out, "change", bar.change);
  appendNumberField(out, "changePercent", bar.changePercent);
  appendNumberField(out, "toEma10", bar.toEma10Percent);
  appendEmas(out, bar);
  appendAbove(out, bar);
  appendNumberField(out, "rsi", bar.rsi);
  appendNumberField(out, "stochK", bar.stochK);
  appendNumberField(out, "stochD", bar.stochD);
  appendKey(out, "marks");
  out += '[';
  for (int i = 0; i < 5; ++i) {
    if (i > 0) out += ',';
    const std::string_view mark = i < data.bars.count
                                      ? fieldText(data.bars[i].signalMark, sizeof data.bars[i].signalMark)
                                      : std::string_view();
    AppendJsonString(out, mark);
  }
  out += "]}";
  return out;
}

void AppendBarJson(std::string& out, const QuoteBar& bar) {
  out += '{';
  appendStringField(out, "date", fieldText(bar.date, sizeof bar.date));
  appendStringField(out, "iso", IsoDateOf(bar));
  appendStringField(out, "time", fieldText(bar.time, sizeof bar.time));
  appendNumberField(out, "open", bar.open);
  appendNumberField(out, "high", bar.high);
  appendNumberField(out, "low", bar.low);
  appendNumberField(out, "close", bar.close);
  appendIntegerField(out, "volume", bar.volume);
  appendIntegerField(out, "volumeAvg50", bar.volumeAvg50);
  appendNumberField(out, "change", bar.change);
  appendNumberField(out, "changePercent", bar.changePercent);
  appendNumberField(out, "upperBreak", bar.upperBreak);
  appendNumberField(out, "lowerBreak", bar.lowerBreak);
  appendIntegerField(out, "breakState", bar.breakState);
  appendIntegerField(out, "trend", bar.trend);
  appendIntegerField(out, "trendChanged", bar.trendChanged);
  appendIntegerField(out, "barsSinceChange", bar.barsSinceChange);
  appendNumberField(out, "rsi", bar.rsi);
  appendNumberField(out, "rsiAvgGain", bar.rsiAvgGain);
  appendNumberField(out, "rsiAvgLoss", bar.rsiAvgLoss);
  appendNumberField(out, "stochRawK", bar.stochRawK);
  appendNumberField(out, "stochSlowRaw", bar.stochSlowRaw);
  appendNumberField(out, "stochK", bar.stochK);
  appendNumberField(out, "stochD", bar.stochD);
  appendNumberField(out, "ema5", bar.ema5);
  appendNumberField(out, "ema10", bar.ema10);
  appendNumberField(out, "ema20", bar.ema20);
  appendNumberField(out, "ema50", bar.ema50);
  appendNumberField(out, "ema100", bar.ema100);
  appendNumberField(out, "ema200", bar.ema200);
  appendNumberField(out, "toEma10", bar.toEma10Percent);
  appendAbove(out, bar);
  appendKey(out, "signalMark");
  AppendJsonString(out, fieldText(bar.signalMark, sizeof bar.signalMark));
  out += '}';
}

std::string AlertJson(const Alert& alert) {
  std::string out = "{";
  appendStringField(out, "symbol", alert.symbol);
  appendStringField(out, "kind", AlertKindWord(alert.kind));
  appendStringField(out, "event", alert.event);
  appendStringField(out, "barDate", alert.barDate);
  appendNumberField(out, "price", alert.price);
  appendNumberField(out, "change", alert.change);
  appendNumberField(out, "changePercent", alert.changePercent);
  appendKey(out, "time");
  AppendJsonString(out, alert.time);
  out += '}';
  return out;
}

std::string ErrorJson(std::string_view message) {
  std::string out = "{\"error\":";
  AppendJsonString(out, message);
  out += '}';
  return out;
}

}  // namespace velmora
