#include "classic/chart_page.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "market/calendar.h"
#include "market/text_out.h"

namespace velmora::standin {

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 360;
constexpr int kLeft = 70;
constexpr int kRight = 20;
constexpr int kTop = 20;
constexpr int kBottom = 40;

struct Scale {
  std::int64_t lo, hi;
  double y(std::int64_t cents) const {
    const double span = hi > lo ? static_cast<double>(hi - lo) : 1.0;
    return kTop + (kHeight - kTop - kBottom) * (static_cast<double>(hi - cents) / span);
  }
};

void appendNumber(std::string& out, double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  out += text;
}

void appendCandle(std::string& out, const PriceBar& bar, double x, double width, const Scale& s) {
  const bool up = bar.close >= bar.open;
  const char* colour = up ? "#1a8f3c" : "#c62828";
  out += "<line x1=\"";
  appendNumber(out, x);
  out += "\" x2=\"";
  appendNumber(out, x);
  out += "\" y1=\"";
  appendNumber(out, s.y(bar.high));
  out += "\" y2=\"";
  appendNumber(out, s.y(bar.low));
  out += "\" stroke=\"";
  out += colour;
  out += "\"/><rect x=\"";
  appendNumber(out, x - width / 2);
  out += "\" y=\"";
  appendNumber(out, s.y(std::max(bar.open, bar.close)));
  out += "\" width=\"";
  appendNumber(out, width);
  out += "\" height=\"";
  appendNumber(out, std::max(1.0, s.y(std::min(bar.open, bar.close)) - s.y(std::max(bar.open, bar.close))));
  out += "\" fill=\"";
  out += up ? "#ffffff" : colour;
  out += "\" stroke=\"";
  out += colour;
  out += "\"/>\n";
}

void appendLabel(std::string& out, double x, double y, const char* anchor, const std::string& text) {
  out += "<text x=\"";
  appendNumber(out, x);
  out += "\" y=\"";
  appendNumber(out, y);
  out += "\" text-anchor=\"";
  out += anchor;
  out += "\" font-size=\"12\">";
  AppendHtml(out, text);
  out += "</text>\n";
}

std::string centsText(std::int64_t cents) {
  std::string s;
  AppendCents(s, cents);
  return s;
}

std::string chartSvg(const std::vector<PriceBar>& bars) {
  std::string out;
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"760\" height=\"360\" viewBox=\"0 0 760 360\">\n";
  out += "<rect width=\"760\" height=\"360\" fill=\"#fafafa\" stroke=\"#999\"/>\n";
  if (bars.empty()) {
    appendLabel(out, kWidth / 2.0, kHeight / 2.0, "middle", "No data");
    out += "</svg>\n";
    return out;
  }
  Scale s{bars.front().low, bars.front().high};
  for (const PriceBar& b : bars) {
    s.lo = std::min<std::int64_t>(s.lo, b.low);
    s.hi = std::max<std::int64_t>(s.hi, b.high);
  }
  const double step = static_cast<double>(kWidth - kLeft - kRight) / static_cast<double>(bars.size());
  const double body = std::max(1.0, step * 0.6);
  for (int i = 0; i <= 4; ++i) {
    const std::int64_t level = s.lo + (s.hi - s.lo) * i / 4;
    const double y = s.y(level);
    out += "<line x1=\"70\" x2=\"740\" y1=\"";
    appendNumber(out, y);
    out += "\" y2=\"";
    appendNumber(out, y);
    out += "\" stroke=\"#ddd\"/>\n";
    appendLabel(out, kLeft - 6, y + 4, "end", centsText(level));
  }
  for (std::size_t i = 0; i < bars.size(); ++i) {
    appendCandle(out, bars[i], kLeft + step * (static_cast<double>(i) + 0.5), body, s);
  }
  std::string first, last;
  AppendShortDate(first, bars.front().day);
  AppendShortDate(last, bars.back().day);
  appendLabel(out, kLeft, kHeight - 15, "start", first);
  appendLabel(out, kWidth - kRight, kHeight - 15, "end", last);
  out += "</svg>\n";
  return out;
}

}  // namespace

std::string ChartPage(const std::string& title, const std::string& symbol, const PriceSeries& series,
                      const QuoteSnapshot& quote) {
  std::vector<PriceBar> bars;
  if (series.hasQuote) {
    const int from = quote.day - 183;
    for (const PriceBar& b : series.daily) {
      if (b.day >= from) bars.push_back(b);
    }
    PriceBar today;
    today.day = quote.day;
    today.open = quote.open;
    today.high = quote.high;
    today.low = quote.low;
    today.close = quote.last;
    bars.push_back(today);
  }
  std::string out;
  out += "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>";
  AppendHtml(out, title);
  out +=
      " chart</"
      "title>\n<style>body{font-family:sans-serif;margin:16px}.up{color:#1a8f3c}.down{color:#c62828}</"
      "style>\n";
  out += "</head><body>\n<h1>";
  AppendHtml(out, title);
  if (title != symbol) {
    out += " (";
    AppendHtml(out, symbol);
    out += ")";
  }
  out += "</h1>\n";
  if (series.hasQuote) {
    const std::int64_t change = static_cast<std::int64_t>(quote.last) - quote.previousClose;
    out += "<p class=\"";
    out += change >= 0 ? "up" : "down";
    out += "\"><b>";
    AppendCents(out, quote.last);
    out += "</b> ";
    if (quote.previousClose > 0) {
      AppendSignedCents(out, change);
      out += " (";
      AppendSignedPercent(out, change, quote.previousClose);
      out += ") ";
    }
    AppendSlashDate(out, quote.day);
    out += ' ';
    out += QuoteTimeText(quote.sessionMinute);
    out += " &middot; volume ";
    AppendThousands(out, quote.volume);
    out += "</p>\n";
  } else {
    out += "<p>No quote.</p>\n";
  }
  out += chartSvg(bars);
  out += "<p>Daily candles of the last six months.</p>\n</body></html>\n";
  return out;
}

}  // namespace velmora::standin
