#pragma once

// Every key of the program in one table: the menus take their shortcuts
// from it, and Help > Keyboard shortcuts lists it.

#include <QKeySequence>
#include <QList>
#include <vector>

namespace velmora {

// Where a key works.
enum class KeyPlace { Monitor, Chart, Windows };

// The commands that have a key.
enum class KeyCommand {
  OpenChart,
  ChartSettings,
  SearchSymbol,
  Statistics,
  LineUp,
  LineDown,
  PageUp,
  PageDown,
  FirstPage,
  LastPage,
  CancelLoading,
  CloseWindow,
  NextWindow,
  PreviousWindow,
};

struct KeyBinding {
  KeyPlace place;
  KeyCommand command;
  QList<QKeySequence> keys;
  const char* does;  // what the key does, for the list
};

const std::vector<KeyBinding>& KeyTable();

// The keys of `command` (empty when it has none).
QList<QKeySequence> KeysOf(KeyCommand command);

// "Monitor", "Chart", "All windows".
const char* KeyPlaceName(KeyPlace place);

}  // namespace velmora
