// velmora-monitor's sixteen loader threads over a long list with failing
// symbols, while another program keeps reading what it writes. Under the
// thread sanitizer build this is the race check of the whole loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::ChildProcess;
using test::ReadFile;
using test::SplitLines;
using test::StandinServer;
using test::TempFolder;
using test::WriteFile;

constexpr int kSecurities = 512;

std::string symbolOf(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "SK%03d", i);
  return text;
}

// A local history file is whole when every row has its six fields and the
// text ends with a line end: a reader never sees a file half written.
bool wholeCsv(const std::string& text) {
  if (text.empty() || text.back() != '\n') return false;
  for (const std::string& row : SplitLines(text))
    if (std::count(row.begin(), row.end(), ',') != 5) return false;
  return true;
}

TEST(MonitorSoakThreads, LongListWithFaultsOnSixteenThreadsNeitherRacesNorTears) {
  // Every kind of failure a pass can meet, spread over the threads' shares.
  std::vector<std::string> args;
  const char* const kinds[] = {"404", "500", "502", "empty", "garbage", "truncated", "slow=40", "redirect"};
  for (int i = 0; i < 16; ++i) {
    args.push_back("--fault");
    args.push_back(symbolOf(i * 31 + 5) + "=" + kinds[i % 8]);
  }
  StandinServer standin(args);
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  std::string list;
  for (int i = 0; i < kSecurities; ++i) list += symbolOf(i) + "\n";
  WriteFile(folder.file("List.dat"), list);
  test::WriteMonitorConfig(folder, standin.port(), "ThreadLoadQuoteNum=16\nQuoteInterval=0");
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "2"}, folder.path());

  // Another program reads the reports and the local files all along.
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    int i = 0;
    while (!done.load()) {
      const std::string csv = ReadFile(folder.file(symbolOf(i % kSecurities) + ".csv"));
      if (!csv.empty()) {
        ++reads;
        if (!wholeCsv(csv)) ++torn;
      }
      const std::string status = ReadFile(folder.file("Status.txt"));
      if (!status.empty() && status.back() != '\n') ++torn;
      i += 7;
      std::this_thread::sleep_for(1ms);
    }
  });
  std::vector<std::string> out;
  const int status = test::RunToEnd(monitor, out, 600s);
  done = true;
  reader.join();
  const std::string errors = monitor.DrainStderr();

  // A stand-in that ended early (a sanitizer report, a crash) explains
  // every failed security at once: say so with what it printed.
  // Otherwise the log's last lines tell what the transfers met.
  std::string standinEnd;
  if (status != 0) {
    const int standinStatus = standin.process().Wait(0ms);
    if (standinStatus >= 0) {
      standinEnd = "quote-standin ended with status " + std::to_string(standinStatus) + ":\n" +
                   standin.process().DrainStderr();
    } else {
      const std::vector<std::string> log = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
      standinEnd = "quote-standin still runs; the log ends with:\n";
      for (std::size_t i = log.size() > 20 ? log.size() - 20 : 0; i < log.size(); ++i)
        standinEnd += log[i] + "\n";
    }
  }
  EXPECT_EQ(status, 0) << errors << standinEnd;
  EXPECT_EQ(errors.find("ThreadSanitizer"), std::string::npos) << errors;
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(reads.load(), 0);
  // Every security without a fault was loaded: its row of the status
  // report has a quote time and its local files are there.
  int loaded = 0;
  for (int i = 0; i < kSecurities; ++i) loaded += test::FileExists(folder.file(symbolOf(i) + ".csv")) ? 1 : 0;
  EXPECT_GE(loaded, kSecurities - 16);
  EXPECT_EQ(SplitLines(ReadFile(folder.file("Status.txt"))).size(),
            static_cast<std::size_t>(kSecurities) + 2);
}

}  // namespace
}  // namespace velmora
