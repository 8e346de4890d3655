#include "provider_api/providers.h"

#include "market/symbols.h"

namespace velmora::standin {

Provider ProviderOf(ProviderEndpoint endpoint) {
  switch (endpoint) {
    case ProviderEndpoint::kYahooChart:
      return Provider::kYahoo;
    case ProviderEndpoint::kTiingoPrices:
    case ProviderEndpoint::kTiingoIex:
      return Provider::kTiingo;
    default:
      return Provider::kFinnhub;
  }
}

namespace {

constexpr const char* kProviderNames[kProviderCount] = {"yahoo", "tiingo", "finnhub"};

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

const char* ProviderName(Provider provider) { return kProviderNames[static_cast<int>(provider)]; }

bool ParseProviderName(std::string_view text, Provider& provider) {
  for (int i = 0; i < kProviderCount; ++i) {
    if (text == kProviderNames[i]) {
      provider = static_cast<Provider>(i);
      return true;
    }
  }
  return false;
}

bool IsIndexSymbol(std::string_view symbol) { return !symbol.empty() && symbol.front() == '^'; }

bool IsForeignListing(std::string_view symbol) {
  if (symbol.find('=') != std::string_view::npos) return true;
  const std::size_t dot = symbol.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view suffix = symbol.substr(dot + 1);
  if (suffix.size() >= 2) return true;
  if (suffix.size() != 1) return false;
  const char c = suffix[0];
  return c == 'L' || c == 'V' || c == 'T' || c == 'F' || c == 'l' || c == 'v' || c == 't' || c == 'f';
}

std::string SymbolOfTiingoTicker(std::string_view ticker) {
  std::string symbol = UpperSymbol(ticker);
  const std::size_t n = symbol.size();
  if (n >= 3 && symbol[n - 2] == '-' && isLetter(symbol[n - 1])) symbol[n - 2] = '.';
  return symbol;
}

}  // namespace velmora::standin
