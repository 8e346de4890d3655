#pragma once

#include <string>
#include <string_view>

namespace velmora {

// What a symbol of the list is, once trimmed and upper-cased, for the
// providers' own spellings.
struct SymbolShape {
  std::string text;         // trimmed, upper case; empty when the symbol does not read
  bool index = false;       // "^GSPC", or "NASDAQ" (the composite index, "^IXIC")
  bool market = false;      // a foreign market's suffix ("RY.TO", "VOD.L") or a Yahoo-only form ("EURUSD=X")
  bool classShare = false;  // one class letter after '.' or '-' ("BRK.B", "BRK-B")
  std::size_t classAt = 0;  // where the class separator is, when classShare
};

// Blanks around the symbol are dropped and letters upper-cased; a symbol
// that is empty, longer than 63 characters or holds a character outside
// [A-Za-z0-9.^=-] reads as no symbol (empty text).
SymbolShape ShapeOfSymbol(std::string_view symbol);

// Each provider's name for a symbol of the list; empty when it cannot serve
// it. Yahoo serves indices ("NASDAQ" as "^IXIC") and foreign markets as they
// are and writes a class share with '-' ("BRK-B"); Tiingo serves US shares
// in lower case with '-' for the class ("brk-b"); Finnhub US shares in upper
// case with '.' for the class ("BRK.B").
std::string YahooSymbol(std::string_view symbol);
std::string TiingoSymbol(std::string_view symbol);
std::string FinnhubSymbol(std::string_view symbol);

}  // namespace velmora
