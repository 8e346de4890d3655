#pragma once

// Hand-built chart models and pixel probes for the chart painter tests.

#include <gtest/gtest.h>

#include <QDate>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "chart/chart_model.h"
#include "core/compute_indicators.h"
#include "draw/surface.h"

namespace velmora::test {

inline constexpr QRgb kBackground = rgb(214, 214, 214);
inline constexpr QRgb kBlack = rgb(0, 0, 0);
inline constexpr QRgb kWhite = rgb(255, 255, 255);
inline constexpr QRgb kRed = rgb(255, 0, 0);
inline constexpr QRgb kGrid = rgb(196, 196, 196);
inline constexpr QRgb kMarkGreen = rgb(0, 255, 0);
inline constexpr QRgb kFillGreen = rgb(0, 144, 0);

inline QImage blankCanvas(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kBackground);
  return image;
}

// A model (the series is large: keep it off the stack) with `count` flat
// bars at 10, every panel hidden, the whole series visible.
inline std::unique_ptr<ChartViewModel> makeModel(int count, int width = 800, int height = 600) {
  auto m = std::make_unique<ChartViewModel>();
  m->clientWidth = width;
  m->clientHeight = height;
  m->settings.showVolume = m->settings.showRsi = m->settings.showStochastics = m->settings.showMacd = 0;
  m->data.bars.count = count;
  for (int i = 0; i < count; ++i) {
    QuoteBar& b = m->data.bars[i];
    b.open = b.high = b.low = b.close = 10;
    b.volume = 1000;
  }
  m->data.newestVisible = 0;
  m->data.oldestVisible = count - 1;
  m->data.visibleCount = count;
  m->data.priceMin = 10;
  m->data.priceMax = 20;
  m->data.volumeMax = 1000;
  m->data.volumeMin = 1000;
  return m;
}

inline void setPrices(QuoteBar& b, double open, double high, double low, double close) {
  b.open = open, b.high = high, b.low = low, b.close = close;
}

// Every pixel of `colour` inside the canvas, as their bounding rectangle
// (right and bottom one past the last pixel); empty when there is none.
inline Rect boundsOfColour(const QImage& image, QRgb colour, Rect within = {0, 0, 1 << 20, 1 << 20}) {
  within = within.intersected({0, 0, image.width(), image.height()});
  Rect out;
  for (int y = within.top; y < within.bottom; ++y)
    for (int x = within.left; x < within.right; ++x)
      if (image.pixel(x, y) == colour) out = out.united({x, y, x + 1, y + 1});
  return out;
}

inline int countColour(const QImage& image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
  return n;
}

// Whether `text` in `font` and `colour` appears with its cell's top-left
// corner at (x, y): every glyph pixel of a reference rendering is there.
inline ::testing::AssertionResult textAt(const QImage& image, int x, int y, const FontSpec& font,
                                         const std::string& text, QRgb colour = kBlack) {
  QImage reference = blankCanvas(image.width(), image.height());
  {
    Surface s(reference);
    s.selectFont(font);
    s.setTextColour(colour);
    s.setBackgroundMode(BackgroundMode::Transparent);
    s.textOut(x, y, text);
  }
  int glyphPixels = 0;
  for (int py = 0; py < image.height(); ++py)
    for (int px = 0; px < image.width(); ++px) {
      if (reference.pixel(px, py) != colour) continue;
      ++glyphPixels;
      if (image.pixel(px, py) != colour)
        return ::testing::AssertionFailure() << "\"" << text << "\" missing at (" << px << ", " << py << ")";
    }
  if (glyphPixels == 0)
    return ::testing::AssertionFailure() << "\"" << text << "\" has no pixels on the canvas";
  return ::testing::AssertionSuccess();
}

inline TextExtent measure(const FontSpec& font, const std::string& text) {
  QImage scratch = blankCanvas(1, 1);
  Surface s(scratch);
  s.selectFont(font);
  return s.textExtent(text);
}

// "d-Mon-yy" as the history files write dates.
inline void setDate(QuoteBar& b, int year, int month, int day) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[16];
  std::snprintf(text, sizeof text, "%d-%s-%02d", day, kMonths[(month - 1) % 12], year % 100);
  b.SetDate(text);
  b.SetTime("00:00AM");
}

// `count` trading days ending on Friday 4 Dec 2026, a wavy walk with
// volumes, computed by the engine, bars 1..count - 1 visible.
inline std::unique_ptr<ChartViewModel> engineModel(int count, int width, int height) {
  auto m = makeModel(count, width, height);
  m->settings.showVolume = m->settings.showRsi = m->settings.showStochastics = m->settings.showMacd = 1;
  QDate day(2026, 12, 4);
  double close = 50;
  for (int i = 0; i < count; ++i) {
    while (day.dayOfWeek() > 5) day = day.addDays(-1);
    QuoteBar& b = m->data.bars[i];
    setDate(b, day.year(), day.month(), day.day());
    const double open = close + std::sin(i * 0.7) * 0.8;
    setPrices(b, open, std::max(open, close) + 0.6, std::min(open, close) - 0.6, close);
    b.volume = 100000 + (i * 7919) % 50000;
    close = std::max(5.0, close + std::sin(i * 0.05) * 0.9 + std::cos(i * 0.31) * 0.5);
    day = day.addDays(-1);
  }
  computeIndicators(false, false, 14, 14, 3, 3, count - 1, 0, BarsOf(m->data.bars), m->data.signalState, 2);
  ChartData& d = m->data;
  d.newestVisible = 1;
  d.oldestVisible = count - 1;
  d.visibleCount = d.oldestVisible - d.newestVisible + 1;
  d.priceMax = 0, d.priceMin = 9999999999.99, d.volumeMax = 0, d.volumeMin = 99999999;
  for (int i = d.newestVisible; i <= d.oldestVisible; ++i) {
    d.priceMax = std::max(d.priceMax, d.bars[i].high);
    d.priceMin = std::min(d.priceMin, d.bars[i].low);
    d.volumeMax = std::max(d.volumeMax, d.bars[i].volume);
    d.volumeMin = std::min(d.volumeMin, d.bars[i].volume);
  }
  m->updateBarSpacing();
  return m;
}

}  // namespace velmora::test
