#include "cli/analyze_csv.h"

#include <charconv>
#include <cstring>

namespace velmora {

const char* const kAnalyzeCsvHeader =
    "index,date,time,open,high,low,close,volume,change,changePercent,breakState,trend,trendChanged,"
    "barsSinceChange,upperBreak,lowerBreak,rsi,rsiAvgGain,rsiAvgLoss,stochRawK,stochSlowRaw,stochK,stochD,"
    "ema5,aboveEma5,ema10,aboveEma10,ema20,aboveEma20,ema50,aboveEma50,ema100,aboveEma100,ema200,aboveEma200,"
    "toEma10Percent,volumeAvg50,signalMark";

namespace {

void number(std::string& out, double v) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, v);
  out.append(text, result.ptr);
  out += ',';
}

void number(std::string& out, long long v) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, v);
  out.append(text, result.ptr);
  out += ',';
}

// A text field, quoted only when it holds a separator or a quote.
void text(std::string& out, const char* field, std::size_t size) {
  const std::size_t n = strnlen(field, size);
  const std::string_view v(field, n);
  if (v.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(v);
  } else {
    out += '"';
    for (char c : v) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
}

void flag(std::string& out, char c) {
  out += c;
  out += ',';
}

void barLine(std::string& out, int index, const QuoteBar& b) {
  number(out, static_cast<long long>(index));
  text(out, b.date, sizeof b.date);
  out += ',';
  text(out, b.time, sizeof b.time);
  out += ',';
  for (double v : {b.open, b.high, b.low, b.close}) number(out, v);
  number(out, static_cast<long long>(b.volume));
  number(out, b.change);
  number(out, b.changePercent);
  for (int v : {b.breakState, b.trend, b.trendChanged, b.barsSinceChange})
    number(out, static_cast<long long>(v));
  for (double v : {b.upperBreak, b.lowerBreak, b.rsi, b.rsiAvgGain, b.rsiAvgLoss, b.stochRawK, b.stochSlowRaw,
                   b.stochK, b.stochD}) {
    number(out, v);
  }
  const double averages[6] = {b.ema5, b.ema10, b.ema20, b.ema50, b.ema100, b.ema200};
  const char flags[6] = {b.aboveEma5, b.aboveEma10, b.aboveEma20, b.aboveEma50, b.aboveEma100, b.aboveEma200};
  for (int k = 0; k < 6; ++k) {
    number(out, averages[k]);
    flag(out, flags[k]);
  }
  number(out, b.toEma10Percent);
  number(out, static_cast<long long>(b.volumeAvg50));
  text(out, b.signalMark, sizeof b.signalMark);
  out += '\n';
}

}  // namespace

void AppendBarsCsv(std::span<const QuoteBar> bars, bool oldestFirst, std::string& out) {
  out.reserve(out.size() + 64 + bars.size() * 480);
  out += kAnalyzeCsvHeader;
  out += '\n';
  const int n = static_cast<int>(bars.size());
  for (int k = 0; k < n; ++k) {
    const int i = oldestFirst ? n - 1 - k : k;
    barLine(out, i, bars[static_cast<std::size_t>(i)]);
  }
}

void AppendSegmentsCsv(const SignalState& state, std::string& out) {
  out += "\nsegmentCount,current\n";
  number(out, static_cast<long long>(state.segmentCount()));
  out.back() = ',';
  number(out, static_cast<long long>(state.current()));
  out.back() = '\n';
  out +=
      "\ndirection,startBar,endBar,signalCount,startPrice,range,rangePercent,highestClose,lowestClose,"
      "highestHigh,lowestLow,valid\n";
  const int begun = state.current() < 0
                        ? 0
                        : (state.segmentCount() < kSegmentRingSize ? state.segmentCount() : kSegmentRingSize);
  for (int k = begun - 1; k >= 0; --k) {
    const TrendSegment* s = state.segment(state.relative(-k));
    if (s == nullptr) continue;
    for (int v : {s->direction, s->startBar, s->endBar, s->signalCount})
      number(out, static_cast<long long>(v));
    for (double v : {s->startPrice, s->range, s->rangePercent, s->highestClose, s->lowestClose,
                     s->highestHigh, s->lowestLow}) {
      number(out, v);
    }
    number(out, static_cast<long long>(s->valid));
    out.back() = '\n';
  }
}

}  // namespace velmora
