// Alerts on the desktop through a real session bus (a dbus-daemon of the
// test's own): a notification service that answers, fails, hangs or is not
// there, and the tray or nothing in its place.
#include "shell/alert_notifier.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "shell/alert_session_bus.h"
#include "support/log_lines.h"

namespace velmora {
namespace {

using test::FakeNotificationService;

Alert makeAlert(const char* symbol, AlertKind kind, const char* event, double price, double change,
                double changePercent, const char* time) {
  Alert a;
  a.symbol = symbol;
  a.kind = kind;
  a.event = event;
  a.barDate = "2026-12-08";
  a.price = price;
  a.change = change;
  a.changePercent = changePercent;
  a.time = time;
  return a;
}

Alert msftBuy() {
  return makeAlert("MSFT", AlertKind::kBuy, "buy signal", 420.75, 3.25, 0.7784, "2026-12-08 15:31:07");
}
// A fall, and a change percent that rounds to nothing.
Alert ibmBelow() {
  return makeAlert("IBM", AlertKind::kBelow, "below 120.00", 119.5, -1.2049, -0.0001, "2026-12-08 15:40:00");
}

TEST(AlertNotificationText, NamesTheSecurityEventPriceChangeAndTime) {
  EXPECT_EQ(AlertNotificationTitle(msftBuy()), "MSFT: buy signal");
  EXPECT_EQ(AlertNotificationBody(msftBuy()), "Price 420.75, change +3.25 (+0.78%), 2026-12-08 15:31:07");
  // A fall keeps its sign; a change that rounds to nothing has none.
  EXPECT_EQ(AlertNotificationTitle(ibmBelow()), "IBM: below 120.00");
  EXPECT_EQ(AlertNotificationBody(ibmBelow()), "Price 119.50, change -1.20 (0.00%), 2026-12-08 15:40:00");
}

class AlertNotifierBus : public test::InTempDir, public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(bus_.address().empty()) << "no dbus-daemon (Debian package dbus-daemon)";
    static int serial = 0;
    ++serial;
    serverName_ = QStringLiteral("alert-test-server-%1").arg(serial);
    clientName_ = QStringLiteral("alert-test-client-%1").arg(serial);
  }
  void TearDown() override {
    service_.reset();
    notifier_.reset();
    QDBusConnection::disconnectFromBus(serverName_);
    QDBusConnection::disconnectFromBus(clientName_);
  }

  void startService(FakeNotificationService::Answer answer) {
    service_ = std::make_unique<FakeNotificationService>(bus_.connect(serverName_), answer);
    ASSERT_TRUE(service_->registered());
  }

  // The notifier on its own connection to the bus, with a tray of the test's
  // own that records its messages.
  AlertNotifier& makeNotifier(bool trayAvailable, int timeoutMs = 5000) {
    AlertNotifier::Options options;
    options.bus = bus_.connect(clientName_);
    options.timeoutMs = timeoutMs;
    options.trayAvailable = [trayAvailable] { return trayAvailable; };
    options.showTrayMessage = [this](const QString& title, const QString& body) {
      trayMessages_ << title + " | " + body;
    };
    notifier_ = std::make_unique<AlertNotifier>(options, nullptr);
    QObject::connect(notifier_.get(), &AlertNotifier::shown, [this](const Alert& alert, AlertRoute route) {
      shown_.push_back({alert.symbol, route});
    });
    return *notifier_;
  }

  bool waitShown(std::size_t count, int timeoutMs = 10000) {
    return QTest::qWaitFor([&] { return shown_.size() >= count; }, timeoutMs);
  }

  test::PrivateSessionBus bus_;
  QString serverName_;
  QString clientName_;
  std::unique_ptr<FakeNotificationService> service_;
  std::unique_ptr<AlertNotifier> notifier_;
  QStringList trayMessages_;
  std::vector<std::pair<std::string, AlertRoute>> shown_;
};

TEST_F(AlertNotifierBus, AnAlertFromTheDeliveryThreadBecomesOneNotification) {
  startService(FakeNotificationService::Answer::kReply);
  AlertNotifier& notifier = makeNotifier(true);
  QThread* raisedOn = nullptr;
  QObject::connect(&notifier, &AlertNotifier::alertRaised,
                   [&](const Alert&) { raisedOn = QThread::currentThread(); });

  // The delivery thread only hands the alert over; it never waits for the
  // window thread or the bus.
  std::thread delivery([sink = notifier.sink()] { sink->Deliver(msftBuy()); });
  delivery.join();
  EXPECT_TRUE(shown_.empty());

  ASSERT_TRUE(waitShown(1));
  EXPECT_EQ(raisedOn, QApplication::instance()->thread());
  EXPECT_EQ(shown_[0], (std::pair<std::string, AlertRoute>{"MSFT", AlertRoute::kNotification}));
  ASSERT_EQ(service_->received().size(), 1u);
  const test::ReceivedNotification& n = service_->received()[0];
  EXPECT_EQ(n.appName, "Velmora");
  EXPECT_EQ(n.summary, "MSFT: buy signal");
  EXPECT_EQ(n.body, "Price 420.75, change +3.25 (+0.78%), 2026-12-08 15:31:07");
  EXPECT_EQ(n.replacesId, 0u);
  EXPECT_EQ(n.expireTimeout, -1);
  EXPECT_EQ(n.hints.value("desktop-entry").toString(), "velmora");
  EXPECT_TRUE(trayMessages_.isEmpty());
  EXPECT_EQ(notifier.pendingCalls(), 0);
}

