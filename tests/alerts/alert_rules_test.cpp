// Alerts.dat: the user's price rules.
#include "alerts/alert_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

TEST(AlertRules, ReadTheThreeKindsWithCommentsAndBlankLines) {
  std::vector<PriceRule> rules;
  std::vector<std::string> problems;
  ParseAlertRules(
      "\xEF\xBB\xBF# my levels\r\n"
      "MSFT above 420.50\r\n"
      "\n"
      "   IBM\tBELOW   120   # after the dip\n"
      "^GSPC Move 2.5\n"
      "  # indented comment\n"
      "KO above 60",  // a last line without its end
      rules, problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  ASSERT_EQ(rules.size(), 4u);
  EXPECT_EQ(rules[0].symbol, "MSFT");
  EXPECT_EQ(rules[0].kind, AlertKind::kAbove);
  EXPECT_EQ(rules[0].level, 420.50);
  EXPECT_EQ(rules[0].line, 2);
  EXPECT_EQ(rules[1].symbol, "IBM");
  EXPECT_EQ(rules[1].kind, AlertKind::kBelow);
  EXPECT_EQ(rules[1].level, 120);
  EXPECT_EQ(rules[1].line, 4);
  EXPECT_EQ(rules[2].symbol, "^GSPC");
  EXPECT_EQ(rules[2].kind, AlertKind::kMove);
  EXPECT_EQ(rules[2].level, 2.5);
  EXPECT_EQ(rules[3].line, 7);
  EXPECT_EQ(PriceRuleText(rules[0]), "above 420.50");
  EXPECT_EQ(PriceRuleText(rules[1]), "below 120.00");
  EXPECT_EQ(PriceRuleText(rules[2]), "move beyond 2.50%");
}

TEST(AlertRules, EveryLineThatDoesNotReadIsNamedByItsNumberAndSkipped) {
  std::vector<PriceRule> rules;
  std::vector<std::string> problems;
  ParseAlertRules(
      "MSFT above\n"        // 1: no level
      "MSFT over 400\n"     // 2: no such word
      "MSFT above 4,20\n"   // 3: a decimal comma is no "C" number
      "MSFT above -3\n"     // 4: below zero
      "MSFT below 0\n"      // 5: zero
      "MSFT above 12abc\n"  // 6: junk after the number
      "MSFT above 1e3\n"    // 7: no exponents
      "MSFT above 1 2\n"    // 8: a word too many
      "IBM below 99.5\n",   // 9: good
      rules, problems);
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0].line, 9);
  ASSERT_EQ(problems.size(), 8u);
  EXPECT_EQ(problems[0],
            "Alerts.dat line 1: 'MSFT above' is not SYMBOL above|below|move NUMBER; the line is skipped.");
  EXPECT_EQ(problems[1],
            "Alerts.dat line 2: 'MSFT over 400' needs above, below or move after the symbol; the "
            "line is skipped.");
  EXPECT_EQ(
      problems[2],
      "Alerts.dat line 3: 'MSFT above 4,20' needs a number above 0 such as 420.50; the line is skipped.");
  for (int i = 3; i < 7; ++i)
    EXPECT_EQ(
        problems[static_cast<std::size_t>(i)].rfind("Alerts.dat line " + std::to_string(i + 1) + ": ", 0), 0u)
        << problems[static_cast<std::size_t>(i)];
}

TEST(AlertRules, AMissingFileHasNoRulesAndNoProblems) {
  test::TempFolder folder;
  std::vector<PriceRule> rules;
  std::vector<std::string> problems;
  ReadAlertRules(folder.file("Alerts.dat"), rules, problems);
  EXPECT_TRUE(rules.empty());
  EXPECT_TRUE(problems.empty());

  test::WriteFile(folder.file("Alerts.dat"), "MSFT above 1\nnonsense\n");
  ReadAlertRules(folder.file("Alerts.dat"), rules, problems);
  EXPECT_EQ(rules.size(), 1u);
  EXPECT_EQ(problems.size(), 1u);
}

}  // namespace
}  // namespace velmora
