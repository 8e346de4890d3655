// velmora-monitor run as a service: the real program against the real
// quote-standin, with its web view, its pass lines on a terminal and its
// log rotating over a run.
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <regex>
#include <string>
#include <vector>

#include "support/loopback_listener.h"
#include "support/monitor_process_helpers.h"
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

// A loopback port nobody listens on at the moment.
int freePort() {
  int port = 0;
  const int fd = test::ListenOnLoopback(port);
  if (fd >= 0) ::close(fd);
  return port;
}

// The status code of GET `path` on 127.0.0.1:`port` (with `header` when
// given); -1 when nothing answers.
int httpStatus(int port, const std::string& path, const std::string& header = "") {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(10, 0);
  httplib::Headers headers;
  if (const auto colon = header.find(": "); colon != std::string::npos)
    headers.emplace(header.substr(0, colon), header.substr(colon + 2));
  const httplib::Result res = client.Get(path.c_str(), headers);
  return res ? res->status : -1;
}

// A monitor folder whose Config.ini points at `standin`, with `list`.
void prepareFolder(const TempFolder& folder, const StandinServer& standin, const std::string& list,
                   const std::string& extraConfig = "QuoteInterval=0") {
  test::WriteMonitorConfig(folder, standin.port(), extraConfig);
  WriteFile(folder.file("List.dat"), list);
}

