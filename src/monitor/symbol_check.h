#pragma once

#include <string>

namespace velmora {

// Whether a symbol may name the files "<symbol>.csv" and "<symbol>.txt" in
// the current folder: not empty, at most 63 characters, no '/', no "..",
// no control characters.
bool IsFileSafeSymbol(const char* symbol);

// The symbol for a log line: control characters as '?', cut after 63
// characters with "..." appended.
std::string PrintableSymbol(const char* symbol);

}  // namespace velmora
