#pragma once

// Edit > Add Security and Edit > Remove Security: the watch list changed
// through its file, which keeps its comments, order and line ends and is
// replaced whole (never left half-written).

#include <string>

class QWidget;

namespace velmora {

class SecurityStore;

// Why `symbol` can not be added to the list of `store` ("" when it can).
std::string ListAddProblem(const SecurityStore& store, const std::string& symbol, int realTimeServer);

// Adds a line holding `symbol` at the end of the list file; false with the
// reason in `error` when the file can not be read or written.
bool AddListedSymbol(const std::string& path, const std::string& symbol, std::string& error);

// Removes the line of store entry `index` from the list file; false with
// the reason in `error` when the file no longer lists that security where
// the store has it (it changed since it was read) or can not be written.
bool RemoveListedSecurity(const std::string& path, const SecurityStore& store, int index, int realTimeServer,
                          std::string& error);

// The dialogs: asks for a symbol (or whether to remove the security), shows
// what went wrong. True when the file was changed.
bool AskAndAddSecurity(QWidget* owner, const SecurityStore& store, const std::string& path,
                       int realTimeServer);
bool AskAndRemoveSecurity(QWidget* owner, const SecurityStore& store, int index, const std::string& path,
                          int realTimeServer);

}  // namespace velmora
