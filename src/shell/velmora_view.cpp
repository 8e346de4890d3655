#include "shell/velmora_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "base/system_config.h"
#include "chart/chart_layout.h"
#include "chart/signal_mark_tips.h"
#include "chart_data/chart_load_job.h"
#include "monitor/loader_pool.h"
#include "monitor/security_store.h"
#include "monitor_view/statistics_dialog.h"
#include "shell/notice_dialog.h"
#include "shell/open_in_editor.h"
#include "shell/search_symbol_dialog.h"
#include "shell/system_parameters_dialog.h"

namespace velmora {

namespace {

// Whole device pixels per logical pixel for a screen's ratio: a fraction
// (1.25, 1.5) is drawn at the next whole ratio and scaled down to the screen.
int canvasRatioFor(qreal devicePixelRatio) {
  return std::clamp(static_cast<int>(std::ceil(devicePixelRatio - 0.01)), 1, 8);
}

// The largest canvas side in logical pixels when the screen is smaller
// (and the side of every canvas without a screen).
constexpr int kCanvasFloor = 4096;

// A canvas of `size` logical pixels at `ratio`, in one colour. A view larger
// than its screen's whole desktop (a damaged remembered size) draws no more
// than that: the rest could never be seen, and its memory would be wasted.
QImage newCanvas(QSize size, int ratio, QRgb colour, const QScreen* screen) {
  QSize most(kCanvasFloor, kCanvasFloor);
  if (screen != nullptr) most = most.expandedTo(screen->virtualSize());
  size = size.boundedTo(most);
  QImage canvas(std::max(size.width(), 1) * ratio, std::max(size.height(), 1) * ratio, QImage::Format_RGB32);
  canvas.setDevicePixelRatio(ratio);
  canvas.fill(colour);
  return canvas;
}

}  // namespace

CVelmoraView::CVelmoraView(ViewContext context, QWidget* parent)
    : QWidget(parent), context_(std::move(context)), canvas_(1, 1, QImage::Format_RGB32) {
  canvas_.fill(backgroundColour);
  // The paint covers every pixel; nothing is erased before it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  Surface surface(canvas_);
  const ListMetrics metrics = MeasureListMetrics(surface, listFont);
  digitWidth = metrics.digitWidth;
  lineHeight = metrics.lineHeight;
  // Resting the pointer on a chart's signal mark says what it means.
  new SignalMarkTips(this, [this]() -> const ChartViewModel* {
    return viewMode == kChartMode && loaded != 0 ? &chart : nullptr;
  });
}

CVelmoraView::~CVelmoraView() = default;

SecurityStore& CVelmoraView::store() const {
  return context_.store != nullptr ? *context_.store : securityStore();
}

LoaderPool& CVelmoraView::pool() const { return context_.pool != nullptr ? *context_.pool : loaderPool(); }

SystemConfig& CVelmoraView::config() const {
  return context_.config != nullptr ? *context_.config : systemConfig();
}

// ---- painting ----------------------------------------------------------------

void CVelmoraView::invalidate() {
  needsPaint_ = true;
  scheduleRender();
}

void CVelmoraView::scheduleRender() {
  // The full paint runs from the event loop rather than inside paintEvent,
  // so a paint may show a notice and handle pending events (a chart's first
  // paint does) without nesting inside Qt's own painting.
  if (renderQueued_) return;
  renderQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        renderQueued_ = false;
        renderIfNeeded();
      },
      Qt::QueuedConnection);
}

void CVelmoraView::renderIfNeeded() {
  if (!needsPaint_ || painting_) return;
  needsPaint_ = false;
  painting_ = true;
  paintEntry();
  painting_ = false;
  // A chart's price-label column may have widened with its data.
  if (const QSize hint = minimumSizeHint(); hint != minimumHint_) {
    minimumHint_ = hint;
    updateGeometry();
  }
  update();
  // Asked for again while it ran (a chart that has just loaded).
  if (needsPaint_) scheduleRender();
}

void CVelmoraView::paintEntry() {
  {
    Surface surface(canvas_);
    clientWidth = surface.width();
    clientHeight = surface.height();
    surface.fillRect({0, 0, clientWidth, clientHeight}, backgroundColour);
    surface.setBackgroundColour(backgroundColour);
    surface.setTextColour(textColour);
    if (viewMode == kMonitorMode)
      paintMonitorMode(surface);
    else if (viewMode == kChartMode)
      paintChartMode(surface);
    surface.flush();
    ++fullPaints_;
    ++canvasSerial_;
  }
  // A chart's loading step handles events (its notice, the failure
  // message), and a resize among them replaces the canvas: it runs once no
  // surface holds the canvas any more.
  if (loadPending_) {
    loadPending_ = false;
    loadChart();
  }
}

void CVelmoraView::showChanged(Surface& surface) {
  surface.flush();
  const Rect changed = surface.takeDirtyRect();
  if (changed.isEmpty()) return;
  ++canvasSerial_;
  update(changed.toQRect());
}

