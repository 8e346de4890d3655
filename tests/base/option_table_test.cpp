#include "base/option_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

struct Picked {
  int count = 0;
  bool loud = false;
  std::vector<std::string> files;
};

const Option<Picked> kPickedOptions[] = {
    {.name = "--count",
     .value = "N",
     .help = "how many\n(default 0)",
     .manual = "How many.",
     .set =
         [](Picked& p, std::string_view v, std::string& error) {
           if (v == "1" || v == "2") {
             p.count = v[0] - '0';
             return true;
           }
           error = "--count wants 1 or 2";
           return false;
         }},
    {.name = "--loud",
     .letter = 'l',
     .help = "shout",
     .manual = "Shout.",
     .set = [](Picked& p, std::string_view, std::string&) { return p.loud = true; }},
    {.name = "--secret", .set = [](Picked&, std::string_view, std::string&) { return true; }, .hidden = true},
};

bool addFile(Picked& p, std::string_view text, std::string&) {
  p.files.emplace_back(text);
  return true;
}

bool parse(const OptionTable<Picked>& table, std::vector<const char*> args, Picked& p, std::string& error) {
  args.insert(args.begin(), "prog");
  return ParseCommandLine(table, static_cast<int>(args.size()), args.data(), p, error);
}

TEST(OptionTable, ReadsValuesSeparateOrJoinedSwitchesAndOperands) {
  const OptionTable<Picked> table{kPickedOptions, addFile};
  Picked p;
  std::string error;
  ASSERT_TRUE(parse(table, {"--count", "2", "a", "-l", "--", "--loud", "-"}, p, error)) << error;
  EXPECT_EQ(p.count, 2);
  EXPECT_TRUE(p.loud);
  EXPECT_EQ(p.files, (std::vector<std::string>{"a", "--loud", "-"}));
  Picked joined;
  ASSERT_TRUE(parse(table, {"--count=1"}, joined, error)) << error;
  EXPECT_EQ(joined.count, 1);
}

TEST(OptionTable, RefusesWithOneLineReasons) {
  const OptionTable<Picked> table{kPickedOptions};
  const struct {
    std::vector<const char*> args;
    const char* error;
  } cases[] = {
      {{"--count"}, "--count needs a value"},    {{"--count", "3"}, "--count wants 1 or 2"},
      {{"--bogus"}, "unknown option '--bogus'"}, {{"--loud=yes"}, "unknown option '--loud=yes'"},
      {{"file"}, "unknown option 'file'"},
  };
  for (const auto& c : cases) {
    Picked p;
    std::string error;
    EXPECT_FALSE(parse(table, c.args, p, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
  const OptionTable<Picked> wants{.options = kPickedOptions, .needsValue = " wants a value"};
  Picked p;
  std::string error;
  EXPECT_FALSE(parse(wants, {"--count"}, p, error));
  EXPECT_EQ(error, "--count wants a value");
}

TEST(OptionTable, WritesHelpLinesAndTheManualSection) {
  const OptionTable<Picked> table{kPickedOptions};
  EXPECT_EQ(OptionHelp(table, 12),
            "  --count N how many\n"
            "            (default 0)\n"
            "  --loud    shout\n");
  EXPECT_EQ(OptionHelp(table, 8),
            "  --count N\n"
            "        how many\n"
            "        (default 0)\n"
            "  --loud\n"
            "        shout\n");
  EXPECT_EQ(OptionManual(table),
            ".SH OPTIONS\n"
            ".TP\n"
            ".BI \\-\\-count \" N\"\n"
            "How many.\n"
            ".TP\n"
            ".B \\-\\-loud\n"
            "Shout.\n");
}

}  // namespace
}  // namespace velmora
