// The desktop program end to end: quote-standin and velmora (offscreen) in a
// data folder; the monitor's rows fill and update, the reports are written,
// and a stop signal ends it cleanly. The program writes its monitor canvas
// to a PPM file (VELMORA_CANVAS_SNAPSHOT) for the test to read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <thread>

#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::ChildProcess;
using test::FileExists;
using test::ReadFile;
using test::ScopedVariable;
using test::SplitLines;
using test::StandinServer;
using test::TempFolder;
using test::WriteFile;

struct Snapshot {
  int fullPaints = -1;
  int rowUpdates = -1;
  int width = 0;
  int height = 0;
  std::string rgb;

  struct Pixel {
    int r, g, b;
  };
  Pixel at(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return {static_cast<unsigned char>(rgb[i]), static_cast<unsigned char>(rgb[i + 1]),
            static_cast<unsigned char>(rgb[i + 2])};
  }
};

// "P6\n# fullPaints N rowUpdates M\nW H\n255\n" and the pixels.
std::optional<Snapshot> readSnapshot(const std::string& path) {
  const std::string data = ReadFile(path);
  Snapshot s;
  int headerLength = 0;
  if (std::sscanf(data.c_str(), "P6\n# fullPaints %d rowUpdates %d\n%d %d\n255\n%n", &s.fullPaints,
                  &s.rowUpdates, &s.width, &s.height, &headerLength) != 4 ||
      headerLength == 0)
    return std::nullopt;
  s.rgb = data.substr(static_cast<size_t>(headerLength));
  if (s.rgb.size() != static_cast<size_t>(s.width) * static_cast<size_t>(s.height) * 3) return std::nullopt;
  return s;
}

// Pixels of the rise (0,144,0) or fall (255,0,0) colour in list rows 1 and
// below (row 0 carries the red selection frame).
int colouredRowPixels(const Snapshot& s) {
  constexpr int kLineHeight = 15;
  int n = 0;
  for (int y = 2 * kLineHeight + 4; y < s.height; ++y)
    for (int x = 3; x < s.width - 3; ++x) {
      const auto p = s.at(x, y);
      if ((p.r == 0 && p.g == 144 && p.b == 0) || (p.r == 255 && p.g == 0 && p.b == 0)) ++n;
    }
  return n;
}

template <typename Done>
bool waitFor(Done done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return done();
}

// Builds without the desktop program (no Qt) skip these.
bool haveDesktopProgram() { return FileExists(BinPath("velmora")); }

TEST(DesktopProgram, MonitorRowsFillAndUpdateThenStopsCleanly) {
  if (!haveDesktopProgram()) GTEST_SKIP() << "velmora is not built";
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  const std::string base = standin.baseUrl();
  WriteFile(folder.file("Config.ini"),
            "ScreenWidth=-1\rScreenHeight=-1\rStartRealTimeQuoteLoader=Yes\r"
            "YahooHistoryQuoteURL=" +
                base +
                "/q/hp\r"
                "YahooHistoryQuoteSpreadSheetURL=" +
                base +
                "/table.csv\r"
                "YahooRealTimeQuoteSpreadSheetURL=" +
                base + "/d/quotes.csv\r");
  WriteFile(folder.file("List.dat"), "^DJI Dow\nMSFT\nIBM\nORCL\nINTC\nCSCO\nAAPL\nGE\nXOM\nKO\n");
  WriteFile(folder.file("aaa9.tmp"), "left by a killed run");
  // The desktop's opener, recording what it was asked to open.
  const std::string bin = folder.file("bin");
  mkdir(bin.c_str(), 0755);
  WriteFile(bin + "/xdg-open", "#!/bin/sh\necho \"$1\" >> \"" + folder.file("opened.txt") + "\"\n");
  chmod((bin + "/xdg-open").c_str(), 0755);

  const std::string canvas = folder.file("canvas.ppm");
  ScopedVariable path("PATH", bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"));
  ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
  ScopedVariable snapshot("VELMORA_CANVAS_SNAPSHOT", canvas);
  ChildProcess velmora({BinPath("velmora")}, folder.path());
  ASSERT_TRUE(velmora.started());

  // Rows fill: the loaded values colour the opens, closes and changes.
  std::optional<Snapshot> filled;
  ASSERT_TRUE(waitFor(
      [&] {
        filled = readSnapshot(canvas);
        return filled && colouredRowPixels(*filled) > 0;
      },
      30s))
      << "no coloured rows; stderr: " << velmora.DrainStderr();
  // Rows update: the real-time passes keep redrawing rows.
  std::optional<Snapshot> later;
  ASSERT_TRUE(waitFor(
      [&] {
        later = readSnapshot(canvas);
        return later && later->rowUpdates >= filled->rowUpdates + 10;
      },
      30s));
  EXPECT_GT(colouredRowPixels(*later), 0);

  // The reports are rewritten with the loaded list.
  ASSERT_TRUE(
      waitFor([&] { return ReadFile(folder.file("Status.txt")).find("MSFT") != std::string::npos; }, 10s));
  for (const char* report : {"SecurityWithBuySignal.txt", "SecurityWithSellSignal.txt",
                             "SecurityWithTrendChangedUp.txt", "SecurityWithTrendChangedDown.txt"})
    EXPECT_TRUE(FileExists(folder.file(report))) << report;
  EXPECT_TRUE(FileExists(folder.file("MSFT.csv")));
  EXPECT_EQ(ReadFile(folder.file("opened.txt")), base + "/stock-chart.php?symbol=NASDAQ\n");

  velmora.Signal(SIGTERM);
  ASSERT_EQ(velmora.Wait(20s), 0);
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines.front().find(": Trevanta Software started."), std::string::npos);
  EXPECT_NE(lines.back().find(": Trevanta Software finished."), std::string::npos);
  EXPECT_FALSE(FileExists(folder.file("aaa9.tmp")));
}

