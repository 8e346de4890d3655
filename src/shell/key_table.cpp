#include "shell/key_table.h"

namespace velmora {

namespace {

QList<QKeySequence> keys(std::initializer_list<QKeyCombination> combinations) {
  QList<QKeySequence> list;
  for (const QKeyCombination& c : combinations) list << QKeySequence(c);
  return list;
}

}  // namespace

const std::vector<KeyBinding>& KeyTable() {
  using P = KeyPlace;
  using C = KeyCommand;
  static const std::vector<KeyBinding> table = {
      {P::Monitor, C::OpenChart, keys({Qt::Key_Space}), "Open a chart of the selected security"},
      {P::Monitor, C::ChartSettings, keys({Qt::Key_C}),
       "Open the Chart Setting sheet for the selected security"},
      {P::Monitor, C::SearchSymbol, keys({Qt::Key_F}), "Search a symbol"},
      {P::Monitor, C::Statistics, keys({Qt::Key_S}), "Get statistics information"},
      {P::Monitor, C::LineUp, keys({Qt::Key_Up}), "Select the row above (the list scrolls at the top)"},
      {P::Monitor, C::LineDown, keys({Qt::Key_Down}),
       "Select the row below (the list scrolls at the bottom)"},
      {P::Monitor, C::PageUp, keys({Qt::Key_PageUp}), "Scroll the list up a page"},
      {P::Monitor, C::PageDown, keys({Qt::Key_PageDown}), "Scroll the list down a page"},
      {P::Monitor, C::FirstPage, keys({Qt::Key_Home}), "Show the first page of the list"},
      {P::Monitor, C::LastPage, keys({Qt::Key_End}), "Show the last page of the list"},
      {P::Chart, C::CancelLoading, keys({Qt::Key_Escape}), "Cancel the loading of the chart's quotes"},
      {P::Windows, C::CloseWindow, keys({Qt::CTRL | Qt::Key_W, Qt::CTRL | Qt::Key_F4}),
       "Close the active chart window"},
      {P::Windows, C::NextWindow, keys({Qt::CTRL | Qt::Key_Tab}), "Activate the next window"},
      {P::Windows, C::PreviousWindow,
       keys({Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab}),
       "Activate the previous window"},
  };
  return table;
}

QList<QKeySequence> KeysOf(KeyCommand command) {
  for (const KeyBinding& binding : KeyTable())
    if (binding.command == command) return binding.keys;
  return {};
}

const char* KeyPlaceName(KeyPlace place) {
  switch (place) {
    case KeyPlace::Monitor:
      return "Monitor";
    case KeyPlace::Chart:
      return "Chart";
    case KeyPlace::Windows:
      return "All windows";
  }
  return "";
}

}  // namespace velmora
