// velmora-monitor under a failing quote service, an unwritable folder and
// unattended options.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <string>

#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::ChildProcess;
using test::FileExists;
using test::IndexIn;
using test::MonitorLog;
using test::ReadFile;
using test::SplitLines;
using test::StandinServer;
using test::TempFolder;
using test::WriteFile;

TEST(MonitorFaults, ProxyErrorPausesTheThreadForTheConfiguredPause) {
  TempFolder folder;
  WriteFile(folder.file("List.dat"), "AAA\nBBB\nCCC\n");
  auto healthy = std::make_unique<StandinServer>();
  ASSERT_TRUE(healthy->ok());
  const int port = healthy->port();
  test::WriteMonitorConfig(folder, port, "ThreadLoadQuoteNum=1\nQuoteInterval=0");
  test::ScopedVariable pause("VELMORA_FAILURE_PAUSE_MS", "1500");
  ChildProcess monitor({BinPath("velmora-monitor"), "--progress"}, folder.path());
  ASSERT_TRUE(test::ReadUntil(monitor, "Securities loaded: 3 of 3"));

  // The same service comes back answering 502 for BBB's quotes.
  healthy.reset();
  const std::string requests = folder.file("requests.log");
  StandinServer failing({"--port", std::to_string(port), "--fault", "BBB=502", "--request-log", requests});
  ASSERT_TRUE(failing.ok());
  ASSERT_TRUE(test::WaitForLog(folder, "Thread 1 got proxy error when processing real time quote of BBB."));
  const auto log = MonitorLog(folder);
  const int proxy = IndexIn(log, "Thread 1 got proxy error when processing real time quote of BBB.");
  ASSERT_LT(static_cast<std::size_t>(proxy) + 1, log.size());
  EXPECT_EQ(log[static_cast<std::size_t>(proxy) + 1], "Thread 1 will sleep 30 seconds.");

  // The stand-in logs each request when its answer is done, so lines of
  // requests close together may swap; only gaps of more than 20 ms count.
  const auto proxyErrorTime = [](const std::vector<test::StandinRequest>& requests) {
    for (const auto& r : requests)
      if (r.symbol == "BBB" && r.status == 502) return r.seconds;
    return -1.0;
  };
  const auto requestAfter = [](const std::vector<test::StandinRequest>& requests, double from) {
    for (const auto& r : requests)
      if (r.seconds >= from) return true;
    return false;
  };
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline) {
    monitor.ReadLine(line, 50ms);  // keeps the progress lines flowing
    const auto seen = test::ReadRequestLog(requests);
    const double t = proxyErrorTime(seen);
    if (t > 0 && requestAfter(seen, t + 1.4)) break;
  }
  monitor.Signal(SIGTERM);
  std::vector<std::string> rest;
  EXPECT_EQ(test::RunToEnd(monitor, rest, 30s), 0);

  const auto seen = test::ReadRequestLog(requests);
  const double t = proxyErrorTime(seen);
  ASSERT_GT(t, 0);
  for (const auto& r : seen)
    EXPECT_FALSE(r.seconds > t + 0.02 && r.seconds < t + 1.4)
        << r.path << " " << r.symbol << " " << r.seconds - t;
  EXPECT_TRUE(requestAfter(seen, t + 1.4));
}

TEST(MonitorFaults, StopWhileTheServiceHangsExitsPromptly) {
  StandinServer standin({"--fault", "^DJI=hang"});
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  test::WriteMonitorConfig(folder, standin.port(), "ThreadLoadQuoteNum=4\nQuoteInterval=0");
  ChildProcess monitor({BinPath("velmora-monitor"), "--progress"}, folder.path());
  ASSERT_TRUE(test::ReadUntil(monitor, "Loading history quote for symbol DJIA ......"));
  std::this_thread::sleep_for(300ms);  // the request is out and hanging

  const auto before = std::chrono::steady_clock::now();
  monitor.Signal(SIGTERM);
  std::vector<std::string> rest;
  EXPECT_EQ(test::RunToEnd(monitor, rest, 30s), 0);
  // Far below the 120 s a hung transfer may take, with room for a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
  const auto log = MonitorLog(folder);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Trevanta Software finished.");
  EXPECT_FALSE(FileExists(folder.file("DJIA.csv")));
}

TEST(MonitorFaults, UnwritableFolderIsRefusedWithAMessage) {
  TempFolder folder;
  // Root may write anywhere on disk; /proc refuses new files to everyone.
  std::string where = folder.path();
  if (::geteuid() == 0)
    where = "/proc";
  else
    ::chmod(folder.path().c_str(), 0555);
  ChildProcess monitor({BinPath("velmora-monitor")}, where);
  EXPECT_EQ(monitor.Wait(10s), 3);
  const std::string err = monitor.DrainStderr();
  EXPECT_NE(err.find("velmora-monitor: can not write in the folder '" + where + "'"), std::string::npos)
      << err;
  ::chmod(folder.path().c_str(), 0755);
  EXPECT_FALSE(FileExists(folder.file("Trevanta Software.log")));
}

