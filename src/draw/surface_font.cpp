#include "draw/surface_font.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <memory>

namespace velmora {

namespace {

constexpr QRgb kInk = 0xff000000u;
constexpr QRgb kPaper = 0xffffffffu;

QFont makeFont(const FontSpec& fontSpec, int pixelSize) {
  const bool fixed = fontSpec.pitch == FontPitch::Fixed;
  QFont font(fixed ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
  font.setStyleHint(fixed ? QFont::Monospace : QFont::SansSerif);
  font.setFixedPitch(fixed);
  font.setPixelSize(pixelSize);
  const int weight = fontSpec.weight <= 0 ? 400 : std::clamp(fontSpec.weight, 100, 900);
  font.setWeight(static_cast<QFont::Weight>(weight));
  // Plain two-colour glyphs on whole-pixel advances: exact colours that
  // painters and tests can rely on, and widths that add up.
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setKerning(false);
  return font;
}

}  // namespace

ResolvedFont::ResolvedFont(const FontSpec& fontSpec, int scale)
    : fontSpec_(fontSpec), scale_(std::max(scale, 1)) {
  // A non-positive height asks for a character height instead of a cell
  // (0 takes the usual 16).
  if (fontSpec.cellHeight < 0) {
    pixelSize_ = -fontSpec.cellHeight;
    QFontMetrics m(makeFont(fontSpec, pixelSize_));
    cellHeight_ = m.height();
    baseline_ = m.ascent();
    return;
  }
  const int cell = fontSpec.cellHeight == 0 ? 16 : fontSpec.cellHeight;
  // The largest size whose ascent + descent fits the cell; what is left over
  // goes above the glyphs, as internal leading does.
  int size = cell;
  for (; size > 1; --size)
    if (QFontMetrics(makeFont(fontSpec, size)).height() <= cell) break;
  QFontMetrics m(makeFont(fontSpec, size));
  pixelSize_ = size;
  cellHeight_ = std::max(cell, m.height());
  baseline_ = cellHeight_ - m.descent();
}

QFont ResolvedFont::qfont() const { return makeFont(fontSpec_, pixelSize_); }

const Glyph& ResolvedFont::glyph(unsigned char c) {
  Glyph& g = glyphs_[c];
  if (!g.ready) render(c, g);
  return g;
}

int ResolvedFont::textWidth(std::string_view text) {
  int width = 0;
  for (char ch : text) width += glyph(static_cast<unsigned char>(ch)).advance;
  return width;
}

void ResolvedFont::render(unsigned char c, Glyph& out) const {
  const QFont font = qfont();
  const QString text(QChar::fromLatin1(static_cast<char>(c)));
  out.ready = true;
  out.advance = QFontMetrics(font).horizontalAdvance(text);
  out.runs.clear();
  out.bounds = {};

  // Room for overhang on every side of the cell, in device pixels.
  const int pad = cellHeight_ * scale_;
  QImage image((out.advance + 2 * cellHeight_) * scale_, cellHeight_ * scale_ + 2 * pad,
               QImage::Format_RGB32);
  image.fill(kPaper);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(scale_ == 1 ? font : makeFont(fontSpec_, pixelSize_ * scale_));
    painter.setPen(QColor::fromRgb(kInk));
    painter.drawText(QPoint(pad, pad + baseline_ * scale_), text);
  }
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width();) {
      if (line[x] == kPaper) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < image.width() && line[x] != kPaper) ++x;
      const GlyphRun run{static_cast<int16_t>(y - pad), static_cast<int16_t>(start - pad),
                         static_cast<int16_t>(x - start)};
      out.runs.push_back(run);
      out.bounds = out.bounds.united({run.dx, run.dy, run.dx + run.length, run.dy + 1});
    }
  }
  if (out.runs.empty() || out.bounds.width() > 64) return;
  out.rowMasks.assign(static_cast<size_t>(out.bounds.height()), 0);
  for (const GlyphRun& run : out.runs) {
    const int shift = run.dx - out.bounds.left;
    const uint64_t bits = run.length == 64 ? ~uint64_t{0} : ((uint64_t{1} << run.length) - 1);
    out.rowMasks[static_cast<size_t>(run.dy - out.bounds.top)] |= bits << shift;
  }
}

ResolvedFont& ResolveFont(const FontSpec& fontSpec, int scale) {
  // Per thread, so painting needs no lock; fonts are few (a handful of specs
  // at one or two scales). The cache holds no Qt objects, so it may outlive
  // the application object.
  scale = std::max(scale, 1);
  thread_local std::vector<std::unique_ptr<ResolvedFont>> cache;
  for (auto& font : cache)
    if (font->fontSpec() == fontSpec && font->scale() == scale) return *font;
  cache.push_back(std::make_unique<ResolvedFont>(fontSpec, scale));
  return *cache.back();
}

}  // namespace velmora
