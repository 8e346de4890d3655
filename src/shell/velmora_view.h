#pragma once

// CVelmoraView: the view of every child window, in monitor mode (0, the
// real-time quote monitor list) or chart mode (1, one security's chart).
//
// The view owns a QImage canvas. A full paint renders into the canvas (the
// paint entry: background, then the mode's painter) from the event loop
// after invalidate(); row updates, the row frame under the pointer and the
// chart's pointer overlays draw straight into it and show only the
// rectangle they changed. paintEvent only copies the canvas to the screen.
//
// Monitor-mode members live in view_monitor_mode.cpp, chart-mode members in
// view_chart_mode.cpp.

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart/chart_model.h"
#include "chart/pointer_overlays.h"
#include "draw/surface.h"
#include "monitor_view/monitor_list_painter.h"
#include "net/internet_session.h"
#include "shell/chart_loading_notice.h"
#include "shell/child_view.h"

class QHelpEvent;
class QMenu;
class QScrollBar;

namespace velmora {

class ChartLoadJob;
class LoaderListener;
class LoaderPool;
class SecurityStore;
struct ShellCommands;
struct SystemConfig;

// What a view works with besides its own fields; null members take the
// process-wide store, pool and settings. Set by the application object.
struct ViewContext {
  SecurityStore* store = nullptr;
  LoaderPool* pool = nullptr;
  SystemConfig* config = nullptr;
  // Given to loader threads started from this view (timer 101, Statistics).
  LoaderListener* listener = nullptr;
  // The main frame's commands: the floating menu routes its items there.
  const ShellCommands* commands = nullptr;

  // Chart hooks, set by the application object: Space opens a chart of the
  // selected security at once, C opens the chart-setting sheet for it (and a
  // chart's range selection with index -1 and no symbol), the floating menu
  // presets the sheet's symbol. A double click on the list opens the Detail
  // Quote dialog for the selected security: through detailQuote when set,
  // otherwise the view opens it itself.
  std::function<void(int index, const std::string& symbol)> openChart;
  std::function<void(int index, const std::string& symbol)> openChartSettings;
  std::function<void(const std::string& symbol)> presetChartSymbol;
  std::function<void(int index)> detailQuote;
  // Answers a quote service's 401 while a chart loads; none: the 401 stands.
  InternetSession::CredentialPrompt credentials;
};

class CVelmoraView : public QWidget, public ChildView {
  Q_OBJECT
 public:
  explicit CVelmoraView(ViewContext context = {}, QWidget* parent = nullptr);
  ~CVelmoraView() override;

  unsigned currentViewMode() const override { return viewMode; }

  // ---- the view's fields ----
  int clientWidth = -1;  // -1 until the first resize
  int clientHeight = -1;
  unsigned viewMode = kMonitorMode;
  FontSpec listFont = kListFont;
  QRgb backgroundColour = rgb(214, 214, 214);
  QRgb textColour = rgb(0, 0, 0);
  // Monitor-mode list metrics and scroll state. In a chart view selectedRow
  // holds the security index the chart was opened for.
  int digitWidth = 0;
  int lineHeight = 0;
  int topRow = 0;
  int rowCount = 0;
  int selectedRow = 0;
  // Everything of chart mode: data, layout, fonts, overlays, settings.
  ChartViewModel chart;
  // 1 once the chart's data has been prepared (its first paint starts
  // loading it on a thread of its own).
  unsigned loaded = 0;

  // ---- painting ----
  // Asks for a full paint (the background is never erased first: the
  // paint fills it).
  void invalidate();
  // Runs a full paint into the canvas now if one is due (otherwise it runs
  // from the event loop), then shows the canvas.
  void renderIfNeeded();
  // The canvas is at the screen's resolution: widget size times canvasRatio()
  // device pixels (the device pixel ratio, a fraction rounded up), drawn
  // through a Surface in logical pixels.
  const QImage& canvas() const { return canvas_; }
  int canvasRatio() const { return canvasRatio_; }
  // Draws as on a screen of this device pixel ratio (0: the screen's own);
  // tests use it, as a running program cannot change its scale factor.
  void overrideDevicePixelRatio(qreal ratio);
  // The smallest client area in which the mode's every panel is drawable
  // (a chart's shown panels, the monitor's header and one row).
  QSize minimumSizeHint() const override;
  // Grows with every change of the canvas (test snapshots).
  quint64 canvasSerial() const { return canvasSerial_; }
  int fullPaints() const { return fullPaints_; }
  int rowUpdatesDrawn() const { return rowUpdatesDrawn_; }

