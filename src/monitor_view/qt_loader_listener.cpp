#include "monitor_view/qt_loader_listener.h"

#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace velmora {

namespace {

// How often a thread waiting for a credential answer looks at its stop flag.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

// The answer a loader thread waits for; shared, because the thread may give
// up and leave before the user answers.
struct CredentialAnswer {
  std::mutex lock;
  std::condition_variable answered;
  bool done = false;
  bool abandoned = false;  // the thread stopped waiting: no prompt any more
  bool ok = false;
  Credentials credentials;
};

}  // namespace

QtLoaderListener::QtLoaderListener(QObject* parent) : QObject(parent) {}

void QtLoaderListener::setRowSink(QObject* target, std::function<void(int)> sink) {
  rowTarget_ = target;
  rowSink_ = std::move(sink);
}

void QtLoaderListener::beginShutdown() { closing_.store(true); }

void QtLoaderListener::StatusText(int, const std::string& text) {
  if (closing_.load()) return;
  QMetaObject::invokeMethod(
      this,
      [this, message = QString::fromStdString(text)] {
        if (!closing_.load() && statusSink_) statusSink_(message);
      },
      Qt::QueuedConnection);
}

void QtLoaderListener::SecurityUpdated(int index) {
  if (closing_.load()) return;
  QMetaObject::invokeMethod(
      this,
      [this, index] {
        // The view may have gone, or be closing, since the notice was sent.
        if (!closing_.load() && rowTarget_ != nullptr && rowSink_) rowSink_(index);
      },
      Qt::QueuedConnection);
}

void QtLoaderListener::ThreadStartFailed(int threadIndex) {
  // Comes from the caller of StartLoaderThreads, normally this thread.
  QMetaObject::invokeMethod(
      this,
      [this, threadIndex] {
        if (startFailureSink_) startFailureSink_(threadIndex);
      },
      Qt::AutoConnection);
}

bool QtLoaderListener::AskCredentials(const CredentialRequest& request, Credentials& out,
                                      const std::atomic<bool>& stop) {
  if (closing_.load() || stop.load()) return false;
  if (QThread::currentThread() == thread()) return asker_ && asker_(request, out);
  auto answer = std::make_shared<CredentialAnswer>();
  QMetaObject::invokeMethod(
      this,
      [this, request, answer] {
        {
          std::lock_guard<std::mutex> hold(answer->lock);
          if (answer->abandoned) return;
        }
        Credentials given;
        const bool ok = !closing_.load() && asker_ && asker_(request, given);
        std::lock_guard<std::mutex> hold(answer->lock);
        answer->ok = ok;
        answer->credentials = given;
        answer->done = true;
        answer->answered.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> hold(answer->lock);
  while (!answer->done) {
    if (stop.load() || closing_.load()) {
      answer->abandoned = true;
      return false;
    }
    answer->answered.wait_for(hold, kStopPoll);
  }
  if (!answer->ok) return false;
  out = answer->credentials;
  return true;
}

}  // namespace velmora
