#include "alerts/alert_rules.h"

#include <strings.h>

#include <charconv>
#include <cmath>
#include <cstdio>

#include "alerts/alert_files.h"

namespace velmora {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string_view> wordsOf(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    const std::size_t from = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    if (i > from) words.push_back(line.substr(from, i - from));
  }
  return words;
}

bool readKind(std::string_view word, AlertKind& kind) {
  const std::string w(word);
  if (strcasecmp(w.c_str(), "above") == 0) {
    kind = AlertKind::kAbove;
  } else if (strcasecmp(w.c_str(), "below") == 0) {
    kind = AlertKind::kBelow;
  } else if (strcasecmp(w.c_str(), "move") == 0) {
    kind = AlertKind::kMove;
  } else {
    return false;
  }
  return true;
}

// A positive "C" number, whatever the locale: from_chars never reads a
// decimal comma.
bool readLevel(std::string_view word, double& level) {
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, level, std::chars_format::fixed);
  return error == std::errc() && stop == end && std::isfinite(level) && level > 0;
}

std::string problem(int line, std::string_view text, const char* why) {
  char head[64];
  std::snprintf(head, sizeof head, "%s line %d: '", kAlertRulesFile, line);
  std::string out = head;
  out.append(text.substr(0, 120));
  out += "' ";
  out += why;
  out += "; the line is skipped.";
  return out;
}

}  // namespace

void ParseAlertRules(std::string_view text, std::vector<PriceRule>& rules,
                     std::vector<std::string>& problems) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int number = 0;
  std::size_t unread = 0;  // lines that do not read, past the first kShownRuleProblems
  const auto complain = [&](int line, std::string_view shown, const char* why) {
    if (++unread <= kShownRuleProblems) problems.push_back(problem(line, shown, why));
  };
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    line = line.substr(0, line.find('#'));
    const std::vector<std::string_view> words = wordsOf(line);
    if (words.empty()) continue;
    while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    PriceRule rule;
    rule.line = number;
    if (words.size() != 3) {
      complain(number, line, "is not SYMBOL above|below|move NUMBER");
    } else if (!readKind(words[1], rule.kind)) {
      complain(number, line, "needs above, below or move after the symbol");
    } else if (!readLevel(words[2], rule.level)) {
      complain(number, line, "needs a number above 0 such as 420.50");
    } else {
      rule.symbol = std::string(words[0]);
      rules.push_back(std::move(rule));
    }
  }
  if (unread > kShownRuleProblems) {
    const std::size_t more = unread - kShownRuleProblems;
    char text[128];
    std::snprintf(text, sizeof text, "%s: %zu more line%s can not be read and %s skipped.", kAlertRulesFile,
                  more, more == 1 ? "" : "s", more == 1 ? "is" : "are");
    problems.push_back(text);
  }
}

void ReadAlertRules(const std::string& path, std::vector<PriceRule>& rules,
                    std::vector<std::string>& problems) {
  std::string text;
  const AlertFileRead read = ReadAlertFile(path, text);
  if (read == AlertFileRead::kRead) ParseAlertRules(text, rules, problems);
  if (read == AlertFileRead::kNotRegular) problems.push_back(NotRegularFileText(path));
}

std::string PriceRuleText(const PriceRule& rule) {
  char text[96];
  if (rule.kind == AlertKind::kMove)
    std::snprintf(text, sizeof text, "move beyond %.2f%%", rule.level);
  else
    std::snprintf(text, sizeof text, "%s %.2f", rule.kind == AlertKind::kAbove ? "above" : "below",
                  rule.level);
  return text;
}

bool PriceRuleMet(const PriceRule& rule, double price, double changePercent) {
  switch (rule.kind) {
    case AlertKind::kAbove:
      return price > rule.level;
    case AlertKind::kBelow:
      return price > 0 && price < rule.level;
    case AlertKind::kMove:
      return std::fabs(changePercent) > rule.level;
    default:
      return false;
  }
}

}  // namespace velmora
