// List loading, the index mapping and the symbol search.
#include "monitor/security_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "monitor/security_store.h"
#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using test::LogTexts;
using test::ReadFile;
using test::WriteFile;

class SecurityList : public ::testing::Test {
 protected:
  int load(const std::string& content) {
    WriteFile(kSecurityListFileName, content);
    return ReadSecurityList(store_, kSecurityListFileName, kRealTimeYahoo);
  }
  std::string display(int i) const { return store_.entry(i).displaySymbol(); }

  test::TempFolder folder_;
  test::ScopedCurrentDir here_{folder_.path()};
  SecurityStore store_;
};

TEST_F(SecurityList, MissingFileGetsTheDefaultListWrittenAndRead) {
  ASSERT_EQ(ReadSecurityList(store_, kSecurityListFileName, kRealTimeYahoo), 24);
  const std::string written = ReadFile(kSecurityListFileName);
  std::string expected;
  for (const char* line : kDefaultSecurityList) expected += std::string(line) + "\n";
  EXPECT_EQ(written, expected);
  EXPECT_EQ(display(0), "DJIA");
  EXPECT_EQ(display(1), "SP500");
  EXPECT_EQ(display(2), "NASDAQ");
  EXPECT_EQ(display(17), "MSFT");
  EXPECT_EQ(display(23), "ADCG.DE");
  EXPECT_TRUE(store_.entry(16).isIndex());   // ^SSEC
  EXPECT_FALSE(store_.entry(20).isIndex());  // 0001.HK
}

TEST_F(SecurityList, LineRules) {
  // An empty file is a list of nothing; no default list replaces it.
  EXPECT_EQ(load(""), 0);
  EXPECT_EQ(ReadFile(kSecurityListFileName), "");

  // First word only; blank lines skipped; the last line without its line
  // feed is lost; CR LF line ends work.
  EXPECT_EQ(load("MSFT  -- Microsoft\n\n   \nIBM\r\n\tmsft x y\nLAST"), 3);
  EXPECT_EQ(display(0), "MSFT");
  EXPECT_EQ(display(1), "IBM");
  EXPECT_EQ(display(2), "msft");

  // A line longer than 511 characters is read in pieces; each piece whose
  // first word fits is a line of its own.
  const std::string longLine = "AAA" + std::string(508, ' ') + "BBB tail\n";
  EXPECT_EQ(load(longLine + "CCC\n"), 3);
  EXPECT_EQ(display(1), "BBB");
  EXPECT_EQ(display(2), "CCC");

  // At most 512 symbols.
  std::string many;
  for (int i = 0; i < 600; ++i) many += "S" + std::to_string(i) + "\n";
  EXPECT_EQ(load(many), kMaxSecurities);
  EXPECT_EQ(display(511), "S511");
}

TEST_F(SecurityList, LeadingByteOrderMarkIsNotPartOfTheFirstSymbol) {
  const std::string mark = "\xEF\xBB\xBF";
  EXPECT_EQ(load(mark + "MSFT       -- Microsoft Corporation\r\nIBM\n"), 2);
  EXPECT_EQ(display(0), "MSFT");
  EXPECT_EQ(std::string(store_.entry(0).querySymbol()), "MSFT");
  EXPECT_EQ(display(1), "IBM");

  // A mark alone on the first line leaves a line without a word; a mark
  // anywhere else is not one and stays.
  EXPECT_EQ(load(mark + "\n^ixic\nX" + mark + "\n"), 2);
  EXPECT_EQ(display(0), "NASDAQ");
  EXPECT_EQ(display(1), "X" + mark);
}

TEST_F(SecurityList, SymbolsThatCanNotNameAFileAreRefusedWithALogLine) {
  const std::string tooLong(64, 'X');
  EXPECT_EQ(load("MSFT\n" + tooLong +
                 "\n../etc\nA/B\nC\x01"
                 "D\n" +
                 std::string(63, 'Y') + "\nIBM\n"),
            3);
  EXPECT_EQ(display(0), "MSFT");
  EXPECT_EQ(display(1), std::string(63, 'Y'));
  EXPECT_EQ(display(2), "IBM");
  const auto log = LogTexts();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0],
            "Symbol '" + std::string(63, 'X') + "...' is longer than 63 characters and is not monitored.");
  EXPECT_EQ(log[1], "Symbol '../etc' can not name a file in this folder and is not monitored.");
  EXPECT_EQ(log[2], "Symbol 'A/B' can not name a file in this folder and is not monitored.");
  EXPECT_EQ(log[3], "Symbol 'C?D' can not name a file in this folder and is not monitored.");
}

