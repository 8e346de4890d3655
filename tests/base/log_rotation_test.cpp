// The log stays bounded: past its size limit it is moved to ".1" (older
// files shifted, three kept) and a new one is started, with every line whole
// in exactly one file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/log.h"
#include "base/system_config.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::FileExists;
using test::ReadFile;
using test::ScopedCurrentDir;
using test::ScopedVariable;
using test::SplitLines;
using test::TempFolder;
using test::WriteFile;

const std::regex kLine(
    "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday) "
    "(January|February|March|April|May|June|July|August|September|October|November|December) "
    "[0-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9]: (writer [0-9]+ line [0-9]+) x+");

// Sets the log's limit for one test, then puts the default back.
class ScopedLogLimit {
 public:
  explicit ScopedLogLimit(std::int64_t bytes) { SetLogMaxBytes(bytes); }
  ~ScopedLogLimit() { SetLogMaxBytes(kDefaultLogMaxBytes); }
};

// "writer W line N xxxx..." padded to about 100 bytes with its stamp.
std::string lineText(int writer, int n) {
  return "writer " + std::to_string(writer) + " line " + std::to_string(n) + " " + std::string(50, 'x');
}

// The current log and its rotated files, oldest first.
std::vector<std::string> logFilesOldestFirst(const TempFolder& folder) {
  std::vector<std::string> files;
  for (int n = kKeptLogFiles; n >= 1; --n)
    files.push_back(folder.file("Trevanta Software.log." + std::to_string(n)));
  files.push_back(folder.file("Trevanta Software.log"));
  return files;
}

// Every line of every file, oldest first; each must be whole (stamp, text,
// padding, line end) and no file may be larger than `limit`.
std::vector<std::string> readWholeLines(const TempFolder& folder, std::int64_t limit) {
  std::vector<std::string> texts;
  for (const std::string& file : logFilesOldestFirst(folder)) {
    if (!FileExists(file)) continue;
    const std::string content = ReadFile(file);
    EXPECT_LE(static_cast<std::int64_t>(content.size()), limit) << file;
    EXPECT_TRUE(content.empty() || content.back() == '\n') << file << " ends inside a line";
    for (const std::string& line : SplitLines(content)) {
      std::smatch m;
      if (!std::regex_match(line, m, kLine)) {
        ADD_FAILURE() << "split or damaged line in " << file << ": " << line;
        continue;
      }
      texts.push_back(m[3].str());
    }
  }
  return texts;
}

TEST(LogRotation, KeepsThreeOlderFilesAndTheNewestLines) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  constexpr std::int64_t kLimit = 1000;  // about nine lines a file
  ScopedLogLimit limit(kLimit);
  constexpr int kLines = 200;  // far more than four files hold
  for (int i = 0; i < kLines; ++i) LogMessage(lineText(0, i));

  for (int n = 1; n <= kKeptLogFiles; ++n)
    EXPECT_TRUE(FileExists(folder.file("Trevanta Software.log." + std::to_string(n)))) << n;
  EXPECT_FALSE(FileExists(folder.file("Trevanta Software.log.4")));

  // What is kept is the newest run of lines, in order, without a gap: the
  // oldest go whole files at a time.
  const auto texts = readWholeLines(folder, kLimit);
  ASSERT_GE(texts.size(), 3u * 8u);
  const int first = kLines - static_cast<int>(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(texts[i], "writer 0 line " + std::to_string(first + static_cast<int>(i)));
  EXPECT_EQ(texts.back(), "writer 0 line 199");
  // The newest rotated file was full: the line that followed would not have fitted.
  const std::string newest = ReadFile(folder.file("Trevanta Software.log.1"));
  const std::string following = SplitLines(ReadFile(folder.file("Trevanta Software.log"))).front();
  EXPECT_GT(newest.size() + following.size() + 1, static_cast<std::size_t>(kLimit));
}

TEST(LogRotation, ZeroNeverRotatesAndALineLargerThanTheLimitIsStillWritten) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  {
    ScopedLogLimit limit(0);
    for (int i = 0; i < 100; ++i) LogMessage(lineText(0, i));
    EXPECT_FALSE(FileExists(folder.file("Trevanta Software.log.1")));
    EXPECT_EQ(SplitLines(ReadFile(folder.file("Trevanta Software.log"))).size(), 100u);
  }
  {
    // A single line above the limit goes into a file of its own, whole.
    ScopedLogLimit limit(40);
    LogMessage(lineText(1, 0));
    LogMessage(lineText(1, 1));
    EXPECT_EQ(SplitLines(ReadFile(folder.file("Trevanta Software.log"))).size(), 1u);
    EXPECT_EQ(SplitLines(ReadFile(folder.file("Trevanta Software.log.1"))).size(), 1u);
    EXPECT_EQ(SplitLines(ReadFile(folder.file("Trevanta Software.log.2"))).size(), 100u);
  }
}

