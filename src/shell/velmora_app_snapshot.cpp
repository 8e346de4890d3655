#include "shell/velmora_app_snapshot.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>

#include "base/atomic_file.h"
#include "shell/velmora_view.h"

namespace velmora {

namespace {

constexpr int kSnapshotPeriodMs = 500;

std::string ppmOf(const QImage& image, const CVelmoraView& view) {
  std::string out = "P6\n# fullPaints " + std::to_string(view.fullPaints()) + " rowUpdates " +
                    std::to_string(view.rowUpdatesDrawn()) + "\n" + std::to_string(image.width()) + " " +
                    std::to_string(image.height()) + "\n255\n";
  out.reserve(out.size() + static_cast<size_t>(image.width()) * static_cast<size_t>(image.height()) * 3);
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      out.push_back(static_cast<char>(qRed(line[x])));
      out.push_back(static_cast<char>(qGreen(line[x])));
      out.push_back(static_cast<char>(qBlue(line[x])));
    }
  }
  return out;
}

[[nodiscard]] bool saveImage(const QImage& image, const std::string& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QByteArray format = QFileInfo(QString::fromStdString(path)).suffix().toLatin1();
  if (!image.save(&buffer, format.isEmpty() ? "PNG" : format.constData())) return false;
  return WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                             false);
}

}  // namespace

std::unique_ptr<SnapshotWriter> SnapshotWriter::FromEnvironment(QWidget* window, CVelmoraView* view) {
  const char* windowPath = std::getenv(kWindowVariable);
  const char* canvasPath = std::getenv(kCanvasVariable);
  if ((windowPath == nullptr || *windowPath == '\0') && (canvasPath == nullptr || *canvasPath == '\0'))
    return nullptr;
  return std::make_unique<SnapshotWriter>(window, view, windowPath != nullptr ? windowPath : "",
                                          canvasPath != nullptr ? canvasPath : "");
}

SnapshotWriter::SnapshotWriter(QWidget* window, CVelmoraView* view, std::string windowPath,
                               std::string canvasPath)
    : window_(window), view_(view), windowPath_(std::move(windowPath)), canvasPath_(std::move(canvasPath)) {
  connect(&timer_, &QTimer::timeout, this, &SnapshotWriter::writeNow);
  timer_.start(kSnapshotPeriodMs);
}

void SnapshotWriter::writeNow() {
  // The window is saved again at every tick: a failed save needs no record.
  if (!windowPath_.empty() && window_ != nullptr && window_->isVisible())
    (void)saveImage(window_->grab().toImage(), windowPath_);
  if (canvasPath_.empty() || view_ == nullptr) return;
  view_->renderIfNeeded();
  const quint64 serial = view_->canvasSerial();
  if (serial == canvasSerial_) return;
  const bool written =
      QFileInfo(QString::fromStdString(canvasPath_)).suffix().compare("ppm", Qt::CaseInsensitive) == 0
          ? WriteFileAtomically(canvasPath_, ppmOf(view_->canvas(), *view_), false)
          : saveImage(view_->canvas(), canvasPath_);
  // A canvas that could not be written is tried again at the next tick.
  if (written) canvasSerial_ = serial;
}

}  // namespace velmora
