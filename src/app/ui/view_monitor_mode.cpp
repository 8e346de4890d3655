// The monitor-mode members of CVelmoraView: the real-time quote list, its
// row updates, the row frame under the pointer, the list keys, the floating
// menu and the search result.
#include <QCursor>
#include <QMenu>
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
  PaintMonitorHeader(surface, metrics, switches);
  PaintMonitorRows(surface, metrics, switches, store(), topRow, rowCount, textColour);
  if (selectedRow >= 0) frameRow(surface, selectedRow, kRowFrameColour);
  surface.selectFont(oldFont);
}

void CVelmoraView::frameRow(Surface& surface, int row, QRgb colour) {
  surface.frameRect(ListRowFrame(lineHeight, row, clientWidth), colour);
}

void CVelmoraView::onSecurityUpdated(int index) {
  if (viewMode != kMonitorMode) return;
  if (index == topRow + selectedRow) {
    invalidate();
    return;
  }
  if (index < topRow || index >= topRow + rowCount || index < 0 || index >= store().count()) return;
  drawRowUpdate(index);
}

void CVelmoraView::drawRowUpdate(int index) {
  auto copy = std::make_unique<SecurityData>();
  if (!store().Read(index, *copy)) return;
  const int row = index - topRow;
  Surface surface(canvas_);
  surface.setBackgroundColour(backgroundColour);
  surface.setTextColour(textColour);
  surface.selectFont(listFont);
  // The old row goes first: a shorter time or symbol text would otherwise
  // leave characters of the previous one behind. The band is that of the
  // row's frame, so no other row (nor the selected row's frame) is touched.
  surface.fillRect({0, ListTextTop(lineHeight, row), clientWidth, ListTextTop(lineHeight, row + 1)},
                   backgroundColour);
  PaintMonitorRow(surface, {digitWidth, lineHeight}, MonitorSwitches::fromConfig(config()), row, *copy,
                  textColour);
  ++rowUpdatesDrawn_;
  showChanged(surface);
}

void CVelmoraView::monitorPointerMove(int, int y) {
  const int row = ListRowAt(lineHeight, y);
  if (row < 0 || row >= rowCount || row == selectedRow) return;
  Surface surface(canvas_);
  if (selectedRow >= 0) frameRow(surface, selectedRow, backgroundColour);
  frameRow(surface, row, kRowFrameColour);
  selectedRow = row;
  showChanged(surface);
}

int CVelmoraView::selectedSecurity() const {
  const int index = topRow + selectedRow;
  if (selectedRow < 0 || index < 0 || index >= store().count()) return -1;
  return index;
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
  topRow = index;
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
  add("&Chart", "Draw chart and analyse stock.", &ShellCommands::chart, nullptr);
  add("&Search Symbol", "Search a symbol", &ShellCommands::searchSymbol, [this] { searchSymbol(); });
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