  // ---- monitor mode ----
  // A loader thread updated security `index`: its row is drawn at once, or
  // the whole view repainted when it is the selected row.
  void onSecurityUpdated(int index);
  // Starts timer 101, the start-up timer: at its first tick it is stopped
  // and the loader threads start.
  void armLoaderStart(int milliseconds);
  bool loaderStartArmed() const { return loaderTimerId_ != 0; }
  // The pointer at (x, y) of the client area: moves the red row frame.
  void monitorPointerMove(int x, int y);
  // A list key (Qt::Key_*); true when the view handled it.
  bool monitorKey(int key);
  // The security of the selected row; -1 when the row shows none.
  int selectedSecurity() const;
  // Makes security `index` the first row and selects it.
  void showSecurityAtTop(int index);
  // A click on the header of `column`: the list sorts by it, a second
  // click reverses the order, a third restores the list's own order. The
  // selection stays on its security.
  void sortByColumn(MonitorColumn column);
  // The security shown at list position `position` (the sort order's).
  int securityAtPosition(int position) const { return SecurityAtPosition(order_, position); }
  // The sort order (empty: the list's own order), its column and direction.
  const std::vector<int>& monitorOrder() const { return order_; }
  MonitorColumn sortColumn() const { return sortColumn_; }
  bool sortDescending() const { return sortDescending_; }
  // The columns' widths as fitted to the values shown so far.
  const MonitorColumns& monitorColumns() const { return columns_; }
  // Shown when the list is wider than the window.
  QScrollBar* horizontalBar() const { return horizontalBar_; }
  // Shown when the rows do not fit; its value is topRow.
  QScrollBar* verticalBar() const { return verticalBar_; }
  // The list was read again: old security index i is now newIndexOfOld[i]
  // (-1: removed). The monitor keeps the selection on its security (or the
  // nearest row left), the sort order and topRow fit the new list; a chart
  // follows its security's index in selectedRow (-1 once removed).
  void securityListChanged(const std::vector<int>& newIndexOfOld);

  // ---- commands (both modes) ----
  void searchSymbol();
  void statistics();
  void systemParameter();
  void openReport(const std::string& file);
  // The "Float Menu" with its four items; the caller owns it.
  QMenu* buildFloatMenu(QWidget* parent);

  const ViewContext& context() const { return context_; }

  // ---- chart loading ----
  // A chart's data is being loaded; its notice (with Cancel) is up over
  // the empty chart.
  bool chartLoading() const { return loadJob_ != nullptr; }
  ChartLoadingNotice* loadingNotice() const { return loadNotice_.get(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool event(QEvent* event) override;

 private:
  SecurityStore& store() const;
  LoaderPool& pool() const;
  SystemConfig& config() const;

  // The paint entry: background, colours, size, then the mode's painter.
  void paintEntry();
  void scheduleRender();
  // Shows what a surface changed on the canvas.
  void showChanged(Surface& surface);

  // Monitor mode (view_monitor_mode.cpp).
  void paintMonitorMode(Surface& surface);
  void drawRowUpdate(int position, const SecurityData& security);
  int positionOfSecurity(int index) const;
  void fitVisibleRows();
  void placeScrollBars(const MonitorSwitches& switches);
  int lastTopRow() const;
  // Makes list position `position` the selected row, scrolling only when
  // it is not on the page.
  void selectPosition(int position);
  void rebuildSortOrder();
  void monitorWheel(QWheelEvent* event);
  bool staleQuote(int index) const;
  void moveRowFrame(int row);
  bool monitorHeaderPress(int x, int y);
  bool monitorToolTip(QHelpEvent* event);
  void frameRow(Surface& surface, int row, QRgb colour);
  void showFloatMenu(QPoint globalPosition);
  void monitorDoubleClick();
  void startLoaders();

  // Chart mode (view_chart_mode.cpp).
  void paintChartMode(Surface& surface);
  void loadChart();
  void finishChartLoad();
  void cancelChartLoad();
  void closeChartWindow();
  void chartResized();
  void chartFocusIn();
  void chartPointerMove(int x, int y);
  void chartButtonDown(int x, int y);
  void chartButtonUp(int x, int y);
  void chartDoubleClick(int x, int y);

  ViewContext context_;
  QImage canvas_;
  int canvasRatio_ = 1;
  qreal ratioOverride_ = 0;
  void screenRatioChanged();  // the canvas again at the screen's ratio
  QSize minimumHint_;         // as last told to the layout
  bool needsPaint_ = true;
  bool renderQueued_ = false;
  bool painting_ = false;  // a full paint is running (it may handle events)
  quint64 canvasSerial_ = 0;
  int fullPaints_ = 0;
  int rowUpdatesDrawn_ = 0;
  int loaderTimerId_ = 0;
  // Monitor mode: fitted widths, the sort order and its inverse, the bar.
  MonitorColumns columns_;
  std::vector<int> order_;
  std::vector<int> positions_;
  MonitorColumn sortColumn_ = MonitorColumn::None;
  bool sortDescending_ = false;
  QScrollBar* horizontalBar_ = nullptr;
  QScrollBar* verticalBar_ = nullptr;
  int wheelRemainder_ = 0;  // wheel eighths of a degree not yet scrolled
  PointerOverlayState overlays_;
  bool loadPending_ = false;  // the paint found the chart not loaded
  bool loadFailed_ = false;   // its window is closing: never loaded again
  // The chart's load in progress and its notice; the job goes first when
  // the view does, so its thread is stopped before anything it tells goes.
  std::unique_ptr<ChartLoadingNotice> loadNotice_;
  std::unique_ptr<ChartLoadJob> loadJob_;
};

}  // namespace velmora
