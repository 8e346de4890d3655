#pragma once

#include <string>
#include <string_view>

#include "market/intraday_quote.h"

namespace velmora::standin {

// The composite index's total-volume symbol: its last price is ^IXIC's volume.
inline constexpr const char* kCompositeVolumeSymbol = "^TV.O";
inline constexpr const char* kCompositeSymbol = "^IXIC";

// A field list such as "sl1d1t1c1ohgv": lower-case letters, each optionally
// followed by one digit, at most 64 fields.
bool IsValidFieldList(std::string_view fields);

struct QuoteSubject {
  std::string symbol;  // as shown in the record
  bool isIndex = false;
  bool volumeOnly = false;  // ^TV.O: only the last price (a volume) exists
};

// One record line ("\n"-terminated) with a value per field, "N/A" where the
// value does not exist. For "sl1d1t1c1ohgv":
//   "MSFT",27.03,"12/6/2005","4:00pm",+0.10,26.93,27.09,26.85,60302500
// and for "st5l9c6p4b1a3" (the last two: bid and ask):
//   "MSFT","4:00pm",27.03,"+0.10","+0.37%",27.02,27.04
std::string QuoteRecord(const QuoteSubject& subject, std::string_view fields, const QuoteSnapshot& q);

}  // namespace velmora::standin
