#include "base/system_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// The editor default reads the environment; each test sets it explicitly.
class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("SYSTEMROOT");
    unsetenv("VISUAL");
    unsetenv("EDITOR");
  }
  SystemConfig readText(const std::string& text) {
    WriteFile(folder.file("Config.ini"), text);
    SystemConfig c;
    EXPECT_TRUE(ReadConfig(c, folder.file("Config.ini")));
    return c;
  }
  TempFolder folder;
  test::ScopedCurrentDir here{folder.path()};  // the log of the reads
};

TEST_F(ConfigTest, DefaultsPointAtTheStandinService) {
  SystemConfig c;
  c.ShowVolume = 0;
  SetConfigDefaults(c);
  EXPECT_EQ(c.ShowVolume, 1);
  EXPECT_EQ(c.StartRealTimeQuoteLoader, 1);
  EXPECT_EQ(c.TrendChangeConfirmDays, 2);
  EXPECT_DOUBLE_EQ(c.ThresholdToEMA10, 20.0);
  EXPECT_EQ(c.ThreadLoadQuoteNum, 1);
  EXPECT_EQ(c.QuoteInterval, 0);
  EXPECT_EQ(c.YahooRealTimeQuoteSpreadSheetURL, "http://127.0.0.1:18321/d/quotes.csv");
  EXPECT_EQ(c.YahooHistoryQuoteSpreadSheetURL, "http://127.0.0.1:18321/table.csv");
  EXPECT_EQ(c.YahooHistoryQuoteURL, "http://127.0.0.1:18321/q/hp");
  EXPECT_EQ(c.Editor, "");
}

TEST_F(ConfigTest, MissingFileKeepsDefaults) {
  SystemConfig c;
  c.ShowMA = 0;
  EXPECT_FALSE(ReadConfig(c, folder.file("absent.ini")));
  EXPECT_EQ(c.ShowMA, 1);
}

TEST_F(ConfigTest, LinesEndAtAnyLineEndAndSwitchesReadTheUsualWords) {
  for (const char* text : {"ShowVolume=No\r", "ShowVolume=No", "ShowVolume=No\n", "ShowVolume=No\r\n",
                           "ShowMA=Yes\r\nShowVolume=No", "ShowMA=Yes\nShowVolume=No\n"}) {
    SystemConfig c = readText(text);
    EXPECT_EQ(c.ShowVolume, 0) << text;
    EXPECT_EQ(c.ShowMA, 1) << text;
  }
  EXPECT_EQ(readText("ThreadLoadQuoteNum=4\n\r").ThreadLoadQuoteNum, 4);
  EXPECT_EQ(readText("QuoteInterval=7\rThreadLoadQuoteNum=3\n").QuoteInterval, 7);
  struct Case {
    const char* value;
    int on;
  };
  for (const Case& k : {Case{"Yes", 1}, Case{"yes", 1}, Case{"1", 1}, Case{"TRUE", 1}, Case{" on ", 1},
                        Case{"No", 0}, Case{"0", 0}, Case{"false", 0}, Case{"Off", 0}}) {
    EXPECT_EQ(readText(std::string("ShowVolume=") + (k.on ? "No" : "Yes") + "\nShowVolume=" + k.value + "\n")
                  .ShowVolume,
              k.on)
        << k.value;
  }
}

TEST_F(ConfigTest, LinesThatCanNotBeUsedAreLoggedOnceWithTheirNumbers) {
  const std::string text =
      "# my settings\n"
      "\n"
      "ShowVolume=perhaps\n"
      "ThreadLoadQuoteNum=four\n"
      "Colour=blue\n"
      "ShowMA=No\n";
  SystemConfig c = readText(text);
  EXPECT_EQ(c.ShowVolume, 0);
  EXPECT_EQ(c.ThreadLoadQuoteNum, 0);
  EXPECT_EQ(c.ShowMA, 0);
  (void)readText(text);  // start-up reads the file more than once
  const std::string path = folder.file("Config.ini");
  EXPECT_EQ(test::LogCountOf(path + " line 3: \"ShowVolume=perhaps\" is not Yes or No; read as No."), 1);
  EXPECT_EQ(test::LogCountOf(path + " line 4: \"ThreadLoadQuoteNum=four\" is not a number; read as 0."), 1);
  EXPECT_EQ(test::LogCountOf(path + " line 5: \"Colour=blue\" names no setting; the line is ignored."), 1);
  EXPECT_EQ(test::LogTexts().size(), 3u);  // comments and blank lines are no problem
}

