// The chart-mode members of CVelmoraView: the loading step of the first
// paint, the chart paint with the pointer overlays at its end, pointer
// moves, the range selection and the clicks that open the Detail Quote
// dialog.
#include <QMdiSubWindow>
#include <QMessageBox>
#include <memory>

#include "base/system_config.h"
#include "chart/chart_backtest.h"
#include "chart/chart_commands.h"
#include "chart/chart_painter.h"
#include "chart/chart_setting_sheet.h"
#include "chart/selection_band.h"
#include "chart_data/chart_load_job.h"
#include "core/chart_dates.h"
#include "shell/chart_loading_notice.h"
#include "shell/open_chart.h"
#include "shell/velmora_view.h"

namespace velmora {

void CVelmoraView::paintChartMode(Surface& surface) {
  chart.clientWidth = clientWidth;
  chart.clientHeight = clientHeight;
  if (loaded == 0) {
    chart.repainted = 1;
    // A window whose load failed is closing; it never asks again. One
    // load at a time.
    if (!loadFailed_ && loadJob_ == nullptr) loadPending_ = true;
    return;
  }
  PaintChart(surface, chart,
             [this](Surface& s, ChartViewModel& m) { DrawOverlaysAfterPaint(s, m, overlays_); });
}

void CVelmoraView::loadChart() {
  const ChartSettings& settings = chart.settings;
  setWindowTitle(QString::fromLatin1(ChartWindowTitle(settings)));
  // The notice sits over the empty chart, inside this window.
  loadNotice_ = std::make_unique<ChartLoadingNotice>(
      QString::fromLatin1(ChartLoadingText(ChartShownName(settings))), this, [this] { cancelChartLoad(); });

  ChartLoadRequest request;
  request.settings = settings;
  request.config = config();
  request.processProviders = &config() == &systemConfig();
  request.plotWidth = clientWidth - chart.axisWidth - chart.leftMargin;
  // A listed security's files are the loader's; no chart of another symbol
  // may replace them.
  request.historyFiles = ChartHistoryFilesFor(settings, store(), config().RealTimeQuoteServer);
  request.credentials = context_.credentials;
  // The news comes from the loading thread; the view takes the result on
  // its own thread (and never, once it is gone: the job stops first).
  loadJob_ = std::make_unique<ChartLoadJob>(std::move(request), [this] {
    QMetaObject::invokeMethod(this, &CVelmoraView::finishChartLoad, Qt::QueuedConnection);
  });
}

void CVelmoraView::cancelChartLoad() {
  if (loadJob_ == nullptr) return;
  // The transfer stops at once; the window closes without a message.
  loadJob_->Cancel();
  loadFailed_ = true;
  closeChartWindow();
}

void CVelmoraView::finishChartLoad() {
  if (loadJob_ == nullptr || !loadJob_->Finished()) return;
  std::unique_ptr<ChartLoadResult> result = loadJob_->TakeResult();
  loadJob_.reset();
  if (result == nullptr || result->cancelled) {
    loadNotice_.reset();
    return;
  }
  const ChartSettings& settings = chart.settings;
  if (result->ok) {
    chart.data = *result->data;
    chart.barSpacing = result->barSpacing;
    // The window may have changed size while the data came.
    chart.clientWidth = clientWidth;
    chart.updateBarSpacing();
    // The back-test's walk runs once here, never in a paint.
    PrepareChartBacktest(chart, EffectiveConfirmDays(config()));
    loaded = 1;
    setWindowTitle(QString::fromLatin1(ChartWindowTitle(settings, &chart.data)));
    loadNotice_.reset();
    invalidate();
    return;
  }
  // The notice stays up until the message has been answered.
  loadFailed_ = true;
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"),
                  QString::fromLatin1(ChartLoadFailureText(ChartShownName(settings), result->failure)),
                  QMessageBox::Ok, this);
  box.exec();
  loadNotice_.reset();
  closeChartWindow();
}

void CVelmoraView::closeChartWindow() {
  // A close request to the child frame, handled once this paint is over.
  QWidget* target = this;
  for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
    if (qobject_cast<QMdiSubWindow*>(w) != nullptr) {
      target = w;
      break;
    }
  }
  QMetaObject::invokeMethod(target, &QWidget::close, Qt::QueuedConnection);
}

void CVelmoraView::chartResized() {
  chart.clientWidth = clientWidth;
  chart.clientHeight = clientHeight;
  chart.updateBarSpacing();
  // The new canvas holds none of the old overlays.
  chart.repainted = 1;
}

void CVelmoraView::chartFocusIn() { invalidate(); }

void CVelmoraView::chartPointerMove(int x, int y) {
  Surface surface(canvas_);
  const OverlayDamage damage = OnPointerMove(surface, chart, overlays_, x, y, loaded != 0);
  if (loaded != 0 && chart.selecting != 0) UpdateSelectionBand(surface, chart, x, y);
  surface.flush();
  // Only what changed is shown: the hairs, the label areas, the
  // information lines and the band, each on its own.
  for (const Rect& r : damage) update(r.toQRect());
  const Rect band = surface.takeDirtyRect();
  if (!band.isEmpty()) update(band.toQRect());
  if (damage.size() > 0 || !band.isEmpty()) ++canvasSerial_;
}

void CVelmoraView::chartButtonDown(int x, int y) {
  // Nothing to select on a chart without data.
  if (loaded == 0) return;
  Surface surface(canvas_);
  // No price label is shown while selecting.
  RestorePriceLabel(surface, chart, overlays_);
  StartSelection(chart, x, y);
  showChanged(surface);
}

void CVelmoraView::chartButtonUp(int x, int) {
  if (chart.selecting == 0) return;
  // The view is idle again before a dialog runs its own event loop.
  if (!SelectionIsDrag(chart)) {
    chart.selecting = 0;
    // A click, or a drag within one bar slot: the band, if any, stays. A
    // click beside the bars opens nothing, and nothing more is to be done.
    (void)OpenChartDetailQuote(this, chart, x);
    return;
  }
  {
    Surface surface(canvas_);
    DrawSelectionBand(surface, chart);
    showChanged(surface);
  }
  chart.selecting = 0;
  std::string startDate, endDate;
  if (!SelectionDates(chart, startDate, endDate)) return;
  // The sheet opens with what its pages hold (not necessarily this chart's
  // symbol) and the selected range; confirming it opens a new chart.
  if (ChartSettingPages* pages = ProgramChartSettingPages())
    pages->symbolPage().setDurationAndDates(kCustomizeDuration, startDate, endDate);
  if (context_.openChartSettings) context_.openChartSettings(-1, std::string());
}

void CVelmoraView::chartDoubleClick(int x, int) {
  // A double click beside the bars opens nothing, and nothing more is to be done.
  if (loaded != 0) (void)OpenChartDetailQuote(this, chart, x);
}

}  // namespace velmora
