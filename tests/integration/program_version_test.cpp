// --version and --help of every installed program, run as real processes
// the way a user (or the package check) meets them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/app_identity.h"
#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::BinPath;
using test::ChildProcess;
using test::FileExists;
using test::TempFolder;

// The programs without windows; quote-standin only where it is built.
std::vector<std::string> headlessPrograms() {
  std::vector<std::string> programs{"velmora-monitor", "velmora-analyze", "velmora-backtest"};
  if (FileExists(BinPath("quote-standin"))) programs.push_back("quote-standin");
  return programs;
}

bool folderIsEmpty(const TempFolder& folder) {
  return std::filesystem::is_empty(std::filesystem::path(folder.path()));
}

// Runs `program` with `args` and no display at all: no X or Wayland
// server and no Qt platform named, as on a server or in a package check.
test::ProgramOutcome runWithoutDisplay(const std::string& program, const std::vector<std::string>& args,
                                       const std::string& dir) {
  std::vector<std::string> argv{"/usr/bin/env",    "-u", "DISPLAY",         "-u",
                                "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", BinPath(program)};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv, dir);
  test::ProgramOutcome r;
  if (!child.started()) return r;
  r.status = test::RunToEnd(child, r.out, std::chrono::seconds(30));
  r.err = child.DrainStderr();
  return r;
}

// --version prints one line "NAME VERSION" and exits 0 without doing the
// program's work: no Config.ini, log or report appears in the folder, and
// velmora-analyze does not ask for its FILE.
TEST(ProgramVersion, EveryProgramPrintsItsNameAndVersionAndDoesNothingElse) {
  std::vector<std::string> programs = headlessPrograms();
  if (FileExists(BinPath("velmora"))) programs.push_back("velmora");
  const std::string expected = std::string(" ") + kAppVersion;
  for (const std::string& program : programs) {
    SCOPED_TRACE(program);
    TempFolder folder;
    const test::ProgramOutcome r = runWithoutDisplay(program, {"--version"}, folder.path());
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.size(), 1u);
    EXPECT_EQ(r.out[0], program + expected);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(folderIsEmpty(folder));
  }
}

// --help names --version, exits 0 and starts nothing; the desktop program
// answers both before it needs a display.
TEST(ProgramVersion, HelpListsVersionAndNeedsNoDisplay) {
  std::vector<std::string> programs = headlessPrograms();
  if (FileExists(BinPath("velmora"))) programs.push_back("velmora");
  for (const std::string& program : programs) {
    SCOPED_TRACE(program);
    TempFolder folder;
    const test::ProgramOutcome r = runWithoutDisplay(program, {"--help"}, folder.path());
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out[0].rfind("Usage: " + program, 0), 0u) << r.out[0];
    int versionLines = 0;
    for (const std::string& line : r.out)
      if (line.find("  --version") == 0) ++versionLines;
    EXPECT_EQ(versionLines, 1);
    EXPECT_TRUE(folderIsEmpty(folder));
  }
}

}  // namespace
}  // namespace velmora
