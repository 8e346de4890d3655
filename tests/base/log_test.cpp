#include "base/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "support/test_support.h"

namespace velmora {
namespace {

using test::ReadFile;
using test::ScopedCurrentDir;
using test::SplitLines;
using test::TempFolder;

const std::regex kStamp(
    "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday) "
    "(January|February|March|April|May|June|July|August|September|October|November|December) "
    "[0-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9]: ");

TEST(Log, LineFormatAndFileName) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  EXPECT_EQ(LogFileName(), "Trevanta Software.log");
  LogMessage("first");
  LogFormat("Symbol %s not found.", "XYZ");
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_EQ(lines.size(), 2u);
  std::smatch m;
  EXPECT_TRUE(std::regex_search(lines[0], m, kStamp));
  EXPECT_EQ(m.position(0), 0);
  EXPECT_EQ(m.suffix().str(), "first");
  EXPECT_TRUE(std::regex_search(lines[1], m, kStamp));
  EXPECT_EQ(m.suffix().str(), "Symbol XYZ not found.");
}

// Secrets stay for the process's life: these are unlike any other test's.
TEST(Log, EverySecretIsMaskedWhereverItStands) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  AddLogSecret("abc");  // too short to mask without masking words
  AddLogSecret("sekret-123");
  AddLogSecret("sekret-123-long");
  AddLogSecret("sekret-123");
  EXPECT_EQ(MaskLogSecrets("the key sekret-123 may not; abc"), "the key *** may not; abc");
  EXPECT_EQ(MaskLogSecrets("token=sekret-123-long&x=sekret-123sekret-123"), "token=***&x=******");
  LogFormat("Tiingo ECHO: bad data (detail: Error: the key %s may not ask for this).", "sekret-123");
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].find("sekret"), std::string::npos);
  EXPECT_NE(lines[0].find("the key *** may not"), std::string::npos);
}

TEST(Log, UnwritableLogLosesTheLineAndGoesOn) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  std::filesystem::create_directory(folder.file("Trevanta Software.log"));  // cannot be opened as a file
  LogMessage("lost");
  std::filesystem::remove(folder.file("Trevanta Software.log"));
  LogMessage("kept");
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(": kept"), std::string::npos);
}

TEST(Log, FatalExitLogsTwoStampsTellsStderrAndEndsWithStatusOne) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  // The reason also reaches whoever started the program, after its name.
  EXPECT_EXIT(FatalExit("Can not write XYZ.csv\n"), ::testing::ExitedWithCode(1),
              "^[^ ]+: Can not write XYZ\\.csv\n$");
  const std::string text = ReadFile(folder.file("Trevanta Software.log"));
  const auto lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 2u);  // the message's own line feed leaves an empty line
  EXPECT_EQ(lines[1], "");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(lines[0], m, kStamp));
  EXPECT_TRUE(std::regex_match(m.suffix().str(),
                               std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [A-Za-z]+, [A-Za-z]+ [0-3][0-9], "
                                          "[0-9]{4}: Can not write XYZ.csv")));
}

TEST(LogThreads, ConcurrentWritersProduceWholeLines) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  constexpr int kPerThread = 300;
  const std::string a(200, 'a'), b(200, 'b');
  std::thread t1([&] {
    for (int i = 0; i < kPerThread; ++i) LogMessage(a);
  });
  std::thread t2([&] {
    for (int i = 0; i < kPerThread; ++i) LogMessage(b);
  });
  t1.join();
  t2.join();
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_EQ(lines.size(), 2u * kPerThread);
  int as = 0, bs = 0;
  for (const auto& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m, kStamp)) << line;
    const std::string rest = m.suffix().str();
    if (rest == a)
      ++as;
    else if (rest == b)
      ++bs;
    else
      FAIL() << "torn line: " << line;
  }
  EXPECT_EQ(as, kPerThread);
  EXPECT_EQ(bs, kPerThread);
}

}  // namespace
}  // namespace velmora