TEST(SecurityListFolder, UnwritableFolderGivesAnEmptyListInsteadOfLoopingForEver) {
  SecurityStore store;
  // A path in a folder that does not exist can be neither read nor created.
  test::TempFolder folder;
  test::ScopedCurrentDir here(folder.path());
  EXPECT_EQ(ReadSecurityList(store, "missing/List.dat", kRealTimeYahoo), 0);
  ASSERT_EQ(LogTexts().size(), 1u);
  EXPECT_EQ(LogTexts()[0],
            "Can not open or create the security list 'missing/List.dat'; no security is monitored.");
}

struct Mapping {
  const char* listed;
  int server;
  const char* display;
  const char* query;
  bool isIndex;
};

class IndexMapping : public ::testing::TestWithParam<Mapping> {};

TEST_P(IndexMapping, SymbolsAndIndexFlag) {
  const Mapping& m = GetParam();
  SecurityData data;
  ASSERT_TRUE(InitSecurityEntry(data, m.listed, m.server));
  EXPECT_STREQ(data.displaySymbol, m.display);
  EXPECT_STREQ(data.querySymbol, m.query);
  EXPECT_EQ(data.isIndex != 0, m.isIndex);
}

INSTANTIATE_TEST_SUITE_P(BothServices, IndexMapping,
                         ::testing::Values(Mapping{"NASDAQ", kRealTimeYahoo, "NASDAQ", "^IXIC", true},
                                           Mapping{"NASDAQ", kRealTimeMyTrack, "NASDAQ", "COMPX", true},
                                           Mapping{"^ixic", kRealTimeYahoo, "NASDAQ", "^IXIC", true},
                                           Mapping{"^IXIC", kRealTimeMyTrack, "NASDAQ", "COMPX", true},
                                           Mapping{"^dji", kRealTimeYahoo, "DJIA", "^DJI", true},
                                           Mapping{"^DJI", kRealTimeMyTrack, "DJIA", "INDU", true},
                                           Mapping{"^GsPc", kRealTimeYahoo, "SP500", "^GSPC", true},
                                           Mapping{"^GSPC", kRealTimeMyTrack, "SP500", "SPX", true},
                                           Mapping{"nasdaq", kRealTimeYahoo, "nasdaq", "NASDAQ", false},
                                           Mapping{"msft", kRealTimeMyTrack, "msft", "MSFT", false},
                                           Mapping{"^ftse", kRealTimeYahoo, "^ftse", "^FTSE", true},
                                           Mapping{"rim.to", kRealTimeYahoo, "rim.to", "RIM.TO", false}));

TEST(InitSecurityEntryLimits, EmptyAndOverlongSymbolsAreRefused) {
  SecurityData data;
  EXPECT_FALSE(InitSecurityEntry(data, "", kRealTimeYahoo));
  EXPECT_FALSE(InitSecurityEntry(data, std::string(64, 'A').c_str(), kRealTimeYahoo));
  EXPECT_TRUE(InitSecurityEntry(data, std::string(63, 'a').c_str(), kRealTimeYahoo));
  EXPECT_EQ(std::string(data.querySymbol), std::string(63, 'A'));
}

TEST(FindSecurity, FirstPrefixMatchIgnoringCase) {
  SecurityStore store;
  EXPECT_EQ(FindSecurity(store, ""), -1);
  test::FillStore(store, {"^DJI", "IBM", "msft", "MSFT2", "ms"});
  EXPECT_EQ(FindSecurity(store, ""), 0);
  EXPECT_EQ(FindSecurity(store, "MS"), 2);
  EXPECT_EQ(FindSecurity(store, "ms"), 2);
  EXPECT_EQ(FindSecurity(store, "MSFT2"), 3);
  EXPECT_EQ(FindSecurity(store, "dj"), 0);  // display symbol DJIA
  EXPECT_EQ(FindSecurity(store, "^DJI"), -1);
  EXPECT_EQ(FindSecurity(store, "IBMX"), -1);
}

}  // namespace
}  // namespace velmora