void CVelmoraView::paintEvent(QPaintEvent* event) {
  // A screen whose ratio changed under the window (no move to another
  // screen) gets a canvas of its ratio at the next turn of the event loop.
  if (ratioOverride_ <= 0 && canvasRatioFor(devicePixelRatioF()) != canvasRatio_)
    QMetaObject::invokeMethod(
        this, [this] { screenRatioChanged(); }, Qt::QueuedConnection);
  QPainter painter(this);
  const QRect area = event->rect();
  if (canvasRatio_ == 1) {
    painter.drawImage(area, canvas_, area);
    return;
  }
  // The canvas's device pixels under the logical area; they meet the
  // screen's pixels one to one unless its ratio is a fraction.
  const QRectF source(area.x() * canvasRatio_, area.y() * canvasRatio_, area.width() * canvasRatio_,
                      area.height() * canvasRatio_);
  if (painter.device()->devicePixelRatioF() != canvasRatio_)
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(area), canvas_, source);
}

void CVelmoraView::overrideDevicePixelRatio(qreal ratio) {
  ratioOverride_ = ratio;
  screenRatioChanged();
}

void CVelmoraView::screenRatioChanged() {
  const int ratio = canvasRatioFor(ratioOverride_ > 0 ? ratioOverride_ : devicePixelRatioF());
  if (ratio == canvasRatio_) return;
  // Same logical size and layout, more device pixels: a full paint.
  canvasRatio_ = ratio;
  canvas_ = newCanvas(canvas_.deviceIndependentSize().toSize(), ratio, backgroundColour, screen());
  invalidate();
}

QSize CVelmoraView::minimumSizeHint() const {
  QImage scratch(1, 1, QImage::Format_RGB32);
  Surface surface(scratch);
  if (viewMode == kChartMode) return ChartMinimumClientSize(surface, chart);
  if (viewMode == kMonitorMode) {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return MonitorMinimumClientSize(ListMetrics{digitWidth, lineHeight}, columns_, bar);
  }
  return QWidget::minimumSizeHint();
}

void CVelmoraView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  clientWidth = width();
  clientHeight = height();
  canvasRatio_ = canvasRatioFor(ratioOverride_ > 0 ? ratioOverride_ : devicePixelRatioF());
  canvas_ = newCanvas(size(), canvasRatio_, backgroundColour, screen());
  Surface surface(canvas_);
  const ListMetrics metrics = MeasureListMetrics(surface, listFont);
  digitWidth = metrics.digitWidth;
  lineHeight = metrics.lineHeight;
  rowCount = ListRowCount(clientHeight, lineHeight);
  chartResized();
  invalidate();
}

// ---- events ------------------------------------------------------------------

void CVelmoraView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (viewMode == kMonitorMode)
    monitorPointerMove(at.x(), at.y());
  else if (viewMode == kChartMode)
    chartPointerMove(at.x(), at.y());
  QWidget::mouseMoveEvent(event);
}

void CVelmoraView::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (viewMode == kMonitorMode && event->button() == Qt::RightButton)
    showFloatMenu(event->globalPosition().toPoint());
  else if (viewMode == kMonitorMode && event->button() == Qt::LeftButton)
    monitorHeaderPress(at.x(), at.y());
  else if (viewMode == kChartMode && event->button() == Qt::LeftButton)
    chartButtonDown(at.x(), at.y());
  QWidget::mousePressEvent(event);
}

void CVelmoraView::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (viewMode == kChartMode && event->button() == Qt::LeftButton) chartButtonUp(at.x(), at.y());
  QWidget::mouseReleaseEvent(event);
}

void CVelmoraView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    if (viewMode == kMonitorMode)
      monitorDoubleClick();
    else if (viewMode == kChartMode)
      chartDoubleClick(at.x(), at.y());
  }
  QWidget::mouseDoubleClickEvent(event);
}

void CVelmoraView::keyPressEvent(QKeyEvent* event) {
  if (viewMode == kMonitorMode && monitorKey(event->key())) return;
  QWidget::keyPressEvent(event);
}

void CVelmoraView::wheelEvent(QWheelEvent* event) {
  if (viewMode == kMonitorMode) {
    monitorWheel(event);
    return;
  }
  QWidget::wheelEvent(event);
}

void CVelmoraView::focusInEvent(QFocusEvent* event) {
  if (viewMode == kChartMode) chartFocusIn();
  QWidget::focusInEvent(event);
}

void CVelmoraView::timerEvent(QTimerEvent* event) {
  if (event->timerId() == loaderTimerId_) {
    killTimer(loaderTimerId_);
    loaderTimerId_ = 0;
    startLoaders();
    return;
  }
  QWidget::timerEvent(event);
}

bool CVelmoraView::event(QEvent* event) {
  // Moved to a screen of another resolution.
  if (event->type() == QEvent::ScreenChangeInternal) screenRatioChanged();
  if (event->type() == QEvent::ToolTip && viewMode == kMonitorMode)
    return monitorToolTip(static_cast<QHelpEvent*>(event));
  return QWidget::event(event);
}

// ---- commands ----------------------------------------------------------------

void CVelmoraView::searchSymbol() {
  CSearchSymbolDialog dialog(store(), this);
  if (dialog.exec() != QDialog::Accepted || dialog.foundIndex() < 0) return;
  showSecurityAtTop(dialog.foundIndex());
}

void CVelmoraView::statistics() {
  CStatisticsDialog dialog(pool(), store().count(), context_.listener, this);
  dialog.exec();
}

void CVelmoraView::systemParameter() {
  CSystemParametersDialog dialog(config(), this);
  dialog.exec();
  invalidate();
}

void CVelmoraView::openReport(const std::string& file) { OpenInEditor(this, file); }

}  // namespace velmora
