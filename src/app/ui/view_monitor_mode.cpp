// The monitor-mode members of CVelmoraView: the real-time quote list, its
// row updates, the row frame under the pointer, the list keys, the floating
// menu and the search result.
#include <QCursor>
#include <QHelpEvent>
#include <QMenu>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <memory>

#include "app/ui/shell_commands.h"
#include "app/ui/velmora_view.h"
#include "base/system_config.h"
#include "chart/detail_quote_dialog.h"
#include "monitor/loader_pool.h"
#include "monitor/security_store.h"

namespace velmora {

namespace {

const QString kMonitorTitle = QStringLiteral("Real time quote monitor");

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
  placeHorizontalBar(switches);
  PaintMonitorHeader(surface, metrics, switches, columns_);
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

void CVelmoraView::placeHorizontalBar(const MonitorSwitches& switches) {
  if (horizontalBar_ == nullptr) {
    horizontalBar_ = new QScrollBar(Qt::Horizontal, this);
    horizontalBar_->hide();
    connect(horizontalBar_, &QScrollBar::valueChanged, this, [this] { invalidate(); });
  }
  // The line with a margin of 4 on either side.
  const int lineWidth = columns_.lineWidth(switches) * digitWidth + 8;
  const int hidden = lineWidth - clientWidth;
  if (hidden <= 0 || clientWidth <= 0) {
    horizontalBar_->hide();
    horizontalBar_->setValue(0);
    rowCount = ListRowCount(clientHeight, lineHeight);
  } else {
    const int height = horizontalBar_->sizeHint().height();
    // The rows end above the bar: none is drawn under it.
    rowCount = ListRowCount(clientHeight - height, lineHeight);
    horizontalBar_->setGeometry(0, clientHeight - height, clientWidth, height);
    horizontalBar_->setRange(0, hidden);
    horizontalBar_->setPageStep(clientWidth);
    horizontalBar_->setSingleStep(std::max(digitWidth, 1));
    horizontalBar_->show();
  }
  columns_.originX = 4 - horizontalBar_->value();
}

void CVelmoraView::frameRow(Surface& surface, int row, QRgb colour) {
  surface.frameRect(ListRowFrame(lineHeight, row, clientWidth), colour);
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
                  textColour, columns_);
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
  // The order is taken once per click: rows do not jump about under the
  // pointer as the loader brings new values.
  order_ = MonitorSortOrder(store(), sortColumn_, sortDescending_);
  positions_.assign(order_.size(), 0);
  for (size_t p = 0; p < order_.size(); ++p) positions_[static_cast<size_t>(order_[p])] = static_cast<int>(p);
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
  MonitorColumn column = MonitorColumn::None;
  if (at.y() >= 0 && at.y() < ListTextTop(lineHeight, 0))
    column = MonitorColumnAt(columns_, MonitorSwitches::fromConfig(config()), digitWidth, at.x());
  const std::string_view tip = MonitorColumnTip(column);
  if (tip.empty()) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  QToolTip::showText(event->globalPos(), QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())),
                     this);
  return true;
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
      if (topRow + rowCount < count) topRow += rowCount;
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