TEST_F(AlertNotifierBus, NoServiceOnTheBusShowsATrayMessage) {
  AlertNotifier& notifier = makeNotifier(true);
  notifier.notify(msftBuy());
  notifier.notify(ibmBelow());
  ASSERT_TRUE(waitShown(2));
  EXPECT_EQ(shown_[0].second, AlertRoute::kTrayMessage);
  EXPECT_EQ(shown_[1].second, AlertRoute::kTrayMessage);
  EXPECT_EQ(trayMessages_,
            QStringList({"MSFT: buy signal | Price 420.75, change +3.25 (+0.78%), 2026-12-08 15:31:07",
                         "IBM: below 120.00 | Price 119.50, change -1.20 (0.00%), 2026-12-08 15:40:00"}));
  // Said once, not per alert; a missing service is no failure.
  EXPECT_EQ(test::LogCountOf("No desktop notification service: alerts show in the system tray"), 1);
  EXPECT_EQ(test::LogTexts().size(), 1u);
}

TEST_F(AlertNotifierBus, NoBusAtAllIsNoService) {
  AlertNotifier::Options options;
  options.bus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), clientName_);
  options.trayAvailable = [] { return true; };
  options.showTrayMessage = [this](const QString& title, const QString&) { trayMessages_ << title; };
  AlertNotifier notifier(options, nullptr);
  AlertRoute route = AlertRoute::kNotification;
  QObject::connect(&notifier, &AlertNotifier::shown, [&](const Alert&, AlertRoute r) { route = r; });
  notifier.notify(msftBuy());
  EXPECT_EQ(route, AlertRoute::kTrayMessage) << "known at once";
  EXPECT_EQ(trayMessages_, QStringList{"MSFT: buy signal"});

  // The environment names no session bus: no bus is looked for (none is
  // started on demand either).
  test::ScopedVariable address("DBUS_SESSION_BUS_ADDRESS", "");
  test::ScopedVariable runtime("XDG_RUNTIME_DIR", test::TempFolder().path());
  options.bus.reset();
  AlertNotifier unbound(options, nullptr);
  QObject::connect(&unbound, &AlertNotifier::shown, [&](const Alert&, AlertRoute r) { route = r; });
  route = AlertRoute::kNotification;
  unbound.notify(ibmBelow());
  EXPECT_EQ(route, AlertRoute::kTrayMessage);
  EXPECT_EQ(trayMessages_.size(), 2);
}

TEST_F(AlertNotifierBus, AFailingServiceIsLoggedAndTheTrayTellsTheUser) {
  startService(FakeNotificationService::Answer::kFail);
  AlertNotifier& notifier = makeNotifier(true);
  notifier.notify(msftBuy());
  ASSERT_TRUE(waitShown(1));
  EXPECT_EQ(service_->received().size(), 1u);
  EXPECT_EQ(shown_[0].second, AlertRoute::kTrayMessage);
  EXPECT_EQ(trayMessages_.size(), 1);
  EXPECT_TRUE(test::LogHas("Desktop notification for MSFT failed: the notification service is out of order"));
}

TEST_F(AlertNotifierBus, AHungServiceHoldsNothingAndTimesOut) {
  startService(FakeNotificationService::Answer::kNever);
  AlertNotifier& notifier = makeNotifier(true, 1500);
  QElapsedTimer clock;
  clock.start();
  notifier.notify(msftBuy());
  notifier.notify(ibmBelow());
  EXPECT_LT(clock.elapsed(), 1000) << "the calls do not wait for an answer";
  EXPECT_EQ(notifier.pendingCalls(), 2);
  EXPECT_TRUE(shown_.empty());

  ASSERT_TRUE(waitShown(2));
  EXPECT_EQ(service_->received().size(), 2u);
  EXPECT_EQ(shown_[0].second, AlertRoute::kTrayMessage);
  EXPECT_EQ(shown_[1].second, AlertRoute::kTrayMessage);
  EXPECT_EQ(notifier.pendingCalls(), 0);
  int failures = 0;
  for (const std::string& line : test::LogTexts())
    failures += line.rfind("Desktop notification for ", 0) == 0;
  EXPECT_EQ(failures, 2);
}

TEST_F(AlertNotifierBus, TheSinkOutlivesTheNotifierSafely) {
  startService(FakeNotificationService::Answer::kReply);
  std::shared_ptr<AlertSink> sink;
  {
    AlertNotifier& notifier = makeNotifier(true);
    sink = notifier.sink();
    sink->Deliver(msftBuy());  // queued, never run: the notifier goes first
    notifier_.reset();
  }
  std::thread delivery([sink] { sink->Deliver(ibmBelow()); });
  delivery.join();
  QTest::qWait(200);
  EXPECT_TRUE(service_->received().empty());
  EXPECT_TRUE(shown_.empty());
}

}  // namespace
}  // namespace velmora
