#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>

#include "monitor/loader_listener.h"

namespace velmora {

// The loader listener of the desktop program. Loader threads call it; it
// forwards status texts and row updates to the user-interface thread with
// queued calls and never waits for that thread, except while a credential
// prompt is open, and even then it gives up as soon as the thread is told
// to stop or the program begins to close.
//
// The sinks are set on the user-interface thread before any loader thread
// starts and are only called there.
class QtLoaderListener : public QObject, public LoaderListener {
  Q_OBJECT
 public:
  using CredentialAsker = std::function<bool(const CredentialRequest&, Credentials&)>;

  explicit QtLoaderListener(QObject* parent = nullptr);

  void setStatusSink(std::function<void(const QString&)> sink) { statusSink_ = std::move(sink); }
  // Row updates go to `target` (dropped once it is destroyed).
  void setRowSink(QObject* target, std::function<void(int)> sink);
  void setThreadStartFailureSink(std::function<void(int)> sink) { startFailureSink_ = std::move(sink); }
  // Shows the prompt on the user-interface thread.
  void setCredentialAsker(CredentialAsker asker) { asker_ = std::move(asker); }

  // From now on status texts and row notices are dropped and credential
  // prompts declined; a loader thread waiting for an answer returns at once.
  void beginShutdown();

  // True once beginShutdown ran.
  bool Closing() const override { return closing_.load(); }

  void StatusText(int threadIndex, const std::string& text) override;
  void SecurityUpdated(int index) override;
  void ThreadStartFailed(int threadIndex) override;
  bool AskCredentials(const CredentialRequest& request, Credentials& out,
                      const std::atomic<bool>& stop) override;

 private:
  std::atomic<bool> closing_{false};
  std::function<void(const QString&)> statusSink_;
  QPointer<QObject> rowTarget_;
  std::function<void(int)> rowSink_;
  std::function<void(int)> startFailureSink_;
  CredentialAsker asker_;
};

}  // namespace velmora