TEST(HeadlessServiceWeb, AnswersWhileServingAndStopsWithTheMonitor) {
  TempFolder folder;
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  prepareFolder(folder, standin, "MSFT\nIBM\n");
  ScopedVariable noToken("VELMORA_WEB_TOKEN", "");
  const int port = freePort();
  ASSERT_GT(port, 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";

  ChildProcess monitor({BinPath("velmora-monitor"), "--web", "127.0.0.1:" + std::to_string(port)},
                       folder.path());
  ASSERT_TRUE(monitor.started());
  ASSERT_TRUE(test::ReadUntil(monitor, "velmora-monitor: web view at " + url)) << monitor.DrainStderr();
  EXPECT_EQ(httpStatus(port, "/api/health"), 200);
  // While it serves, the loaders go on: the reports of a whole pass appear.
  EXPECT_TRUE(test::WaitUntilFile(folder.file("MSFT.csv"), 20s));

  monitor.Signal(SIGTERM);
  ASSERT_EQ(monitor.Wait(20s), 0) << monitor.DrainStderr();
  EXPECT_EQ(httpStatus(port, "/api/health"), -1);  // nothing listens any more
  const auto log = test::MonitorLog(folder);
  const int webLine = test::IndexIn(log, "Web view at " + url);
  EXPECT_GT(webLine, test::IndexIn(log, "Trevanta Software started."));
  EXPECT_EQ(log.back(), "Trevanta Software finished.");
}

TEST(HeadlessServiceWeb, AnyAddressButLoopbackNeedsTheToken) {
  TempFolder folder;
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  prepareFolder(folder, standin, "MSFT\n");
  const int port = freePort();
  ASSERT_GT(port, 0);
  const std::string everywhere = "0.0.0.0:" + std::to_string(port);

  {
    // Without a token the monitor does not serve on every address: it stops
    // what it started and says why.
    ScopedVariable noToken("VELMORA_WEB_TOKEN", "");
    const auto r = test::RunProgram("velmora-monitor", {"--web", everywhere}, folder.path(), 30s);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.err.rfind("velmora-monitor: the web view could not start: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("token"), std::string::npos) << r.err;
    for (const auto& line : r.out) EXPECT_EQ(line.find("web view at"), std::string::npos) << line;
    EXPECT_EQ(test::MonitorLog(folder).back(), "Trevanta Software finished.");
  }

  // With the token of a file (the environment's is not the one used), the
  // view serves only requests that carry it.
  ScopedVariable otherToken("VELMORA_WEB_TOKEN", "not-this-one");
  WriteFile(folder.file("token"), "s3cret-Token-0123\n");
  ChildProcess monitor({BinPath("velmora-monitor"), "--web", everywhere, "--web-token-file", "token"},
                       folder.path());
  ASSERT_TRUE(test::ReadUntil(monitor, "velmora-monitor: web view at http://" + everywhere + "/"))
      << monitor.DrainStderr();
  EXPECT_EQ(httpStatus(port, "/api/health"), 401);
  EXPECT_EQ(httpStatus(port, "/api/health", "Authorization: Bearer not-this-one"), 401);
  EXPECT_EQ(httpStatus(port, "/api/health", "Authorization: Bearer s3cret-Token-0123"), 200);
  monitor.Signal(SIGTERM);
  EXPECT_EQ(monitor.Wait(20s), 0);
}

TEST(HeadlessServiceWeb, BadValuesAreRefusedBeforeAnythingStarts) {
  TempFolder folder;
  WriteFile(folder.file("Config.ini"), "StartRealTimeQuoteLoader=No\r");
  const struct {
    std::vector<std::string> args;
    const char* message;
  } usage[] = {
      {{"--web", "abc"}, "velmora-monitor: --web 'abc': "},
      {{"--web", "127.0.0.1:65536"}, "velmora-monitor: --web '127.0.0.1:65536': "},
      {{"--web", "8421", "--web-token-file", "missing-token"},
       "velmora-monitor: --web-token-file: can not read 'missing-token'"},
  };
  for (const auto& c : usage) {
    const auto r = test::RunProgram("velmora-monitor", c.args, folder.path(), 10s);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
  }
  EXPECT_FALSE(FileExists(folder.file("Trevanta Software.log")));

  // A bad Web= of Config.ini is found once the file is read.
  WriteFile(folder.file("Config.ini"), "StartRealTimeQuoteLoader=No\rWeb=eighty\r");
  const auto r = test::RunProgram("velmora-monitor", {}, folder.path(), 10s);
  EXPECT_EQ(r.status, 6);
  EXPECT_EQ(r.err.rfind("velmora-monitor: the web view could not start: Config.ini Web=eighty: ", 0), 0u)
      << r.err;
  // --web off wins over the key.
  const auto off = test::RunProgram("velmora-monitor", {"--web", "off", "--passes", "1"}, folder.path(), 10s);
  EXPECT_EQ(off.status, 0) << off.err;
}

// Runs velmora-monitor in `dir` with its output on a terminal; returns what
// the terminal showed, and the exit status in `status` (-1: it did not end).
std::string runOnTerminal(const std::vector<std::string>& args, const std::string& dir, int& status) {
  std::vector<std::string> words{BinPath("velmora-monitor")};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  int terminal = -1;
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  status = -1;
  if (pid < 0) return "";
  if (pid == 0) {
    if (::chdir(dir.c_str()) == 0) ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  std::string shown;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{terminal, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    char buffer[1024];
    const ssize_t n = ::read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;  // the program ended: the terminal closed
    shown.append(buffer, static_cast<std::size_t>(n));
  }
  int raw = 0;
  if (::waitpid(pid, &raw, 0) == pid && WIFEXITED(raw)) status = WEXITSTATUS(raw);
  ::close(terminal);
  return shown;
}

TEST(HeadlessServicePasses, ALinePerPassOnATerminalOnly) {
  TempFolder folder;
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  prepareFolder(folder, standin, "MSFT\nIBM\n^GSPC\n", "QuoteInterval=1");

  int status = -1;
  const std::string shown = runOnTerminal({"--passes", "3"}, folder.path(), status);
  EXPECT_EQ(status, 0) << shown;
  const std::regex passLine("pass ([0-9]+): 3 loaded, 0 failed, [0-9]+\\.[0-9] s\r?");
  std::vector<int> passes;
  for (const auto& line : SplitLines(shown)) {
    std::smatch m;
    if (std::regex_match(line, m, passLine)) passes.push_back(std::stoi(m[1].str()));
  }
  ASSERT_FALSE(passes.empty()) << shown;
  EXPECT_GE(passes.back(), 3);
  for (std::size_t i = 1; i < passes.size(); ++i) EXPECT_GT(passes[i], passes[i - 1]) << shown;

  const std::string quiet = runOnTerminal({"--passes", "2", "--quiet"}, folder.path(), status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(quiet.find("pass "), std::string::npos) << quiet;

  // Not a terminal: as silent as ever.
  const auto piped = test::RunProgram("velmora-monitor", {"--passes", "2"}, folder.path(), 30s);
  EXPECT_EQ(piped.status, 0);
  EXPECT_TRUE(piped.out.empty()) << piped.out.front();
}

TEST(HeadlessServiceLog, RotatesDuringARunKeepingThreeOlderFilesOfWholeLines) {
  TempFolder folder;
  StandinServer standin({"--fault", "YYYY=404", "--fault", "ZZZZ=500"});
  ASSERT_TRUE(standin.ok());
  prepareFolder(folder, standin, "MSFT\nIBM\nYYYY\n^GSPC\nZZZZ\n", "QuoteInterval=0\nThreadLoadQuoteNum=1");
  // The failures log about twenty lines; files of at most 300 bytes hold
  // two or three, so the log turns over several times in one run.
  constexpr std::size_t kLimit = 300;
  ScopedVariable limit("VELMORA_LOG_MAX_BYTES", std::to_string(kLimit));
  ScopedVariable quickRetries("VELMORA_RETRY_PAUSE_MS", "10");
  const auto r = test::RunProgram("velmora-monitor", {"--passes", "3"}, folder.path(), 60s);
  ASSERT_EQ(r.status, 0) << r.err;

  const std::string name = folder.file("Trevanta Software.log");
  for (const char* suffix : {"", ".1", ".2", ".3"}) EXPECT_TRUE(FileExists(name + suffix)) << suffix;
  EXPECT_FALSE(FileExists(name + ".4"));
  const std::regex wholeLine(
      "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday) "
      "(January|February|March|April|May|June|July|August|September|October|November|December) "
      "[0-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9]: .+");
  for (const char* suffix : {".3", ".2", ".1", ""}) {
    const std::string text = ReadFile(name + suffix);
    EXPECT_LE(text.size(), kLimit) << suffix;
    ASSERT_FALSE(text.empty()) << suffix;
    EXPECT_EQ(text.back(), '\n') << suffix;
    for (const auto& line : SplitLines(text)) EXPECT_TRUE(std::regex_match(line, wholeLine)) << line;
  }
  EXPECT_EQ(test::MonitorLog(folder).back(), "Trevanta Software finished.");
}

}  // namespace
}  // namespace velmora