TEST(LogRotationThreads, ConcurrentWritersLoseNoLineAndSplitNone) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  constexpr int kWriters = 6;
  constexpr int kPerWriter = 150;
  // About 90 KB of lines in four files of at most 32 KB: three rotations,
  // nothing dropped.
  constexpr std::int64_t kLimit = 32 * 1024;
  ScopedLogLimit limit(kLimit);
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w)
    writers.emplace_back([w] {
      for (int i = 0; i < kPerWriter; ++i) LogMessage(lineText(w, i));
    });
  for (auto& t : writers) t.join();

  EXPECT_TRUE(FileExists(folder.file("Trevanta Software.log.2")));
  const auto texts = readWholeLines(folder, kLimit);
  ASSERT_EQ(texts.size(), static_cast<std::size_t>(kWriters * kPerWriter));
  // Every writer's lines are all there, once each and in its own order.
  std::map<int, int> next;
  for (const std::string& text : texts) {
    int writer = -1, n = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "writer %d line %d", &writer, &n), 2) << text;
    EXPECT_EQ(n, next[writer]) << text;
    next[writer] = n + 1;
  }
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(next[w], kPerWriter) << w;
}

TEST(LogRotation, AnotherProcessWritingTheSameLogLosesNoLine) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  constexpr int kPerProcess = 200;
  // About 40 KB in files of at most 16 KB: a few rotations by either
  // process, never two of the same file, so the three kept files hold all.
  constexpr std::int64_t kLimit = 16 * 1024;
  ScopedLogLimit limit(kLimit);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int i = 0; i < kPerProcess; ++i) LogMessage(lineText(1, i));
    std::_Exit(0);
  }
  for (int i = 0; i < kPerProcess; ++i) LogMessage(lineText(0, i));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const auto texts = readWholeLines(folder, kLimit);
  std::map<int, int> count;
  for (const std::string& text : texts) {
    int writer = -1, n = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "writer %d line %d", &writer, &n), 2) << text;
    ++count[writer];
  }
  EXPECT_EQ(count[0], kPerProcess);
  EXPECT_EQ(count[1], kPerProcess);
}

TEST(LogRotation, LimitComesFromConfigIniOrTheTestVariable) {
  TempFolder folder;
  ScopedCurrentDir here(folder.path());
  ScopedLogLimit restore(kDefaultLogMaxBytes);
  ScopedVariable noOverride(kLogMaxBytesVariable, "");

  ApplyConfiguredLogSize();  // no Config.ini
  EXPECT_EQ(LogMaxBytes(), kDefaultLogMaxBytes);
  WriteFile(folder.file("Config.ini"), "LogMaxSizeMB=3\r");
  ApplyConfiguredLogSize();
  EXPECT_EQ(LogMaxBytes(), 3 * 1024 * 1024);
  WriteFile(folder.file("Config.ini"), "LogMaxSizeMB=0\r");
  ApplyConfiguredLogSize();
  EXPECT_EQ(LogMaxBytes(), 0);
  // A negative size is taken as "never", an absurd one as the largest.
  WriteFile(folder.file("Config.ini"), "LogMaxSizeMB=-5\r");
  ApplyConfiguredLogSize();
  EXPECT_EQ(LogMaxBytes(), 0);
  WriteFile(folder.file("Config.ini"), "LogMaxSizeMB=999999\r");
  ApplyConfiguredLogSize();
  EXPECT_EQ(LogMaxBytes(), std::int64_t{kMaxLogMaxSizeMB} * 1024 * 1024);

  ScopedVariable bytes(kLogMaxBytesVariable, "4096");
  ApplyConfiguredLogSize();
  EXPECT_EQ(LogMaxBytes(), 4096);
}

TEST(LogRotation, SizeAndWebKeysAreWrittenOnlyWhenChanged) {
  SystemConfig config;
  SetConfigDefaults(config);
  const std::string plain = FormatConfig(config);
  EXPECT_EQ(plain.find("LogMaxSizeMB="), std::string::npos);
  EXPECT_EQ(plain.find("Web="), std::string::npos);

  config.LogMaxSizeMB = 0;
  config.Web = "0.0.0.0:8421";
  const std::string changed = FormatConfig(config);
  EXPECT_NE(changed.find("\r\nLogMaxSizeMB=0\r\n"), std::string::npos);
  EXPECT_NE(changed.find("\r\nWeb=0.0.0.0:8421\r\n"), std::string::npos);

  // A save keeps their lines where the user put them.
  const std::string existing = "; mine\r\nWeb=8080\r\nShowMA=No\r\nLogMaxSizeMB=20\r\n";
  config.Web = "127.0.0.1:9000";
  config.LogMaxSizeMB = 20;
  const std::string merged = MergeConfig(existing, config);
  EXPECT_EQ(merged.substr(0, merged.find("ShowMA=")), "; mine\r\nWeb=127.0.0.1:9000\r\n");
  EXPECT_NE(merged.find("ShowMA=Yes\r\nLogMaxSizeMB=20\r\n"), std::string::npos);

  TempFolder folder;
  WriteFile(folder.file("Config.ini"), "Web=[::1]:8421\rLogMaxSizeMB=1\r");
  SystemConfig read;
  ASSERT_TRUE(ReadConfig(read, folder.file("Config.ini")));
  EXPECT_EQ(read.Web, "[::1]:8421");
  EXPECT_EQ(EffectiveLogMaxSizeMB(read), 1);
}

}  // namespace
}  // namespace velmora
