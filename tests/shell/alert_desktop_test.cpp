// Alerts of the desktop program end to end: quote-standin, the real velmora
// (offscreen) on a session bus of the test's own, and a notification
// service in this process that records what reaches it.
#include <gtest/gtest.h>

#include <QTest>
#include <csignal>
#include <cstdlib>
#include <sstream>

#include "shell/alert_session_bus.h"
#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::ChildProcess;
using test::FakeNotificationService;
using test::ReadFile;
using test::ScopedVariable;
using test::StandinServer;
using test::TempFolder;
using test::WriteFile;

// "+0.48" for a rise, as the notification shows a change.
std::string signedText(const std::string& number) {
  return number.empty() || number[0] == '-' || number == "0.00" ? number : "+" + number;
}

// The notification body the program must send for an alert, from that
// alert's row of Alerts.txt ("2026-12-08 15:31:07 MSFT  above 1.00  33.59
// 0.48 1.45%"): the time first, price, change and percent last.
std::string bodyFromReportRow(const std::string& row) {
  std::istringstream words(row);
  std::vector<std::string> w;
  for (std::string word; words >> word;) w.push_back(word);
  if (w.size() < 6 || w.back().empty() || w.back().back() != '%') return "unreadable row: " + row;
  const std::string percent = w[w.size() - 1].substr(0, w.back().size() - 1);
  return "Price " + w[w.size() - 3] + ", change " + signedText(w[w.size() - 2]) + " (" + signedText(percent) +
         "%), " + row.substr(0, 19);
}

// The row of Alerts.txt for `symbol`, or "" while there is none.
std::string reportRow(const TempFolder& folder, const std::string& symbol) {
  for (const std::string& row : test::SplitLines(ReadFile(folder.file("Alerts.txt"))))
    if (row.size() > 20 && row.compare(20, symbol.size() + 1, symbol + " ") == 0) return row;
  return {};
}

class DesktopAlerts : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::FileExists(BinPath("velmora"))) << "velmora is not built";
    ASSERT_FALSE(bus_.address().empty()) << "no dbus-daemon (Debian package dbus-daemon)";
    ASSERT_TRUE(standin_.ok());
    // One loader thread: the securities load in the list's order.
    test::WriteMonitorConfig(
        folder_, standin_.port(),
        "StartRealTimeQuoteLoader=Yes\nThreadLoadQuoteNum=1\nScreenWidth=-1\nScreenHeight=-1");
    WriteFile(folder_.file("List.dat"), "MSFT\nIBM\n");
  }
  void TearDown() override {
    service_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop-alerts-service"));
  }

  void startService() {
    service_ = std::make_unique<FakeNotificationService>(
        bus_.connect(QStringLiteral("desktop-alerts-service")), FakeNotificationService::Answer::kReply);
    ASSERT_TRUE(service_->registered());
  }

  // The program on the test's bus, with no browser to open.
  std::unique_ptr<ChildProcess> startVelmora() {
    ScopedVariable path("PATH", "/nonexistent");
    ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
    ScopedVariable bus("DBUS_SESSION_BUS_ADDRESS", bus_.address());
    auto velmora =
        std::make_unique<ChildProcess>(std::vector<std::string>{BinPath("velmora")}, folder_.path());
    EXPECT_TRUE(velmora->started());
    return velmora;
  }

  // Runs this process's event loop (the service answers from it) until
  // `done` or the time is up.
  template <typename Done>
  static bool pumpUntil(Done done, std::chrono::milliseconds limit = 60s) {
    return QTest::qWaitFor(done, static_cast<int>(limit.count()));
  }

  // Notifications received with this title, and the first of them.
  int count(const QString& summary) const {
    int n = 0;
    for (const test::ReceivedNotification& r : service_->received()) n += r.summary == summary;
    return n;
  }
  test::ReceivedNotification find(const QString& summary) const {
    for (const test::ReceivedNotification& r : service_->received())
      if (r.summary == summary) return r;
    return {};
  }

  void stop(ChildProcess& velmora) {
    velmora.Signal(SIGTERM);
    EXPECT_EQ(velmora.Wait(20s), 0) << velmora.DrainStderr();
  }

  TempFolder folder_;
  StandinServer standin_;
  test::PrivateSessionBus bus_;
  std::unique_ptr<FakeNotificationService> service_;
};

TEST_F(DesktopAlerts, ARaisedAlertIsOneNotificationAndARestartRepeatsNothing) {
  startService();
  WriteFile(folder_.file("Alerts.dat"), "# a level every price is above\nMSFT above 1\n");
  {
    std::unique_ptr<ChildProcess> velmora = startVelmora();
    ASSERT_TRUE(pumpUntil([&] { return count("MSFT: above 1.00") > 0; }))
        << "no notification; log:\n"
        << ReadFile(folder_.file("Trevanta Software.log"));
    ASSERT_TRUE(pumpUntil([&] { return !reportRow(folder_, "MSFT").empty(); }, 10s));
    const test::ReceivedNotification n = find("MSFT: above 1.00");
    EXPECT_EQ(n.appName, "Velmora");
    EXPECT_EQ(n.body.toStdString(), bodyFromReportRow(reportRow(folder_, "MSFT")));
    // The passes that follow meet the rule again: it stays one notification.
    pumpUntil([] { return false; }, 3s);
    EXPECT_EQ(count("MSFT: above 1.00"), 1);
    stop(*velmora);
  }

  // A restart: the MSFT alert was delivered and is not repeated; a rule
  // added for IBM (loaded after MSFT) fires, so the run is known to have
  // looked at MSFT by the time its notification comes.
  WriteFile(folder_.file("Alerts.dat"), "MSFT above 1\nIBM above 1\n");
  std::unique_ptr<ChildProcess> velmora = startVelmora();
  ASSERT_TRUE(pumpUntil([&] { return count("IBM: above 1.00") > 0; }))
      << "no IBM notification; log:\n"
      << ReadFile(folder_.file("Trevanta Software.log"));
  pumpUntil([] { return false; }, 2s);
  EXPECT_EQ(count("IBM: above 1.00"), 1);
  EXPECT_EQ(count("MSFT: above 1.00"), 1);
  stop(*velmora);
}

TEST_F(DesktopAlerts, WithoutANotificationServiceOrTrayTheLogTellsIt) {
  // The bus runs, nobody owns org.freedesktop.Notifications, and the
  // offscreen platform has no system tray.
  WriteFile(folder_.file("Alerts.dat"), "MSFT above 1\n");
  std::unique_ptr<ChildProcess> velmora = startVelmora();
  ASSERT_TRUE(test::WaitForLog(folder_,
                               "No desktop notification service or system tray: alerts are only logged", 60s))
      << ReadFile(folder_.file("Trevanta Software.log"));
  stop(*velmora);
  const std::vector<std::string> log = test::MonitorLog(folder_);
  int alertLines = 0;
  for (const std::string& line : log) alertLines += line.rfind("Alert: MSFT above 1.00", 0) == 0;
  EXPECT_EQ(alertLines, 1);
  EXPECT_EQ(test::CountIn(log, "No desktop notification service or system tray: alerts are only logged"), 1)
      << "said once, whatever the number of alerts";
  EXPECT_EQ(log.back(), "Trevanta Software finished.");
}

}  // namespace
}  // namespace velmora