TEST(MonitorFaults, LoaderOffWritesTheStartUpReportsAndOnePassEndsIt) {
  TempFolder folder;
  WriteFile(folder.file("Config.ini"), "StartRealTimeQuoteLoader=No\r");
  WriteFile(folder.file("List.dat"), "MSFT\nibm\n");
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "1"}, folder.path());
  EXPECT_EQ(monitor.Wait(10s), 0);
  const auto status = SplitLines(ReadFile(folder.file("Status.txt")));
  ASSERT_EQ(status.size(), 4u);
  EXPECT_EQ(status[2].substr(0, 17), "    MSFT         ");  // nothing loaded: blank time
  EXPECT_EQ(status[3].substr(0, 8), "     ibm");
  const auto log = MonitorLog(folder);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "Trevanta Software started.");
  EXPECT_EQ(log[1], "Trevanta Software finished.");
}

TEST(MonitorFaults, EveryThreadGivingUpEndsAPassesRunWithItsOwnStatus) {
  TempFolder folder;
  WriteFile(folder.file("List.dat"), "EA\nEB\nEC\n");
  StandinServer standin({"--fault", "EA=empty", "--fault", "EB=empty", "--fault", "EC=empty"});
  ASSERT_TRUE(standin.ok());
  test::WriteMonitorConfig(folder, standin.port(), "ThreadLoadQuoteNum=1");
  test::ScopedVariable retry("VELMORA_RETRY_PAUSE_MS", "10");
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "1"}, folder.path());
  EXPECT_EQ(monitor.Wait(15s), 4);
  EXPECT_NE(monitor.DrainStderr().find("every loader thread gave up"), std::string::npos);
  EXPECT_GE(IndexIn(MonitorLog(folder), "Thread 1 ceased."), 0);
}

// A loopback port where nothing listens: one the system hands out, let go again.
int unusedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

// A scheduled run must tell a service that is down from a good run.
TEST(MonitorFaults, PassesThatLoadNothingEndWithTheirOwnStatusAndSayWhy) {
  TempFolder folder;
  WriteFile(folder.file("List.dat"), "MSFT\nIBM\n");
  const int port = unusedLoopbackPort();
  ASSERT_GT(port, 0);
  test::WriteMonitorConfig(folder, port, "ThreadLoadQuoteNum=1\nQuoteInterval=0");
  test::ScopedVariable retry("VELMORA_RETRY_PAUSE_MS", "10");
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "1", "--progress"}, folder.path());
  std::vector<std::string> out;
  EXPECT_EQ(test::RunToEnd(monitor, out), 5);
  EXPECT_EQ(monitor.DrainStderr(),
            "velmora-monitor: no security loaded (0 loaded, 2 failed; first failure: MSFT: could not reach "
            "the quote service).\n");

  // The status line (printed with --progress) names the service, and the
  // log has it once.
  const std::string line = "Can not connect to the quote service at 127.0.0.1:" + std::to_string(port) + ".";
  EXPECT_GE(IndexIn(out, line), 0);
  const auto log = MonitorLog(folder);
  EXPECT_EQ(test::CountIn(log, line), 1);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Trevanta Software finished.");
}

TEST(MonitorFaults, CommandLineAndEnvironmentMistakes) {
  ChildProcess help({BinPath("velmora-monitor"), "--help"});
  EXPECT_EQ(help.Wait(10s), 0);
  const std::string usage = help.DrainStdout();
  for (const char* word :
       {"--passes N", "--progress", "VELMORA_FAILURE_PAUSE_MS", "VELMORA_RETRY_PAUSE_MS", "5 with --passes"})
    EXPECT_NE(usage.find(word), std::string::npos) << word;

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--passes"}, {"--passes", "0"}, {"--passes", "2x"}}) {
    std::vector<std::string> argv{BinPath("velmora-monitor")};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess bad(argv);
    EXPECT_EQ(bad.Wait(10s), 2);
    EXPECT_NE(bad.DrainStderr().find("--passes needs a number"), std::string::npos);
  }

  test::ScopedVariable pause("VELMORA_FAILURE_PAUSE_MS", "soon");
  ChildProcess badPause({BinPath("velmora-monitor")});
  EXPECT_EQ(badPause.Wait(10s), 2);
  EXPECT_NE(badPause.DrainStderr().find("VELMORA_FAILURE_PAUSE_MS must be a number of milliseconds"),
            std::string::npos);
}

}  // namespace
}  // namespace velmora
