#include "app/ui/velmora_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include "app/ui/notice_dialog.h"
#include "app/ui/open_in_editor.h"
#include "app/ui/search_symbol_dialog.h"
#include "app/ui/system_parameters_dialog.h"
#include "base/system_config.h"
#include "chart/data/chart_load_job.h"
#include "chart/signal_mark_tips.h"
#include "monitor/loader_pool.h"
#include "monitor/security_store.h"
#include "monitor/ui/statistics_dialog.h"

namespace velmora {

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
  update();
  // Asked for again while it ran (a chart that has just loaded).
  if (needsPaint_) scheduleRender();
}

void CVelmoraView::paintEntry() {
  {
    Surface surface(canvas_);
    clientWidth = canvas_.width();
    clientHeight = canvas_.height();
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
  QPainter painter(this);
  const QRect area = event->rect();
  painter.drawImage(area, canvas_, area);
}

void CVelmoraView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  clientWidth = width();
  clientHeight = height();
  canvas_ = QImage(std::max(clientWidth, 1), std::max(clientHeight, 1), QImage::Format_RGB32);
  canvas_.fill(backgroundColour);
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
