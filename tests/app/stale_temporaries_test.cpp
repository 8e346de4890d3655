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

TEST(StaleTemporaryName, OnlyTheProgramsOwnTemporaryNames) {
  for (const char* name :
       {".Status.txt.velmora-tmp-Ab3xYz", ".Config.ini.velmora-tmp-x9Y8z7", ".MSFT.csv.velmora-tmp-k2LmN0",
        ".^DJI.csv.velmora-tmp-abcdef", ".Velmora.state.velmora-tmp-000000", ".velmora-write-check-a1b2C3"})
    EXPECT_TRUE(IsStaleTemporaryName(name)) << name;

  for (const char* name : {"Status.txt",         // the report itself
                           "Status.txt.Ab3xYz",  // a name a person gives a backup
                           "Config.ini.backup", "Status.txt.201226", "MSFT.csv.backup",
                           "Status.txt.velmora-tmp-Ab3xYz",         // no leading dot
                           ".Status.txt.velmora-tmp-Ab3xY",         // five characters
                           ".Status.txt.velmora-tmp-Ab3xYzz",       // seven
                           ".Status.txt.velmora-tmp-Ab-xYz",        // not mkstemp's alphabet
                           ".Status.txt.velmora-tmp-Ab3xYz~",       // something after it
                           "..velmora-tmp-Ab3xYz", "aaa1B2c3.tmp",  // the HTTP client's files are not these
                           ".velmora-write-check-a1b2C", "velmora-write-check-a1b2C3", ""})
    EXPECT_FALSE(IsStaleTemporaryName(name)) << name;
}

class StaleTemporaries : public ::testing::Test {
 protected:
  TempFolder folder_;
  test::ScopedCurrentDir here_{folder_.path()};
};

TEST_F(StaleTemporaries, StartRemovesLeftoversLogsThemAndKeepsEverythingElse) {
  const std::vector<std::string> stale = {".Status.txt.velmora-tmp-Ab3xYz", ".MSFT.csv.velmora-tmp-k2LmN0"};
  // The user's own copies, whatever they look like, and files of the old
  // temporary pattern, which can not be told from them.
  const std::vector<std::string> kept = {"Status.txt",        "MSFT.csv",        "List.dat",
                                         "notes.txt",         "MSFT.csv.bak.1",  "Config.ini.backup",
                                         "Status.txt.201226", "MSFT.csv.backup", "notes.txt.backup",
                                         "Status.txt.Ab3xYz", "aab1.tmp"};
  for (const auto& name : stale) WriteFile(name, "half-written");
  for (const auto& name : kept) WriteFile(name, "mine");
  std::filesystem::create_directory(".IBM.csv.velmora-tmp-Qw3rTy");  // never a folder of ours

  StartProcess();

  for (const auto& name : stale) EXPECT_FALSE(FileExists(name)) << name;
  for (const auto& name : kept) EXPECT_EQ(ReadFile(name), "mine") << name;
  EXPECT_TRUE(std::filesystem::is_directory(".IBM.csv.velmora-tmp-Qw3rTy"));
  EXPECT_EQ(logTexts(),
            (std::vector<std::string>{"Trevanta Software started.", "Removed 2 stale temporary files.",
                                      "Removed the stale temporary file .MSFT.csv.velmora-tmp-k2LmN0.",
                                      "Removed the stale temporary file .Status.txt.velmora-tmp-Ab3xYz."}));

  // A clean folder: nothing removed, nothing more logged than the start.
  std::filesystem::remove("Trevanta Software.log");
  StartProcess();
  EXPECT_EQ(logTexts(), std::vector<std::string>{"Trevanta Software started."});
}

TEST_F(StaleTemporaries, OneIsCountedAloneAndASymlinkIsLeftAlone) {
  WriteFile("target", "keep");
  std::filesystem::create_symlink("target", ".IBM.txt.velmora-tmp-Zx81Qa");
  WriteFile(".Status.txt.velmora-tmp-Ab3xYz", "");
  EXPECT_EQ(RemoveStaleTemporaryFiles(), 1);
  EXPECT_TRUE(std::filesystem::is_symlink(".IBM.txt.velmora-tmp-Zx81Qa"));
  EXPECT_EQ(ReadFile("target"), "keep");
  EXPECT_EQ(logTexts(),
            (std::vector<std::string>{"Removed 1 stale temporary file.",
                                      "Removed the stale temporary file .Status.txt.velmora-tmp-Ab3xYz."}));
}

// Another program writing in the same folder holds its temporary file locked
// until the rename; the clean-up must not take it away from under it.
TEST_F(StaleTemporaries, AFileBeingWrittenIsLeftAlone) {
  const char* name = ".Status.txt.velmora-tmp-Ab3xYz";
  WriteFile(name, "in progress");
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(RemoveStaleTemporaryFiles(), 0);
  EXPECT_TRUE(FileExists(name));
  ::close(fd);
  EXPECT_EQ(RemoveStaleTemporaryFiles(), 1);
  EXPECT_FALSE(FileExists(name));
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
