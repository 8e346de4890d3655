#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <mutex>

#include "net/internet_session.h"

namespace velmora {

// Asks the user for a user name and password when a quote service answers
// 401. Loader threads call ask() and wait while the dialog is shown on the
// user-interface thread; cancelAll() (at exit) answers every pending and
// later request with "no", so a loader thread never waits on a window that
// is going away.
class CredentialPrompt : public QObject {
  Q_OBJECT
 public:
  explicit CredentialPrompt(QWidget* owner = nullptr);

  // Callable from any thread; cancelAll from the user-interface thread. True with the user's credentials;
  // false when the user cancelled or the prompt was cancelled.
  [[nodiscard]] bool ask(const CredentialRequest& request, Credentials& out);

  void cancelAll();

  // The callback form an InternetSession takes.
  InternetSession::CredentialPrompt asSessionPrompt();

 private:
  [[nodiscard]] bool showDialog(const CredentialRequest& request, Credentials& out);

  QWidget* owner_;
  QPointer<QDialog> open_;  // the dialog on screen, if any (user-interface thread)
  std::mutex lock_;
  std::condition_variable answered_;
  bool cancelled_ = false;
  unsigned long generation_ = 0;  // bumped by cancelAll to release waiters
};

}  // namespace velmora
