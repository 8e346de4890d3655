#pragma once

// Alerts on the desktop: each alert becomes a notification of the desktop's
// notification service (org.freedesktop.Notifications on the session bus),
// or a tray icon message where no such service runs, or nothing beyond the
// alert's log line where neither exists.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "alerts/alert.h"

class QDBusPendingCallWatcher;
class QSystemTrayIcon;

namespace velmora {

// How one alert was shown.
enum class AlertRoute {
  kNotification,  // the notification service took it
  kTrayMessage,   // no service (or it failed): a tray icon message
  kNone,          // neither: the log line is all
};

// "MSFT: buy signal": the security and the event.
QString AlertNotificationTitle(const Alert& alert);
// "Price 420.75, change +3.25 (+0.78%), 2026-12-08 15:31:07".
QString AlertNotificationBody(const Alert& alert);

class AlertNotifier : public QObject {
  Q_OBJECT
 public:
  struct Options {
    // The bus of the notification service; none: the session bus.
    std::optional<QDBusConnection> bus;
    // How long a notification service may take to answer; a service that
    // does not answer in time counts as failed.
    int timeoutMs = 5000;
    // The tray; by default the system tray, where one exists.
    std::function<bool()> trayAvailable;
    std::function<void(const QString& title, const QString& body)> showTrayMessage;
  };

  explicit AlertNotifier(QObject* parent = nullptr);
  AlertNotifier(Options options, QObject* parent);
  ~AlertNotifier() override;

  // The sink to give the alert center. Its Deliver, on the delivery thread,
  // only hands the alert to this object's thread and returns; once this
  // object is gone it drops alerts.
  std::shared_ptr<AlertSink> sink() const;

  // Shows one alert (on this object's thread); the answer of the
  // notification service arrives later.
  void notify(const Alert& alert);

  // Calls of the notification service not answered yet.
  int pendingCalls() const { return pending_; }

 signals:
  // Every alert delivered, on this object's thread, before it is shown.
  void alertRaised(const velmora::Alert& alert);
  // How an alert was shown, once that is known.
  void shown(const velmora::Alert& alert, velmora::AlertRoute route);

 private:
  class Bridge;

  QDBusConnection bus();
  void finished(QDBusPendingCallWatcher* watcher, const Alert& alert);
  void showWithoutService(const Alert& alert);
  void logOnce(bool& said, const char* text);

  Options options_;
  std::shared_ptr<Bridge> sink_;
  QSystemTrayIcon* tray_ = nullptr;
  int pending_ = 0;
  bool saidNoService_ = false;
  bool saidNoTray_ = false;
};

}  // namespace velmora
