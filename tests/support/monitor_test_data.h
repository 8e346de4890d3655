#pragma once

// Securities and canvases for the monitor tests.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "draw/surface.h"
#include "monitor/security_entry.h"
#include "monitor/security_store.h"

namespace velmora::test {

constexpr QRgb kGrey = rgb(214, 214, 214);
constexpr QRgb kBlack = rgb(0, 0, 0);
constexpr QRgb kGreen = rgb(0, 144, 0);
constexpr QRgb kRed = rgb(255, 0, 0);

// A security with fresh bars; bar 0 gets a time and prices that make every
// field of a row readable.
inline std::unique_ptr<SecurityData> makeSecurity(const char* symbol) {
  auto data = std::make_unique<SecurityData>();
  EXPECT_TRUE(InitSecurityEntry(*data, symbol, 0));
  data->bars.count = 32;
  return data;
}

inline void fillStore(SecurityStore& store, const std::vector<std::string>& symbols) {
  store.Clear();
  for (const auto& s : symbols) EXPECT_TRUE(store.Append(*makeSecurity(s.c_str())));
}

// "S000", "S001", ... for a store of `n` securities.
inline std::vector<std::string> numberedSymbols(int n) {
  std::vector<std::string> out;
  char text[16];
  for (int i = 0; i < n; ++i) {
    std::snprintf(text, sizeof text, "S%03d", i);
    out.emplace_back(text);
  }
  return out;
}

inline QImage greyCanvas(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kGrey);
  return image;
}

// Whether any pixel of the rectangle differs from the background.
inline bool hasInk(const QImage& image, const Rect& r, QRgb background = kGrey) {
  for (int y = std::max(r.top, 0); y < std::min(r.bottom, image.height()); ++y)
    for (int x = std::max(r.left, 0); x < std::min(r.right, image.width()); ++x)
      if (image.pixel(x, y) != background) return true;
  return false;
}

// Colours of the pixels in the rectangle that differ from the background.
inline std::vector<QRgb> inkColours(const QImage& image, const Rect& r, QRgb background = kGrey) {
  std::vector<QRgb> out;
  for (int y = std::max(r.top, 0); y < std::min(r.bottom, image.height()); ++y)
    for (int x = std::max(r.left, 0); x < std::min(r.right, image.width()); ++x) {
      const QRgb c = image.pixel(x, y);
      if (c != background && std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
    }
  return out;
}

}  // namespace velmora::test