TEST_F(ConfigTest, FlagsAndEnumerationsByContainedWords) {
  SystemConfig c = readText(
      "StartRealTimeQuoteLoader=maybe\r"
      "ShowMA=Yes and more\r"
      "ShowBS=No Yes\r"
      "RealTimeQuoteServer=MyTrack\r"
      "HistoryQuoteServer=Yahoo_Html\r");
  EXPECT_EQ(c.StartRealTimeQuoteLoader, 0);
  EXPECT_EQ(c.ShowMA, 1);
  EXPECT_EQ(c.ShowBS, 1);
  EXPECT_EQ(c.RealTimeQuoteServer, 1);
  EXPECT_EQ(c.HistoryQuoteServer, 1);

  EXPECT_EQ(readText("RealTimeQuoteServer=Other\r").RealTimeQuoteServer, 0);
  EXPECT_EQ(readText("RealTimeQuoteServer=MyTrack\rRealTimeQuoteServer=Other\r").RealTimeQuoteServer, 1);
  EXPECT_EQ(readText("RealTimeQuoteServer=MyTrack\rRealTimeQuoteServer=Yahoo\r").RealTimeQuoteServer, 0);
  EXPECT_EQ(
      readText("HistoryQuoteServer=Yahoo_Html\rHistoryQuoteServer=Yahoo_Spread_Sheet\r").HistoryQuoteServer,
      0);
  EXPECT_EQ(readText("HistoryQuoteServer=Edreyfus\r").HistoryQuoteServer, 2);
  EXPECT_EQ(readText("HistoryQuoteServer=Edreyfus\rHistoryQuoteServer=nothing\r").HistoryQuoteServer, 2);
}

TEST_F(ConfigTest, ValuesAndKeyMatching) {
  SystemConfig c = readText(
      "\r\r"
      "ScreenWidth=800px\r"
      "ScreenHeight=abc\r"
      "QuoteInterval=10\r"
      "QuoteInterval=20\r"
      "ThresholdToEMA10=12.345\r"
      "showvolume=No\r"
      "ShowRSI = No\r"
      " ShowBS=No\r"
      "YahooHistoryQuoteURL= http://h/q/hp \r"
      "Editor=/usr/bin/vi\r");
  EXPECT_EQ(c.ScreenWidth, 800);
  EXPECT_EQ(c.ScreenHeight, 0);    // malformed number reads as 0
  EXPECT_EQ(c.QuoteInterval, 20);  // last line wins
  EXPECT_DOUBLE_EQ(c.ThresholdToEMA10, 12.345);
  EXPECT_EQ(c.ShowVolume, 1);  // key names are case-sensitive
  EXPECT_EQ(c.ShowRSI, 1);     // "ShowRSI =" is no key
  EXPECT_EQ(c.ShowBS, 1);
  EXPECT_EQ(c.YahooHistoryQuoteURL, " http://h/q/hp ");  // text is not trimmed
  EXPECT_EQ(c.Editor, "/usr/bin/vi");
}

TEST_F(ConfigTest, EditorDefaultRules) {
  setenv("SYSTEMROOT", "C:\\WINDOWS", 1);
  setenv("EDITOR", "nano", 1);
  EXPECT_EQ(readText("Editor=\r").Editor, "C:\\WINDOWS\\notepad");
  unsetenv("SYSTEMROOT");
  EXPECT_EQ(readText("Editor=\r").Editor, "nano");
  setenv("VISUAL", "gedit", 1);
  EXPECT_EQ(readText("Editor=\r").Editor, "gedit");
  EXPECT_EQ(readText("Editor=kate\r").Editor, "kate");
}

