// velmora-monitor started as a real process in a temporary folder.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::ChildProcess;
using test::FileExists;
using test::ReadFile;
using test::SplitLines;
using test::TempFolder;
using test::WriteFile;

// Waits until the log holds a line ending in `suffix`.
bool waitForLogLine(const TempFolder& folder, const std::string& suffix, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    for (const auto& line : SplitLines(ReadFile(folder.file("Trevanta Software.log"))))
      if (line.size() >= suffix.size() &&
          line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
        return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

class MonitorStartExit : public ::testing::TestWithParam<int> {};

TEST_P(MonitorStartExit, LogsStartAndFinishAndDeletesOnlyTemporaryFiles) {
  TempFolder folder;
  WriteFile(folder.file("Config.ini"), "StartRealTimeQuoteLoader=No\r");
  for (const char* name : {"aaa1.tmp", "aaaB2.tmp", "aab1.tmp", "aaa1.txt", "xaaa1.tmp"})
    WriteFile(folder.file(name), "x");
  // What writes killed before their rename leave behind goes at start; the
  // user's own copies stay, whatever their names.
  const std::vector<std::string> stale = {".Status.txt.velmora-tmp-Ab3xYz", ".IBM.csv.velmora-tmp-k2LmN0"};
  const std::vector<std::string> kept = {"Config.ini.backup", "Status.txt.201226", "MSFT.csv.backup",
                                         "notes.txt.backup",  "Status.txt.Ab3xYz", "notes"};
  for (const auto& name : stale) WriteFile(folder.file(name), "x");
  for (const auto& name : kept) WriteFile(folder.file(name), "x");

  ChildProcess monitor({BinPath("velmora-monitor")}, folder.path());
  ASSERT_TRUE(monitor.started());
  ASSERT_TRUE(waitForLogLine(folder, ": Trevanta Software started.", 10s));
  monitor.Signal(GetParam());
  ASSERT_EQ(monitor.Wait(10s), 0);

  EXPECT_FALSE(FileExists(folder.file("aaa1.tmp")));
  EXPECT_FALSE(FileExists(folder.file("aaaB2.tmp")));
  EXPECT_TRUE(FileExists(folder.file("aab1.tmp")));
  EXPECT_TRUE(FileExists(folder.file("aaa1.txt")));
  EXPECT_TRUE(FileExists(folder.file("xaaa1.tmp")));
  for (const auto& name : stale) EXPECT_FALSE(FileExists(folder.file(name))) << name;
  for (const auto& name : kept) EXPECT_EQ(ReadFile(folder.file(name)), "x") << name;

  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_NE(lines.front().find(": Trevanta Software started."), std::string::npos);
  EXPECT_NE(lines[1].find(": Removed 2 stale temporary files."), std::string::npos);
  EXPECT_NE(lines[2].find(": Removed the stale temporary file .IBM.csv.velmora-tmp-k2LmN0."),
            std::string::npos);
  EXPECT_NE(lines.back().find(": Trevanta Software finished."), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(StopSignals, MonitorStartExit, ::testing::Values(SIGTERM, SIGINT));

TEST(MonitorOptions, HelpAndUnknownOptions) {
  ChildProcess help({BinPath("velmora-monitor"), "--help"});
  EXPECT_EQ(help.Wait(10s), 0);
  EXPECT_NE(help.DrainStdout().find("Usage: velmora-monitor"), std::string::npos);

  ChildProcess bad({BinPath("velmora-monitor"), "--bogus"});
  EXPECT_EQ(bad.Wait(10s), 2);
  EXPECT_NE(bad.DrainStderr().find("unknown option '--bogus'"), std::string::npos);
}

// With nothing to load the start-up reports are the only pass: --passes
// ends the run at once instead of waiting for passes that never come.
TEST(MonitorOptions, PassesWithAnEmptyListEndAfterTheStartUpReports) {
  TempFolder folder;
  WriteFile(folder.file("Config.ini"), "StartRealTimeQuoteLoader=Yes\r");
  WriteFile(folder.file("List.dat"), "");
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "2"}, folder.path());
  ASSERT_EQ(monitor.Wait(10s), 0);
  EXPECT_TRUE(FileExists(folder.file("Status.txt")));
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(": Trevanta Software finished."), std::string::npos);
}

}  // namespace
}  // namespace velmora