// Settings that start the loader against the stand-in at `base`.
std::string loaderConfig(const std::string& base) {
  return "StartRealTimeQuoteLoader=Yes\rYahooHistoryQuoteSpreadSheetURL=" + base +
         "/table.csv\rYahooRealTimeQuoteSpreadSheetURL=" + base + "/d/quotes.csv\r";
}

// Sends `signo` and checks the program ends cleanly: exit 0 and the last
// log line.
void expectCleanStop(ChildProcess& velmora, const TempFolder& folder, int signo) {
  velmora.Signal(signo);
  ASSERT_EQ(velmora.Wait(20s), 0);
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(": Trevanta Software finished."), std::string::npos);
}

TEST(DesktopProgram, StopSignalWithTheLoaderOff) {
  if (!haveDesktopProgram()) GTEST_SKIP() << "velmora is not built";
  TempFolder folder;
  WriteFile(folder.file("Config.ini"), "StartRealTimeQuoteLoader=No\r");
  ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
  ScopedVariable path("PATH", "/nonexistent");  // no opener: the web page step fails quietly
  ChildProcess velmora({BinPath("velmora")}, folder.path());
  ASSERT_TRUE(velmora.started());
  ASSERT_TRUE(waitFor([&] { return FileExists(folder.file("Status.txt")); }, 10s));
  expectCleanStop(velmora, folder, SIGINT);
  EXPECT_EQ(ReadFile(folder.file("List.dat")).empty(), false);  // the default list was written
}

// A stop signal that arrives while start-up is still pumping messages ends
// the program there: no loader thread starts or outlives the exit steps.
TEST(DesktopProgram, StopSignalDuringStartUp) {
  if (!haveDesktopProgram()) GTEST_SKIP() << "velmora is not built";
  StandinServer standin({"--latency", "200"});
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  const std::string base = standin.baseUrl();
  WriteFile(folder.file("Config.ini"), loaderConfig(base));
  ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
  ScopedVariable path("PATH", "/nonexistent");
  ChildProcess velmora({BinPath("velmora")}, folder.path());
  ASSERT_TRUE(velmora.started());
  // The start line comes before the web page step's pause and the list.
  ASSERT_TRUE(waitFor([&] { return FileExists(folder.file("Trevanta Software.log")); }, 10s));
  expectCleanStop(velmora, folder, SIGTERM);
}

// The desktop toolkit takes the user's locale; under a German one the files
// must still carry "C" numbers and English time names, or every reader of
// them (the program itself included) loses data.
TEST(DesktopProgram, FilesKeepCNumbersUnderAGermanLocale) {
  if (!haveDesktopProgram()) GTEST_SKIP() << "velmora is not built";
  const test::GeneratedLocale& german = test::GermanLocale();
  ASSERT_FALSE(german.path.empty()) << "localedef could not make " << german.name;
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  const std::string base = standin.baseUrl();
  WriteFile(folder.file("Config.ini"), loaderConfig(base));
  WriteFile(folder.file("List.dat"), "MSFT\nIBM\n");
  ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
  ScopedVariable path("PATH", "/nonexistent");
  ScopedVariable locPath("LOCPATH", german.path);
  ScopedVariable language("LC_ALL", german.name);
  ChildProcess velmora({BinPath("velmora")}, folder.path());
  ASSERT_TRUE(velmora.started());
  // Both securities loaded: their history files are written, and the
  // reports after them.
  ASSERT_TRUE(waitFor([&] { return SplitLines(ReadFile(folder.file("IBM.csv"))).size() > 700; }, 30s))
      << velmora.DrainStderr();
  ASSERT_TRUE(
      waitFor([&] { return ReadFile(folder.file("Status.txt")).find(".") != std::string::npos; }, 30s));
  velmora.Signal(SIGTERM);
  ASSERT_EQ(velmora.Wait(20s), 0);

  // Every history row is there, each with five numbers in "C" form.
  const auto rows = SplitLines(ReadFile(folder.file("MSFT.csv")));
  ASSERT_GT(rows.size(), 700u);
  for (const std::string& row : {rows[0], rows[rows.size() / 2], rows.back()}) {
    double open = 0, high = 0, low = 0, close = 0;
    long volume = -1;
    EXPECT_EQ(std::sscanf(row.c_str(), "%*[^,],%lf,%lf,%lf,%lf,%ld", &open, &high, &low, &close, &volume), 5)
        << row;
    EXPECT_GT(close, 0) << row;
    EXPECT_GE(high, low) << row;
  }
  const std::string status = ReadFile(folder.file("Status.txt"));
  const std::size_t msft = status.find("MSFT");
  ASSERT_NE(msft, std::string::npos);
  const std::string line = status.substr(msft, status.find('\n', msft) - msft);
  EXPECT_EQ(line.find(','), std::string::npos) << line;
  EXPECT_NE(line.find('.'), std::string::npos) << line;
  // Log stamps name the day and month in English.
  const auto log = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_FALSE(log.empty());
  static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
  for (const std::string& entry : {log.front(), log.back()}) {
    bool english = false;
    for (const char* day : kDays) english = english || entry.rfind(day, 0) == 0;
    EXPECT_TRUE(english) << entry;
  }
}

}  // namespace
}  // namespace velmora
