#pragma once

#include <string>
#include <string_view>

namespace velmora::standin {

// A ticker symbol as the quote services know them: an optional leading '^'
// (an index), then 1 to 15 letters, digits, '.', '-' or '=', starting with a
// letter or digit ("MSFT", "BRK-B", "^TV.O", "EURUSD=X").
bool IsWellFormedSymbol(std::string_view symbol);
std::string UpperSymbol(std::string_view symbol);

}  // namespace velmora::standin