TEST_F(ConfigTest, OverlongLinesAreCut) {
  const std::string url(1000, 'u');
  SystemConfig c = readText("YahooHistoryQuoteURL=" + url + "\rShowMA=No\r");
  EXPECT_EQ(c.YahooHistoryQuoteURL.size(), 255u - std::string("YahooHistoryQuoteURL=").size());
  EXPECT_EQ(c.ShowMA, 0);  // the next line is read normally
}

TEST_F(ConfigTest, WriteProducesTheFixedLinesAndRoundTrips) {
  SystemConfig c;
  SetConfigDefaults(c);
  c.Editor = "vim";
  c.ScreenWidth = 800;
  c.ScreenHeight = -1;
  c.ShowBS = 0;
  c.ThresholdToEMA10 = 12.345;
  c.ThreadLoadQuoteNum = 4;
  c.QuoteInterval = 30;
  c.bCheckRSI = 0;
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini")),
            "\r\nEditor=vim\r\n\r\nScreenWidth=800\r\nScreenHeight=-1\r\n\r\n"
            "StartRealTimeQuoteLoader=Yes\r\n\r\nShowVolume=Yes\r\nShowMA=Yes\r\nShowBS=No\r\n"
            "ShowRSI=Yes\r\n\r\nQuoteInterval=30\r\n\r\nTrendChangeConfirmDays=2\r\n\r\n"
            "ThresholdToEMA10=12.35\r\n\r\nThreadLoadQuoteNum=4\r\nbCheckVolume=Yes\r\n"
            "bCheckRSI=No\r\nbCheckStochastics=Yes\r\n");

  SystemConfig back;
  ASSERT_TRUE(ReadConfig(back, folder.file("Config.ini")));
  EXPECT_EQ(back.Editor, "vim");
  EXPECT_EQ(back.ScreenHeight, -1);
  EXPECT_EQ(back.ShowBS, 0);
  EXPECT_DOUBLE_EQ(back.ThresholdToEMA10, 12.35);
  EXPECT_EQ(back.ThreadLoadQuoteNum, 4);
  EXPECT_EQ(back.bCheckRSI, 0);

  // Saving again over its own file gives the same bytes.
  const std::string first = ReadFile(folder.file("Config.ini"));
  ASSERT_TRUE(WriteConfig(back, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini")), first);
}

TEST_F(ConfigTest, SaveKeepsLinesItDoesNotOwnAndUpdatesItsOwnInPlace) {
  // A file set up by hand: the quote services point elsewhere, a comment,
  // a key of a newer version, and only some of the writer's keys.
  WriteFile(folder.file("Config.ini"),
            "# my settings\r\n"
            "RealTimeQuoteServer=MyTrack\r\n"
            "YahooHistoryQuoteSpreadSheetURL=http://10.1.2.3:8080/table.csv\r\n"
            "ShowVolume=Yes\r\n"
            "FutureKey=42\r\n"
            "ThresholdToEMA10=20.00\r\n");
  SystemConfig c;
  ASSERT_TRUE(ReadConfig(c, folder.file("Config.ini")));
  c.ShowVolume = 0;
  c.ThresholdToEMA10 = 7.5;
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini")),
            "# my settings\r\n"
            "RealTimeQuoteServer=MyTrack\r\n"
            "YahooHistoryQuoteSpreadSheetURL=http://10.1.2.3:8080/table.csv\r\n"
            "ShowVolume=No\r\n"
            "FutureKey=42\r\n"
            "ThresholdToEMA10=7.50\r\n"
            // the writer's other keys follow, in their usual order
            "Editor=\r\nScreenWidth=0\r\nScreenHeight=0\r\nStartRealTimeQuoteLoader=Yes\r\n"
            "ShowMA=Yes\r\nShowBS=Yes\r\nShowRSI=Yes\r\nQuoteInterval=0\r\n"
            "TrendChangeConfirmDays=2\r\nThreadLoadQuoteNum=1\r\nbCheckVolume=Yes\r\n"
            "bCheckRSI=Yes\r\nbCheckStochastics=Yes\r\n");

  SystemConfig back;
  ASSERT_TRUE(ReadConfig(back, folder.file("Config.ini")));
  EXPECT_EQ(back.RealTimeQuoteServer, kRealTimeMyTrack);
  EXPECT_EQ(back.YahooHistoryQuoteSpreadSheetURL, "http://10.1.2.3:8080/table.csv");
  EXPECT_EQ(back.ShowVolume, 0);
  EXPECT_DOUBLE_EQ(back.ThresholdToEMA10, 7.5);
}

