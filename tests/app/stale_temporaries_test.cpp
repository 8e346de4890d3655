// Start-up removal of the temporary files an interrupted write leaves behind.
#include "app/stale_temporaries.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/lifecycle.h"
#include "base/atomic_file.h"
#include "base/log.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::FileExists;
using test::ReadFile;
using test::SplitLines;
using test::TempFolder;
using test::WriteFile;

// The log's texts without their time stamps.
std::vector<std::string> logTexts() {
  std::vector<std::string> texts;
  for (const std::string& line : SplitLines(ReadFile(LogFileName()))) {
    const auto at = line.find(": ");
    texts.push_back(at == std::string::npos ? line : line.substr(at + 2));
  }
  return texts;
}

TEST(StaleTemporaryName, OnlyTheProgramsOwnMkstempNames) {
  for (const char* name :
       {"Status.txt.Ab3xYz", "SecurityWithBuySignal.txt.000000", "SecurityWithSellSignal.txt.zzzzzz",
        "SecurityWithTrendChangedUp.txt.a1B2c3", "SecurityWithTrendChangedDown.txt.QWERTY",
        "Config.ini.x9Y8z7", "MSFT.csv.k2LmN0", "MSFT.txt.k2LmN0", "^DJI.csv.abcdef", "0001.HK.txt.Zz09aA",
        ".velmora-write-check-a1b2C3"})
    EXPECT_TRUE(IsStaleTemporaryName(name)) << name;

  for (const char* name : {"Status.txt",             // the report itself
                           "MSFT.csv",               // a local history file
                           "Status.txt.Ab3xY",       // five characters
                           "Status.txt.Ab3xYzz",     // seven
                           "Status.txt.Ab-xYz",      // not mkstemp's alphabet
                           "Status.txt_Ab3xYz",      // no dot
                           "Status.txt.Ab3xYz.bak",  // something after it
                           "List.dat.Ab3xYz",        // never written by the program
                           "Trevanta Software.log.Ab3xYz",
                           "MSFT.xls.Ab3xYz",             // not a file it writes
                           "a..b.csv.Ab3xYz",             // a symbol it refuses to write
                           ".csv.Ab3xYz",                 // no symbol
                           "config.ini.Ab3xYz",           // letter case counts
                           "aaa1B2c3.tmp",                // the HTTP client's files are not these
                           ".velmora-write-check-a1b2C",  // five characters
                           "velmora-write-check-a1b2C3", "Ab3xYz", ""})
    EXPECT_FALSE(IsStaleTemporaryName(name)) << name;
}

class StaleTemporaries : public ::testing::Test {
 protected:
  TempFolder folder_;
  test::ScopedCurrentDir here_{folder_.path()};
};

TEST_F(StaleTemporaries, StartRemovesLeftoversLogsThemAndKeepsEverythingElse) {
  const std::vector<std::string> stale = {"Status.txt.Ab3xYz", "MSFT.csv.k2LmN0", "MSFT.txt.P0o9I8",
                                          "Config.ini.x9Y8z7"};
  const std::vector<std::string> kept = {
      "Status.txt",       "MSFT.csv",        "List.dat", "notes.txt",          "MSFT.csv.bak.1",
      "Status.txt.Ab3xY", "List.dat.Ab3xYz", "aab1.tmp", "Config.ini.x9Y8z7~", "SP500.csv.abc-de"};
  for (const auto& name : stale) WriteFile(name, "half-written");
  for (const auto& name : kept) WriteFile(name, "mine");
  std::filesystem::create_directory("IBM.csv.Qw3rTy");  // never a folder of ours

  StartProcess();

  for (const auto& name : stale) EXPECT_FALSE(FileExists(name)) << name;
  for (const auto& name : kept) EXPECT_EQ(ReadFile(name), "mine") << name;
  EXPECT_TRUE(std::filesystem::is_directory("IBM.csv.Qw3rTy"));
  const auto log = logTexts();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "Trevanta Software started.");
  EXPECT_EQ(log[1], "Removed 4 stale temporary files.");

  // A clean folder: nothing removed, nothing more logged than the start.
  std::filesystem::remove("Trevanta Software.log");
  StartProcess();
  EXPECT_EQ(logTexts(), std::vector<std::string>{"Trevanta Software started."});
}

TEST_F(StaleTemporaries, OneIsCountedAloneAndASymlinkIsLeftAlone) {
  WriteFile("target", "keep");
  std::filesystem::create_symlink("target", "IBM.txt.Zx81Qa");
  WriteFile("Status.txt.Ab3xYz", "");
  EXPECT_EQ(RemoveStaleTemporaryFiles(), 1);
  EXPECT_TRUE(std::filesystem::is_symlink("IBM.txt.Zx81Qa"));
  EXPECT_EQ(ReadFile("target"), "keep");
  EXPECT_EQ(logTexts(), std::vector<std::string>{"Removed 1 stale temporary file."});
}

// Another program writing in the same folder holds its temporary file locked
// until the rename; the clean-up must not take it away from under it.
TEST_F(StaleTemporaries, AFileBeingWrittenIsLeftAlone) {
  WriteFile("Status.txt.Ab3xYz", "in progress");
  const int fd = ::open("Status.txt.Ab3xYz", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(RemoveStaleTemporaryFiles(), 0);
  EXPECT_TRUE(FileExists("Status.txt.Ab3xYz"));
  ::close(fd);
  EXPECT_EQ(RemoveStaleTemporaryFiles(), 1);
  EXPECT_FALSE(FileExists("Status.txt.Ab3xYz"));
}

TEST_F(StaleTemporaries, AnAtomicWriteLeavesNothingToCleanUp) {
  ASSERT_TRUE(WriteFileAtomically("Status.txt", "report\n", false));
  ASSERT_TRUE(WriteFileAtomically("Config.ini", "ShowMA=Yes\r\n"));
  EXPECT_EQ(RemoveStaleTemporaryFiles(), 0);
  EXPECT_EQ(ReadFile("Status.txt"), "report\n");
  int files = 0;
  for (const auto& item : std::filesystem::directory_iterator(".")) files += item.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 2);
}

}  // namespace
}  // namespace velmora
