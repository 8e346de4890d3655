#include "shell/alert_notifier.h"

#include <QApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QIcon>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QVariantMap>
#include <cmath>
#include <mutex>

#include "base/log.h"

namespace velmora {

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
// The application's name to the service and the desktop entry it belongs to
// (the installed velmora.desktop and its icon).
const char* const kAppName = "Velmora";
const char* const kDesktopEntry = "velmora";

// Two decimals in "C" numbers; -0.00 shows as 0.00.
QString twoDecimals(double value, bool withSign) {
  double rounded = std::round(value * 100.0) / 100.0;
  if (rounded == 0.0) rounded = 0.0;
  const QString text = QString::number(rounded, 'f', 2);
  return withSign && rounded > 0.0 ? QStringLiteral("+") + text : text;
}

// The service is simply not there (as opposed to there and failing).
bool noService(const QDBusError& error) {
  switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
      return true;
    default:
      return error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
  }
}

bool systemTrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

// The session bus's address is in the environment, or its socket is where
// the desktop's user session puts it.
bool sessionBusNamed() {
  const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address.isEmpty()) return true;
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtime) + QStringLiteral("/bus"));
}

}  // namespace

QString AlertNotificationTitle(const Alert& alert) {
  return QString::fromStdString(alert.symbol) + QStringLiteral(": ") + QString::fromStdString(alert.event);
}

QString AlertNotificationBody(const Alert& alert) {
  return QStringLiteral("Price %1, change %2 (%3%), %4")
      .arg(twoDecimals(alert.price, false), twoDecimals(alert.change, true),
           twoDecimals(alert.changePercent, true), QString::fromStdString(alert.time));
}

// The sink the alert center holds. The center may outlive the notifier (it
// keeps its sinks until the process ends), so the notifier detaches itself
// when it goes; the lock keeps it from going while an alert is being posted
// to it.
class AlertNotifier::Bridge : public AlertSink {
 public:
  explicit Bridge(AlertNotifier* target) : target_(target) {}

  void Deliver(const Alert& alert) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (target_ == nullptr) return;
    AlertNotifier* target = target_;
    // Widgets belong to the window thread: only a queued call crosses over.
    QMetaObject::invokeMethod(
        target, [target, alert] { target->notify(alert); }, Qt::QueuedConnection);
  }

  void detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = nullptr;
  }

 private:
  std::mutex mutex_;
  AlertNotifier* target_;
};

AlertNotifier::AlertNotifier(QObject* parent) : AlertNotifier(Options{}, parent) {}

AlertNotifier::AlertNotifier(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)), sink_(std::make_shared<Bridge>(this)) {
  if (!options_.trayAvailable) options_.trayAvailable = systemTrayAvailable;
}

AlertNotifier::~AlertNotifier() { sink_->detach(); }

std::shared_ptr<AlertSink> AlertNotifier::sink() const { return sink_; }

QDBusConnection AlertNotifier::bus() {
  // The session bus is looked up at the first alert, not at start-up. Where
  // the environment names none, the bus library would start a bus daemon of
  // its own (that outlives the program) for nobody to listen on: none then.
  if (!options_.bus)
    options_.bus = sessionBusNamed() ? QDBusConnection::sessionBus()
                                     : QDBusConnection(QStringLiteral("velmora-no-session-bus"));
  return *options_.bus;
}

void AlertNotifier::notify(const Alert& alert) {
  emit alertRaised(alert);
  QDBusConnection connection = bus();
  if (!connection.isConnected()) {
    showWithoutService(alert);
    return;
  }
  QDBusMessage call =
      QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                     QString::fromLatin1(kInterface), QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry));
  call << QString::fromLatin1(kAppName) << 0u << QString::fromLatin1(kDesktopEntry)
       << AlertNotificationTitle(alert) << AlertNotificationBody(alert) << QStringList() << hints
       << static_cast<qint32>(-1);
  // Never waited for: the answer (or the time-out) arrives as an event.
  auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, options_.timeoutMs), this);
  ++pending_;
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, alert](QDBusPendingCallWatcher* w) { finished(w, alert); });
}

void AlertNotifier::finished(QDBusPendingCallWatcher* watcher, const Alert& alert) {
  watcher->deleteLater();
  --pending_;
  if (!watcher->isError()) {
    emit shown(alert, AlertRoute::kNotification);
    return;
  }
  const QDBusError error = watcher->error();
  if (!noService(error)) {
    // A service that is there but fails or hangs: the user is still told,
    // through the tray where there is one.
    LogFormat("Desktop notification for %s failed: %s", alert.symbol.c_str(),
              error.message().toUtf8().constData());
  }
  showWithoutService(alert);
}

void AlertNotifier::showWithoutService(const Alert& alert) {
  if (!options_.trayAvailable()) {
    logOnce(saidNoTray_, "No desktop notification service or system tray: alerts are only logged");
    emit shown(alert, AlertRoute::kNone);
    return;
  }
  logOnce(saidNoService_, "No desktop notification service: alerts show in the system tray");
  const QString title = AlertNotificationTitle(alert);
  const QString body = AlertNotificationBody(alert);
  if (options_.showTrayMessage) {
    options_.showTrayMessage(title, body);
  } else {
    if (tray_ == nullptr) {
      QIcon icon = QApplication::windowIcon();
      if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
      tray_ = new QSystemTrayIcon(icon, this);
      tray_->setToolTip(QString::fromLatin1(kAppName));
    }
    tray_->show();
    tray_->showMessage(title, body);
  }
  emit shown(alert, AlertRoute::kTrayMessage);
}

void AlertNotifier::logOnce(bool& said, const char* text) {
  if (said) return;
  said = true;
  LogMessage(text);
}

}  // namespace velmora
