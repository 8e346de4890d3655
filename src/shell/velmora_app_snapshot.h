#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <string>

class QWidget;

namespace velmora {

class CVelmoraView;

// Test and documentation aid: with VELMORA_SNAPSHOT set, the main window is
// saved to that image file (format by its extension) every half second;
// with VELMORA_CANVAS_SNAPSHOT set, the monitor view's canvas is saved there
// whenever it changed. A ".ppm" canvas file carries a comment line
// "# fullPaints N rowUpdates M" for tests that count repaints. Files are
// replaced in one step, so a reader never sees half a picture.
class SnapshotWriter : public QObject {
  Q_OBJECT
 public:
  static constexpr const char* kWindowVariable = "VELMORA_SNAPSHOT";
  static constexpr const char* kCanvasVariable = "VELMORA_CANVAS_SNAPSHOT";

  // Null when neither variable is set.
  static std::unique_ptr<SnapshotWriter> FromEnvironment(QWidget* window, CVelmoraView* view);

  SnapshotWriter(QWidget* window, CVelmoraView* view, std::string windowPath, std::string canvasPath);

  // Writes what changed since the last picture written.
  void writeNow();

 private:
  QPointer<QWidget> window_;
  QPointer<CVelmoraView> view_;
  std::string windowPath_;
  std::string canvasPath_;
  quint64 canvasSerial_ = 0;
  QTimer timer_;
};

}  // namespace velmora
