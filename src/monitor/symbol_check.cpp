#include "monitor/symbol_check.h"

#include <cstring>

#include "monitor/security_entry.h"

namespace velmora {

bool IsFileSafeSymbol(const char* symbol) {
  if (symbol == nullptr || symbol[0] == '\0') return false;
  const std::size_t n = std::strlen(symbol);
  if (n > static_cast<std::size_t>(kMaxSymbolLength)) return false;
  if (std::strstr(symbol, "..") != nullptr) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(symbol[i]);
    if (c == '/' || c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

std::string PrintableSymbol(const char* symbol) {
  std::string text;
  if (symbol == nullptr) return text;
  for (std::size_t i = 0; symbol[i] != '\0'; ++i) {
    if (i == static_cast<std::size_t>(kMaxSymbolLength)) {
      text += "...";
      break;
    }
    const unsigned char c = static_cast<unsigned char>(symbol[i]);
    text.push_back(c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c));
  }
  return text;
}

}  // namespace velmora
