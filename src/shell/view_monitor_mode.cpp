// The monitor-mode members of CVelmoraView: the real-time quote list, its
// row updates, the row frame under the pointer, the list keys, the wheel and
// the scroll bars, sorting, the floating menu and the search result.
#include <QCursor>
#include <QHelpEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <ctime>
#include <memory>

#include "base/system_config.h"
#include "chart/detail_quote_dialog.h"
#include "monitor/loader_pool.h"
#include "monitor/security_store.h"
#include "monitor_view/stale_quote.h"
#include "shell/shell_commands.h"
#include "shell/velmora_view.h"

namespace velmora {

namespace {

const QString kMonitorTitle = QStringLiteral("Real time quote monitor");

// A notch of the wheel (120 eighths of a degree) scrolls the desktop's usual
// three rows; finer wheels and touch pads add up their smaller steps.
constexpr int kWheelNotch = 120;
constexpr int kRowsPerNotch = 3;

// The double click's dialog for security `index`: on a copy of its 32 kept
// bars and its own trend state, recomputed incrementally from bar
// `confirmDays` (the newest bars a real-time update recomputes). The
// store's entry is never changed. Nothing for an index the store does not
// hold.
void openMonitorDetailQuote(QWidget* owner, const SecurityStore& store, int index, int confirmDays) {
  // A copy: a loader thread may update the entry while the dialog is open,
  // and the dialog must never write into it.
  auto copy = std::make_unique<SecurityData>();
  if (index < 0 || index >= store.count() || !store.Read(index, *copy)) return;
  ShowDetailQuote(owner, copy->bars.data(), kMonitoredBars, copy->isIndex != 0, true, confirmDays, 0,
                  copy->signalState);
}

}  // namespace

void CVelmoraView::paintMonitorMode(Surface& surface) {
  if (windowTitle() != kMonitorTitle) setWindowTitle(kMonitorTitle);
  const FontSpec oldFont = surface.selectFont(listFont);
  const ListMetrics metrics{digitWidth, lineHeight};
  const MonitorSwitches switches = MonitorSwitches::fromConfig(config());
  fitVisibleRows();
  placeScrollBars(switches);
  PaintMonitorHeader(surface, metrics, switches, columns_, sortColumn_, sortDescending_);
  PaintMonitorRows(surface, metrics, switches, store(), topRow, rowCount, textColour, columns_, &order_);
  if (selectedRow >= 0) frameRow(surface, selectedRow, kRowFrameColour);
  surface.selectFont(oldFont);
}

void CVelmoraView::fitVisibleRows() {
  auto copy = std::make_unique<SecurityData>();
  const int count = store().count();
  for (int r = 0; r < rowCount && topRow + r < count; ++r)
    if (store().Read(securityAtPosition(topRow + r), *copy)) FitMonitorRow(columns_, *copy);
}

void CVelmoraView::placeScrollBars(const MonitorSwitches& switches) {
  if (horizontalBar_ == nullptr) {
    horizontalBar_ = new QScrollBar(Qt::Horizontal, this);
    horizontalBar_->hide();
    connect(horizontalBar_, &QScrollBar::valueChanged, this, [this] { invalidate(); });
  }
  if (verticalBar_ == nullptr) {
    verticalBar_ = new QScrollBar(Qt::Vertical, this);
    verticalBar_->hide();
    connect(verticalBar_, &QScrollBar::valueChanged, this, [this](int value) {
      if (value == topRow) return;
      topRow = value;
      invalidate();
    });
  }
  const int count = store().count();
  // The line with a margin of 4 on either side.
  const int lineWidth = columns_.lineWidth(switches) * digitWidth + 8;
  const int barWidth = verticalBar_->sizeHint().width();
  const int barHeight = horizontalBar_->sizeHint().height();
  // Each bar narrows the room the other looks at. A vertical bar makes a
  // horizontal one more likely and the other way round, so the second round
  // settles both.
  bool horizontal = false;
  bool vertical = false;
  for (int round = 0; round < 2; ++round) {
    horizontal = clientWidth > 0 && lineWidth > clientWidth - (vertical ? barWidth : 0);
    // The rows end above the horizontal bar: none is drawn under it.
    rowCount = ListRowCount(clientHeight - (horizontal ? barHeight : 0), lineHeight);
    // Rows above the first shown one count as not fitting too (a search
    // may have put the last security at the top).
    vertical = clientWidth > 0 && rowCount > 0 && (count > rowCount || topRow > 0);
  }
  const int listWidth = clientWidth - (vertical ? barWidth : 0);
  if (!horizontal) {
    horizontalBar_->hide();
    horizontalBar_->setValue(0);
  } else {
    horizontalBar_->setGeometry(0, clientHeight - barHeight, listWidth, barHeight);
    horizontalBar_->setRange(0, lineWidth - listWidth);
    horizontalBar_->setPageStep(listWidth);
    horizontalBar_->setSingleStep(std::max(digitWidth, 1));
    horizontalBar_->show();
  }
  columns_.originX = 4 - horizontalBar_->value();
  if (!vertical) {
    verticalBar_->hide();
  } else {
    // Beside the rows, below the header line.
    const int top = ListTextTop(lineHeight, 0);
    verticalBar_->setGeometry(listWidth, top, barWidth,
                              std::max(clientHeight - (horizontal ? barHeight : 0) - top, 0));
    // The bar follows topRow; it never moves it here.
    const QSignalBlocker quiet(verticalBar_);
    verticalBar_->setRange(0, std::max(lastTopRow(), topRow));
    verticalBar_->setPageStep(rowCount);
    verticalBar_->setSingleStep(1);
    verticalBar_->setValue(topRow);
    verticalBar_->show();
  }
}

// The first row of the last full page.
int CVelmoraView::lastTopRow() const { return std::max(store().count() - rowCount, 0); }

void CVelmoraView::frameRow(Surface& surface, int row, QRgb colour) {
  // Up to the vertical bar, when there is one, so the frame shows whole.
  const int right = verticalBar_ != nullptr && !verticalBar_->isHidden() ? verticalBar_->x() : clientWidth;
  surface.frameRect(ListRowFrame(lineHeight, row, right), colour);
}

int CVelmoraView::positionOfSecurity(int index) const {
  if (index >= 0 && index < static_cast<int>(positions_.size()))
    return positions_[static_cast<size_t>(index)];
  return index;
}

void CVelmoraView::onSecurityUpdated(int index) {
  if (viewMode != kMonitorMode) return;
  auto copy = std::make_unique<SecurityData>();
  if (index < 0 || index >= store().count() || !store().Read(index, *copy)) return;
  // A value wider than its column moves every column after it: the whole
  // list is drawn again, wherever the row is.
  if (FitMonitorRow(columns_, *copy)) {
    invalidate();
    return;
  }
  const int position = positionOfSecurity(index);
  if (position == topRow + selectedRow) {
    invalidate();
    return;
  }
  if (position < topRow || position >= topRow + rowCount) return;
  drawRowUpdate(position, *copy);
}

void CVelmoraView::drawRowUpdate(int position, const SecurityData& security) {
  const int row = position - topRow;
  Surface surface(canvas_);
  surface.setBackgroundColour(backgroundColour);
  surface.setTextColour(textColour);
  surface.selectFont(listFont);
  // The old row goes first: a shorter time or symbol text would otherwise
  // leave characters of the previous one behind. The band is that of the
  // row's frame, so no other row (nor the selected row's frame) is touched.
  surface.fillRect({0, ListTextTop(lineHeight, row), clientWidth, ListTextTop(lineHeight, row + 1)},
                   backgroundColour);
  PaintMonitorRow(surface, {digitWidth, lineHeight}, MonitorSwitches::fromConfig(config()), row, security,
                  textColour, columns_, staleQuote(securityAtPosition(position)));
  ++rowUpdatesDrawn_;
  showChanged(surface);
}

void CVelmoraView::monitorPointerMove(int, int y) {
  const int row = ListRowAt(lineHeight, y);
  if (row < 0 || row >= rowCount || row == selectedRow) return;
  moveRowFrame(row);
}

void CVelmoraView::moveRowFrame(int row) {
  Surface surface(canvas_);
  if (selectedRow >= 0) frameRow(surface, selectedRow, backgroundColour);
  frameRow(surface, row, kRowFrameColour);
  selectedRow = row;
  showChanged(surface);
}

bool CVelmoraView::staleQuote(int index) const {
  return index >= 0 && index < store().count() && IsStaleQuote(store().entry(index).freshness());
}

void CVelmoraView::sortByColumn(MonitorColumn column) {
  if (column == MonitorColumn::None) return;
  if (column != sortColumn_) {
    sortColumn_ = column;
    sortDescending_ = false;
  } else if (!sortDescending_) {
    sortDescending_ = true;
  } else {
    sortColumn_ = MonitorColumn::None;
    sortDescending_ = false;
  }
  const int selected = selectedSecurity();
  rebuildSortOrder();
  // The frame stays on the security it marked, wherever that now sits.
  if (selected >= 0) selectPosition(positionOfSecurity(selected));
  invalidate();
}

void CVelmoraView::rebuildSortOrder() {
  // The order is taken once per click: rows do not jump about under the
  // pointer as the loader brings new values.
  order_ = MonitorSortOrder(store(), sortColumn_, sortDescending_);
  positions_.assign(order_.size(), 0);
  for (size_t p = 0; p < order_.size(); ++p) positions_[static_cast<size_t>(order_[p])] = static_cast<int>(p);
}

void CVelmoraView::selectPosition(int position) {
  if (rowCount <= 0) return;
  if (position < topRow || position >= topRow + rowCount) {
    // Off the page: it comes on at the frame's screen row, as near as the
    // list's ends allow.
    const int row = std::clamp(selectedRow, 0, rowCount - 1);
    topRow = std::clamp(position - row, 0, lastTopRow());
  }
  selectedRow = position - topRow;
}

void CVelmoraView::securityListChanged(const std::vector<int>& newIndexOfOld) {
  const int oldCount = static_cast<int>(newIndexOfOld.size());
  auto mapped = [&](int old) {
    return old >= 0 && old < oldCount ? newIndexOfOld[static_cast<size_t>(old)] : -1;
  };
  if (viewMode != kMonitorMode) {
    // A chart's security index.
    selectedRow = mapped(selectedRow);
    return;
  }
  // The selected security by the old list and order.
  const int oldPosition = topRow + selectedRow;
  int selected = -1;
  if (selectedRow >= 0 && oldPosition >= 0 && oldPosition < oldCount) {
    selected = mapped(securityAtPosition(oldPosition));
    // Removed: the nearest row left, the one after it first (it moves up
    // into its place).
    for (int d = 1; selected < 0 && (oldPosition + d < oldCount || oldPosition - d >= 0); ++d) {
      if (oldPosition + d < oldCount) selected = mapped(securityAtPosition(oldPosition + d));
      if (selected < 0 && oldPosition - d >= 0) selected = mapped(securityAtPosition(oldPosition - d));
    }
  }
  if (sortColumn_ != MonitorColumn::None) {
    rebuildSortOrder();
  } else {
    order_.clear();
    positions_.clear();
  }
  // The rows of the new list (a shown view only: before its first resize
  // the view has no size to fit).
  const MonitorSwitches switches = MonitorSwitches::fromConfig(config());
  if (clientWidth > 0) placeScrollBars(switches);
  topRow = std::clamp(topRow, 0, lastTopRow());
  const int count = store().count();
  if (selected >= 0 && selected < count)
    selectPosition(positionOfSecurity(selected));
  else if (count == 0)
    selectedRow = 0;
  if (clientWidth > 0) placeScrollBars(switches);
  invalidate();
}

bool CVelmoraView::monitorHeaderPress(int x, int y) {
  if (y < 0 || y >= ListTextTop(lineHeight, 0)) return false;
  const MonitorColumn column =
      MonitorColumnAt(columns_, MonitorSwitches::fromConfig(config()), digitWidth, x);
  if (column == MonitorColumn::None) return false;
  sortByColumn(column);
  return true;
}

bool CVelmoraView::monitorToolTip(QHelpEvent* event) {
  const QPoint at = event->pos();
  const MonitorColumn column =
      MonitorColumnAt(columns_, MonitorSwitches::fromConfig(config()), digitWidth, at.x());
  std::string tip;
  if (at.y() >= 0 && at.y() < ListTextTop(lineHeight, 0)) {
    tip = MonitorColumnTip(column);
  } else if (column == MonitorColumn::Time) {
    // The time of a stale row says since when and why.
    const int row = ListRowAt(lineHeight, at.y());
    const int position = topRow + row;
    if (row >= 0 && row < rowCount && position < store().count()) {
      const QuoteFreshness freshness = store().entry(securityAtPosition(position)).freshness();
      if (IsStaleQuote(freshness)) tip = StaleQuoteTip(freshness, std::time(nullptr));
    }
  }
  if (tip.empty()) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  QToolTip::showText(event->globalPos(), QString::fromStdString(tip), this);
  return true;
}

void CVelmoraView::monitorWheel(QWheelEvent* event) {
  event->accept();
  const int delta = event->angleDelta().y();
  // A turn the other way drops what was left of the last one.
  if (delta == 0 || (wheelRemainder_ > 0) != (delta > 0)) wheelRemainder_ = 0;
  wheelRemainder_ += delta;
  constexpr int kPerRow = kWheelNotch / kRowsPerNotch;
  const int rows = wheelRemainder_ / kPerRow;
  wheelRemainder_ -= rows * kPerRow;
  if (rows == 0) return;
  // Turned away from the user (a positive delta) the list goes back up.
  int top = std::max(topRow - rows, 0);
  // Down stops at the last full page, and never goes back up from past it.
  if (rows < 0) top = std::max(topRow, std::min(top, lastTopRow()));
  if (top == topRow) return;
  topRow = top;
  invalidate();
}

int CVelmoraView::selectedSecurity() const {
  const int position = topRow + selectedRow;
  if (selectedRow < 0 || position < 0 || position >= store().count()) return -1;
  return securityAtPosition(position);
}

bool CVelmoraView::monitorKey(int key) {
  const int count = store().count();
  const int before = topRow;
  const int selected = selectedSecurity();
  // The chart asks for the security the loader asks for (^DJI, not the
  // row's name DJIA, which is another symbol to a quote service).
  const std::string symbol = selected >= 0 ? store().entry(selected).querySymbol() : std::string();
  switch (key) {
    case Qt::Key_Space:
      if (selected >= 0 && context_.openChart) context_.openChart(selected, symbol);
      break;
    case Qt::Key_PageUp:
      topRow -= rowCount;
      break;
    case Qt::Key_PageDown:
      // A whole page on, but the last page ends with the list: it shows
      // full rows rather than a few.
      if (topRow + rowCount < count) topRow = std::min(topRow + rowCount, lastTopRow());
      break;
    case Qt::Key_End:
      if (topRow + rowCount < count) topRow = count - rowCount;
      break;
    case Qt::Key_Home:
      topRow = 0;
      break;
    case Qt::Key_Up:
      // The frame moves up a row; on the first row the list scrolls.
      if (selectedRow > 0 && rowCount > 0)
        moveRowFrame(std::min(selectedRow - 1, rowCount - 1));
      else if (topRow > 0)
        --topRow;
      break;
    case Qt::Key_Down:
      if (rowCount <= 0 || topRow + selectedRow + 1 >= count) break;
      if (selectedRow + 1 < rowCount)
        moveRowFrame(std::max(selectedRow + 1, 0));
      else
        ++topRow;
      break;
    case Qt::Key_C:
      if (selected >= 0 && context_.openChartSettings) context_.openChartSettings(selected, symbol);
      break;
    case Qt::Key_F:
      searchSymbol();
      break;
    case Qt::Key_S:
      statistics();
      break;
    default:
      return false;
  }
  if (topRow < 0)
    topRow = 0;
  else if (topRow >= count)
    topRow = count - rowCount;
  // An empty list would otherwise leave the first row at a negative index.
  if (topRow < 0) topRow = 0;
  if (topRow != before) invalidate();
  return true;
}

void CVelmoraView::showSecurityAtTop(int index) {
  topRow = positionOfSecurity(index);
  // Equivalent of placing the pointer on the first row: that row becomes
  // the selected one, and the pointer goes there too when the platform lets
  // a program move it.
  selectedRow = 0;
  if (isVisible() && lineHeight > 0)
    QCursor::setPos(mapToGlobal(QPoint(width() / 2, ListTextTop(lineHeight, 0) + lineHeight / 2)));
  // The whole list moved: without a repaint only the part under the closed
  // dialog would show the new rows.
  invalidate();
}

QMenu* CVelmoraView::buildFloatMenu(QWidget* parent) {
  auto* menu = new QMenu(QStringLiteral("Float Menu"), parent);
  const ShellCommands* commands = context_.commands;
  auto add = [&](const char* text, const char* prompt, std::function<void()> ShellCommands::*handler,
                 std::function<void()> fallback) {
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setStatusTip(QString::fromLatin1(prompt));
    connect(action, &QAction::triggered, this, [commands, handler, fallback] {
      // The frame routes the command as any menu command; a view without a
      // frame (tests) handles it itself.
      if (commands != nullptr && commands->*handler)
        (commands->*handler)();
      else if (fallback)
        fallback();
    });
  };
  // The texts after the tab show the monitor's keys for the same commands;
  // they are not shortcuts, so the keys stay with the monitor.
  add("&Chart\tSpace", "Draw chart and analyse stock.", &ShellCommands::chart, nullptr);
  add("&Search Symbol\tF", "Search a symbol", &ShellCommands::searchSymbol, [this] { searchSymbol(); });
  add("Statistics", "Get statistics information.", &ShellCommands::statistics, [this] { statistics(); });
  add("System Parametrs", "Config system parameter.", &ShellCommands::systemParameter,
      [this] { systemParameter(); });
  // The watch list's own commands, as in the Edit menu (only through a frame).
  menu->addSeparator();
  add("&Add Security...", "Add a security to the stock list being monitored.", &ShellCommands::addSecurity,
      nullptr);
  add("&Remove Security", "Remove the selected security from the stock list.", &ShellCommands::removeSecurity,
      nullptr);
  return menu;
}

void CVelmoraView::showFloatMenu(QPoint globalPosition) {
  const int selected = selectedSecurity();
  if (selected >= 0 && context_.presetChartSymbol)
    context_.presetChartSymbol(store().entry(selected).querySymbol());
  std::unique_ptr<QMenu> menu(buildFloatMenu(this));
  const int half = menu->sizeHint().width() / 2;
  menu->exec(QPoint(globalPosition.x() - half, globalPosition.y()));
}

void CVelmoraView::monitorDoubleClick() {
  const int selected = selectedSecurity();
  if (selected < 0) return;
  if (context_.detailQuote)
    context_.detailQuote(selected);
  else
    openMonitorDetailQuote(this, store(), selected, EffectiveConfirmDays(config()));
}

void CVelmoraView::armLoaderStart(int milliseconds) {
  if (loaderTimerId_ != 0) killTimer(loaderTimerId_);
  loaderTimerId_ = startTimer(milliseconds);
}

void CVelmoraView::startLoaders() { pool().StartLoaderThreads(context_.listener); }

}  // namespace velmora
