#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::standin {

// 2703 -> "27.03" (cents are never negative here).
void AppendCents(std::string& out, std::int64_t cents);
// 10 -> "+0.10", -25 -> "-0.25", 0 -> "0.00".
void AppendSignedCents(std::string& out, std::int64_t cents);
// The change as a percentage of the previous close: "+0.37%".
void AppendSignedPercent(std::string& out, std::int64_t change, std::int64_t previousClose);
void AppendInt(std::string& out, std::int64_t value);
// 60302500 -> "60,302,500".
void AppendThousands(std::string& out, std::int64_t value);
// Escapes &, <, >, " for HTML text and attributes.
void AppendHtml(std::string& out, std::string_view text);

}  // namespace velmora::standin
