#pragma once

// A private session bus for alert tests: a real dbus-daemon started for the
// test, and a notification service on it (a D-Bus object in the test
// process, registered as org.freedesktop.Notifications) that records every
// notification it receives and answers it, fails it or never answers.

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace velmora::test {

inline constexpr const char* kDbusDaemon = "/usr/bin/dbus-daemon";

// A session bus of the test's own: no service is started on demand, so a
// notification daemon installed on the machine never answers in its place.
class PrivateSessionBus {
 public:
  PrivateSessionBus() {
    if (!FileExists(kDbusDaemon)) return;
    WriteFile(folder_.file("session.conf"),
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n"
              "  <type>session</type>\n"
              "  <listen>unix:dir=" +
                  folder_.path() +
                  "</listen>\n"
                  "  <auth>EXTERNAL</auth>\n"
                  "  <policy context=\"default\">\n"
                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n"
                  "  </policy>\n"
                  "</busconfig>\n");
    daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        kDbusDaemon, "--config-file=" + folder_.file("session.conf"), "--print-address", "--nofork"});
    std::string line;
    if (daemon_->started() && daemon_->ReadLine(line, std::chrono::seconds(10))) address_ = line;
  }

  // Empty when no daemon could be started (dbus-daemon missing: install the
  // Debian package dbus-daemon).
  const std::string& address() const { return address_; }

  // A new connection of this process to the bus, named `name` in Qt.
  QDBusConnection connect(const QString& name) const {
    return QDBusConnection::connectToBus(QString::fromStdString(address_), name);
  }

 private:
  TempFolder folder_;
  std::unique_ptr<ChildProcess> daemon_;
  std::string address_;
};

// One Notify call as the service received it.
struct ReceivedNotification {
  QString appName;
  uint replacesId = 0;
  QString icon;
  QString summary;
  QString body;
  QStringList actions;
  QVariantMap hints;
  int expireTimeout = 0;
};

class FakeNotificationService : public QDBusVirtualObject {
 public:
  enum class Answer { kReply, kFail, kNever };

  FakeNotificationService(QDBusConnection connection, Answer answer)
      : connection_(std::move(connection)), answer_(answer) {
    registered_ = connection_.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this) &&
                  connection_.registerService(QStringLiteral("org.freedesktop.Notifications"));
  }
  ~FakeNotificationService() override {
    connection_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    connection_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
  }

  bool registered() const { return registered_; }
  const std::vector<ReceivedNotification>& received() const { return received_; }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != QLatin1String("org.freedesktop.Notifications") ||
        message.member() != QLatin1String("Notify"))
      return false;
    const QList<QVariant> args = message.arguments();
    ReceivedNotification n;
    if (args.size() == 8) {
      n.appName = args[0].toString();
      n.replacesId = args[1].toUInt();
      n.icon = args[2].toString();
      n.summary = args[3].toString();
      n.body = args[4].toString();
      n.actions = args[5].toStringList();
      n.hints = qdbus_cast<QVariantMap>(args[6]);
      n.expireTimeout = args[7].toInt();
    }
    received_.push_back(n);
    switch (answer_) {
      case Answer::kReply:
        connection.send(message.createReply(QVariant::fromValue(static_cast<uint>(received_.size()))));
        break;
      case Answer::kFail:
        connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                                                 QStringLiteral("the notification service is out of order")));
        break;
      case Answer::kNever:
        break;
    }
    return true;
  }

  QString introspect(const QString&) const override { return {}; }

 private:
  QDBusConnection connection_;
  Answer answer_;
  bool registered_ = false;
  std::vector<ReceivedNotification> received_;
};

}  // namespace velmora::test