TEST_F(ConfigTest, AddressesChangedInMemoryAreSavedAndOtherLineEndsAreKept) {
  // Lines ended by LF alone (an editor on this system) or by nothing at the
  // very end are kept as lines, not merged or dropped, and keep LF.
  WriteFile(folder.file("Config.ini"), "ShowMA=No\nKeepMe=1\nShowRSI=No");
  SystemConfig c;
  SetConfigDefaults(c);
  c.ShowMA = 0;
  c.YahooRealTimeQuoteSpreadSheetURL = "http://quotes.example:9000/d/quotes.csv";
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  const std::string text = ReadFile(folder.file("Config.ini"));
  EXPECT_EQ(text.substr(0, 31), "ShowMA=No\nKeepMe=1\nShowRSI=Yes\n");
  EXPECT_NE(text.find("\nYahooRealTimeQuoteSpreadSheetURL=http://quotes.example:9000/d/quotes.csv\n"),
            std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  // Addresses still at their defaults are not added to a file that never had them.
  EXPECT_EQ(text.find("YahooHistoryQuoteURL="), std::string::npos);
  SystemConfig back;
  ASSERT_TRUE(ReadConfig(back, folder.file("Config.ini")));
  EXPECT_EQ(back.YahooRealTimeQuoteSpreadSheetURL, "http://quotes.example:9000/d/quotes.csv");
}

TEST_F(ConfigTest, ByteOrderMarkBeforeTheFirstKeyIsSkipped) {
  SystemConfig c = readText("\xEF\xBB\xBFShowVolume=No\r\nShowMA=No\r\n");
  EXPECT_EQ(c.ShowVolume, 0);
  EXPECT_EQ(c.ShowMA, 0);
  // Only at the very start: elsewhere the bytes belong to the line.
  EXPECT_EQ(readText("ShowMA=No\r\n\xEF\xBB\xBFShowVolume=No\r\n").ShowVolume, 1);
  // A save drops the mark and keeps the first line.
  WriteFile(folder.file("Config.ini"), "\xEF\xBB\xBFShowVolume=No\r\n");
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini")).substr(0, 15), "ShowVolume=No\r\n");
}

TEST_F(ConfigTest, FailedRenameKeepsWhatWasThere) {
  std::filesystem::create_directory(folder.file("Config.ini"));
  WriteFile(folder.file("Config.ini/keep"), "x");
  SystemConfig c;
  SetConfigDefaults(c);
  EXPECT_FALSE(WriteConfig(c, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini/keep")), "x");
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.path())) ++files;
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

TEST_F(ConfigTest, SaveIntoMissingFolderFailsAndLeavesNoTemporaryFile) {
  SystemConfig c;
  SetConfigDefaults(c);
  EXPECT_FALSE(WriteConfig(c, folder.file("no/such/Config.ini")));
  EXPECT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.path())) ++files;
  EXPECT_EQ(files, 1);  // only Config.ini: the temporary file was renamed
}

TEST_F(ConfigTest, OutOfRangeValuesAreClampedWhereUsed) {
  SystemConfig c = readText("ThreadLoadQuoteNum=40\rTrendChangeConfirmDays=9\rQuoteInterval=-5\r");
  EXPECT_EQ(c.ThreadLoadQuoteNum, 40);  // stored as read
  EXPECT_EQ(EffectiveThreadCount(c), 16);
  EXPECT_EQ(EffectiveConfirmDays(c), 5);
  EXPECT_EQ(EffectiveQuoteIntervalSeconds(c), 0);
  c.ThreadLoadQuoteNum = 0;
  c.TrendChangeConfirmDays = -3;
  EXPECT_EQ(EffectiveThreadCount(c), 1);
  EXPECT_EQ(EffectiveConfirmDays(c), 0);
  // A pause that would overflow in milliseconds is at most a day.
  c = readText("QuoteInterval=2147484\r");
  EXPECT_EQ(EffectiveQuoteIntervalSeconds(c), 86400);
}

