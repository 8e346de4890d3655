// Alerts.state: what was raised, so nothing is raised twice.
#include "alerts/alert_memory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace velmora {
namespace {

TEST(AlertMemory, RemembersEachEventOnceAndWritesWhatItReads) {
  AlertMemory memory;
  EXPECT_TRUE(memory.Remember("MSFT", "buy", 20261207));
  EXPECT_FALSE(memory.Remember("MSFT", "buy", 20261207));
  EXPECT_TRUE(memory.Remember("MSFT", "buy", 20261208));  // another day's mark
  EXPECT_TRUE(memory.Remember("IBM", "buy", 20261207));
  EXPECT_TRUE(memory.Remember("^GSPC", "move:2.50", 20261208));
  const std::string text = memory.Format();
  EXPECT_EQ(text,
            "# Alerts already raised: symbol, event, bar date.\n"
            "IBM buy 2026-12-07\n"
            "MSFT buy 2026-12-07\n"
            "MSFT buy 2026-12-08\n"
            "^GSPC move:2.50 2026-12-08\n");

  AlertMemory again;
  again.Parse(text);
  EXPECT_EQ(again.size(), 4u);
  EXPECT_TRUE(again.Contains("MSFT", "buy", 20261207));
  EXPECT_FALSE(again.Remember("^GSPC", "move:2.50", 20261208));
  EXPECT_EQ(again.Format(), text);
}

TEST(AlertMemory, SkipsLinesThatDoNotReadAndForgetsWhatIsLongPast) {
  AlertMemory memory;
  std::string text =
      "MSFT buy 2026-12-08\n"
      "MSFT buy\n"                  // no date
      "MSFT buy 2026-13-01\n"       // no such month
      "MSFT buy 2026-12-08 more\n"  // a word too many
      "garbage\n"
      "\n";
  // IBM has 33 bar dates: the oldest is forgotten, the 32 newest stay.
  for (int i = 0; i < 33; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "IBM sell 2026-%02d-%02d\n", 1 + i / 28, 1 + i % 28);
    text += line;
  }
  memory.Parse(text);
  const std::string kept = memory.Format();
  EXPECT_EQ(kept.find("IBM sell 2026-01-01\n"), std::string::npos) << kept;
  EXPECT_NE(kept.find("IBM sell 2026-01-02\n"), std::string::npos) << kept;
  EXPECT_NE(kept.find("MSFT buy 2026-12-08\n"), std::string::npos) << kept;
}

// A security's memory counts its own bar dates: a quote dated by the
// machine's day, far ahead of the history's clock, must not push the
// history's marks out, or the next pass would raise them again.
TEST(AlertMemory, AQuoteDatedFarAheadKeepsTheHistorysMarks) {
  AlertMemory memory;
  EXPECT_TRUE(memory.Remember("MSFT", "buy", 20250602));
  EXPECT_TRUE(memory.Remember("MSFT", "above:1.00", 20261208));
  EXPECT_TRUE(memory.Remember("IBM", "sell", 20240105));
  AlertMemory again;
  again.Parse(memory.Format());
  EXPECT_FALSE(again.Remember("MSFT", "buy", 20250602));
  EXPECT_FALSE(again.Remember("IBM", "sell", 20240105));
}

}  // namespace
}  // namespace velmora
