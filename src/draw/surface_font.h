#pragma once

// Fonts of the drawing surface. A FontSpec is resolved once per thread into
// the DejaVu face and pixel size whose cell fits the requested height, and
// every glyph is rendered once into horizontal pixel runs. Text is then
// drawn by copying those runs, with the same integer advances that text
// measurement adds up, so a text box is exactly as wide as its measure.
//
// On a canvas of `scale` device pixels per logical pixel the metrics (cell,
// baseline, advances) stay those of the logical font, while the glyphs are
// rendered at `scale` times its pixel size: runs and bounds are then in
// device pixels from the cell's top-left corner, and a glyph starts at
// `scale` times its logical pen position.

#include <QFont>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "draw/surface_types.h"

namespace velmora {

// One run of glyph pixels, relative to the top-left corner of the text cell.
struct GlyphRun {
  int16_t dy = 0;
  int16_t dx = 0;
  int16_t length = 0;
};

struct Glyph {
  bool ready = false;
  int advance = 0;
  Rect bounds;  // of the runs, relative to the cell's top-left corner
  std::vector<GlyphRun> runs;
  // The same pixels as one mask per row of `bounds`, top down: bit i is the
  // pixel at bounds.left + i. Empty when the glyph is wider than a mask.
  std::vector<uint64_t> rowMasks;
};

class ResolvedFont {
 public:
  explicit ResolvedFont(const FontSpec& fontSpec, int scale = 1);

  const FontSpec& fontSpec() const { return fontSpec_; }
  int scale() const { return scale_; }
  // Height that measurement reports: the requested cell, or the face's own
  // height where no size fits in it.
  int cellHeight() const { return cellHeight_; }
  // Distance from the cell's top to the baseline.
  int baseline() const { return baseline_; }
  int pixelSize() const { return pixelSize_; }

  // Text is taken byte by byte as Latin-1; no kerning, no ligatures.
  const Glyph& glyph(unsigned char c);
  int textWidth(std::string_view text);

  // The Qt font of the logical metrics; the glyphs are rendered with the
  // same font at `scale` times its pixel size.
  QFont qfont() const;

 private:
  void render(unsigned char c, Glyph& out) const;

  FontSpec fontSpec_;
  int scale_ = 1;
  int pixelSize_ = 1;
  int cellHeight_ = 1;
  int baseline_ = 1;
  std::array<Glyph, 256> glyphs_;
};

// The thread's resolved font for `fontSpec` at `scale` (created on first use,
// kept for the thread's life). The reference stays valid.
ResolvedFont& ResolveFont(const FontSpec& fontSpec, int scale = 1);

}  // namespace velmora
