#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "alerts/alert.h"

namespace velmora {

// The user's price rules, one a line of Alerts.dat beside List.dat:
//
//   MSFT  above 420.50    # the last price rose above 420.50
//   IBM   below 120       # ... fell below 120.00
//   ^GSPC move  2.5       # the day's change went beyond +2.5 % or -2.5 %
//
// A symbol as List.dat lists it, a word (any letter case) and a positive
// "C" number; '#' starts a comment, blank lines are skipped. Each rule fires
// at most once per trading day of its security.

struct PriceRule {
  std::string symbol;                  // as written
  AlertKind kind = AlertKind::kAbove;  // kAbove, kBelow or kMove
  double level = 0;                    // a price, or a percent for kMove
  int line = 0;                        // 1-based line of the file
};

// The log names at most this many lines of Alerts.dat that do not read.
inline constexpr std::size_t kShownRuleProblems = 10;

// The rules of a file's text. A line that does not read is skipped; the
// first kShownRuleProblems of them each give a message naming the line's
// number in `problems`, the rest one message that counts them ("Alerts.dat:
// 99990 more lines can not be read and are skipped.").
void ParseAlertRules(std::string_view text, std::vector<PriceRule>& rules,
                     std::vector<std::string>& problems);

// The same from a file: a missing or unreadable file has no rules and no
// problems (price rules are optional); one that is no regular file (a FIFO)
// is not read and says so in `problems`.
void ReadAlertRules(const std::string& path, std::vector<PriceRule>& rules,
                    std::vector<std::string>& problems);

// What the rule watches, for people: "above 420.50", "below 120.00",
// "move beyond 2.50%".
std::string PriceRuleText(const PriceRule& rule);

// Whether the newest price and change meet the rule: strictly above or
// below the level, or a change percent beyond plus or minus it.
bool PriceRuleMet(const PriceRule& rule, double price, double changePercent);

}  // namespace velmora
