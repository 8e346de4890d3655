#include "market/symbols.h"

namespace velmora::standin {

namespace {

bool isAlnum(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

}  // namespace

bool IsWellFormedSymbol(std::string_view symbol) {
  if (!symbol.empty() && symbol.front() == '^') symbol.remove_prefix(1);
  if (symbol.empty() || symbol.size() > 15 || !isAlnum(symbol.front())) return false;
  for (char c : symbol) {
    if (!isAlnum(c) && c != '.' && c != '-' && c != '=') return false;
  }
  return true;
}

std::string UpperSymbol(std::string_view symbol) {
  std::string s(symbol);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

}  // namespace velmora::standin
