#include "providers/provider_symbols.h"

#include <cstring>

namespace velmora {

namespace {

bool isAllowed(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '^' ||
         c == '=' || c == '-';
}

bool isLetter(char c) { return c >= 'A' && c <= 'Z'; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One-letter Yahoo suffixes that name a market, not a share class: London,
// TSX Venture, Tokyo, Frankfurt.
bool isOneLetterMarket(char c) { return std::strchr("LVTF", c) != nullptr; }

std::string lowerCase(std::string text) {
  for (char& c : text)
    if (isLetter(c)) c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

SymbolShape ShapeOfSymbol(std::string_view symbol) {
  while (!symbol.empty() && isBlank(symbol.front())) symbol.remove_prefix(1);
  while (!symbol.empty() && isBlank(symbol.back())) symbol.remove_suffix(1);
  SymbolShape shape;
  if (symbol.empty() || symbol.size() > 63) return shape;
  for (const char c : symbol)
    if (!isAllowed(c)) return shape;
  shape.text.assign(symbol);
  for (char& c : shape.text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const std::string& s = shape.text;
  if (s == "NASDAQ" || s.front() == '^') {
    shape.index = true;
    return shape;
  }
  if (s.find_first_of("^=") != std::string::npos) {
    shape.market = true;  // a currency, a future or another Yahoo-only form
    return shape;
  }
  const std::size_t n = s.size();
  const bool oneLetterSuffix = n >= 3 && isLetter(s[n - 1]) && (s[n - 2] == '.' || s[n - 2] == '-');
  if (oneLetterSuffix && !(s[n - 2] == '.' && isOneLetterMarket(s[n - 1]))) {
    shape.classShare = true;
    shape.classAt = n - 2;
    // Anything else with a '.' before the class ("X.TO.B") is no US share.
    shape.market = s.find('.') < n - 2;
    return shape;
  }
  shape.market = s.find('.') != std::string::npos;
  return shape;
}

std::string YahooSymbol(std::string_view symbol) {
  SymbolShape shape = ShapeOfSymbol(symbol);
  if (shape.text == "NASDAQ") return "^IXIC";
  if (shape.classShare && !shape.market) shape.text[shape.classAt] = '-';
  return shape.text;
}

std::string TiingoSymbol(std::string_view symbol) {
  SymbolShape shape = ShapeOfSymbol(symbol);
  if (shape.text.empty() || shape.index || shape.market) return "";
  if (shape.classShare) shape.text[shape.classAt] = '-';
  return lowerCase(std::move(shape.text));
}

std::string FinnhubSymbol(std::string_view symbol) {
  SymbolShape shape = ShapeOfSymbol(symbol);
  if (shape.text.empty() || shape.index || shape.market) return "";
  if (shape.classShare) shape.text[shape.classAt] = '.';
  return shape.text;
}

}  // namespace velmora
