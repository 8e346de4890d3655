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
using test::SplitLines;
using test::StandinServer;
using test::TempFolder;
using test::WriteFile;

// Sets an environment variable for one scope (for the child processes).
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

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

TEST(DesktopProgram, StopSignalWithTheLoaderOff) {
  if (!haveDesktopProgram()) GTEST_SKIP() << "velmora is not built";
  TempFolder folder;
  WriteFile(folder.file("Config.ini"), "StartRealTimeQuoteLoader=No\r");
  ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
  ScopedVariable path("PATH", "/nonexistent");  // no opener: the web page step fails quietly
  ChildProcess velmora({BinPath("velmora")}, folder.path());
  ASSERT_TRUE(velmora.started());
  ASSERT_TRUE(waitFor([&] { return FileExists(folder.file("Status.txt")); }, 10s));
  velmora.Signal(SIGINT);
  ASSERT_EQ(velmora.Wait(20s), 0);
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(": Trevanta Software finished."), std::string::npos);
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
  WriteFile(folder.file("Config.ini"),
            "StartRealTimeQuoteLoader=Yes\rYahooHistoryQuoteSpreadSheetURL=" + base +
                "/table.csv\rYahooRealTimeQuoteSpreadSheetURL=" + base + "/d/quotes.csv\r");
  ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
  ScopedVariable path("PATH", "/nonexistent");
  ChildProcess velmora({BinPath("velmora")}, folder.path());
  ASSERT_TRUE(velmora.started());
  // The start line comes before the web page step's pause and the list.
  ASSERT_TRUE(waitFor([&] { return FileExists(folder.file("Trevanta Software.log")); }, 10s));
  velmora.Signal(SIGTERM);
  ASSERT_EQ(velmora.Wait(20s), 0);
  const auto lines = SplitLines(ReadFile(folder.file("Trevanta Software.log")));
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(": Trevanta Software finished."), std::string::npos);
}

}  // namespace
}  // namespace velmora