// The per-host connection cap is read like any number, kept to 1..16
// where used, and written only once it differs from its default, so a new
// file keeps its 23 lines and a file that never named it keeps its layout.
TEST_F(ConfigTest, MaxConnectionsPerHostIsWrittenOnlyWhenChanged) {
  SystemConfig c;
  SetConfigDefaults(c);
  EXPECT_EQ(c.MaxConnectionsPerHost, 8);
  EXPECT_EQ(EffectiveMaxConnectionsPerHost(c), 8);
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  const std::string fresh = ReadFile(folder.file("Config.ini"));
  EXPECT_EQ(fresh.find("MaxConnectionsPerHost"), std::string::npos);
  EXPECT_EQ(std::count(fresh.begin(), fresh.end(), '\n'), 23);

  c = readText("MaxConnectionsPerHost=3\r");
  EXPECT_EQ(c.MaxConnectionsPerHost, 3);
  c.MaxConnectionsPerHost = 0;
  EXPECT_EQ(EffectiveMaxConnectionsPerHost(c), 1);
  c = readText("MaxConnectionsPerHost=40\r");
  EXPECT_EQ(c.MaxConnectionsPerHost, 40);  // stored as read
  EXPECT_EQ(EffectiveMaxConnectionsPerHost(c), 16);

  // Changed: a new file gets it after the usual lines; a file that names it
  // keeps it where it stands.
  std::filesystem::remove(folder.file("Config.ini"));
  SetConfigDefaults(c);
  c.MaxConnectionsPerHost = 4;
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini")), fresh + "MaxConnectionsPerHost=4\r\n");
  WriteFile(folder.file("Config.ini"), "MaxConnectionsPerHost=2\r\nShowMA=No\r\n");
  ASSERT_TRUE(ReadConfig(c, folder.file("Config.ini")));
  c.MaxConnectionsPerHost = 8;
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini")).substr(0, 36), "MaxConnectionsPerHost=8\r\nShowMA=No\r\n");
}

// The chart sheet's back-test switch is off by default and, like the
// connection cap, reaches a file only once it is on: a new file keeps its
// 23 lines, and turning it off again updates its line in place.
TEST_F(ConfigTest, BacktestSwitchIsWrittenOnlyWhenOn) {
  SystemConfig c;
  SetConfigDefaults(c);
  EXPECT_EQ(c.bCheckBacktest, 0);
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  const std::string fresh = ReadFile(folder.file("Config.ini"));
  EXPECT_EQ(fresh.find("bCheckBacktest"), std::string::npos);
  EXPECT_EQ(std::count(fresh.begin(), fresh.end(), '\n'), 23);

  EXPECT_EQ(readText("bCheckBacktest=Yes\r").bCheckBacktest, 1);
  EXPECT_EQ(readText("bCheckBacktest=maybe\r").bCheckBacktest, 0);

  std::filesystem::remove(folder.file("Config.ini"));
  c.bCheckBacktest = 1;
  ASSERT_TRUE(WriteConfig(c, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini")), fresh + "bCheckBacktest=Yes\r\n");
  SystemConfig back;
  ASSERT_TRUE(ReadConfig(back, folder.file("Config.ini")));
  EXPECT_EQ(back.bCheckBacktest, 1);

  back.bCheckBacktest = 0;
  ASSERT_TRUE(WriteConfig(back, folder.file("Config.ini")));
  EXPECT_EQ(ReadFile(folder.file("Config.ini")), fresh + "bCheckBacktest=No\r\n");
  ASSERT_TRUE(ReadConfig(c, folder.file("Config.ini")));
  EXPECT_EQ(c.bCheckBacktest, 0);
}

}  // namespace
}  // namespace velmora
