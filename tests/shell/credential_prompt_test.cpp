#include "shell/credential_prompt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <atomic>
#include <thread>

namespace velmora {
namespace {

// Fills and accepts the credential dialog once it is on screen.
void answerDialog(const QString& user, const QString& password, bool accept) {
  QTimer::singleShot(20, [=] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || dialog->objectName() != "credentialDialog") {
      answerDialog(user, password, accept);
      return;
    }
    dialog->findChild<QLineEdit*>("user")->setText(user);
    dialog->findChild<QLineEdit*>("password")->setText(password);
    if (accept)
      dialog->accept();
    else
      dialog->reject();
  });
}

// Runs `ask` on a loader-like thread while the event loop turns here.
bool askFromWorker(CredentialPrompt& prompt, Credentials& out) {
  std::atomic<bool> done{false};
  bool ok = false;
  std::thread worker([&] {
    ok = prompt.ask({"127.0.0.1", "http://127.0.0.1/table.csv"}, out);
    done = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done && std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  worker.join();
  return ok;
}

TEST(CredentialPromptThreads, WorkerGetsWhatTheUserTyped) {
  CredentialPrompt prompt;
  answerDialog("user", "secret", true);
  Credentials c;
  EXPECT_TRUE(askFromWorker(prompt, c));
  EXPECT_EQ(c.user, "user");
  EXPECT_EQ(c.password, "secret");

  answerDialog("x", "y", false);
  EXPECT_FALSE(askFromWorker(prompt, c));
}

TEST(CredentialPromptThreads, CancelReleasesAWaitingWorkerAndLaterRequests) {
  CredentialPrompt prompt;
  Credentials c;
  bool cancelled = false;
  // The dialog runs its own event loop: the exit sequence's cancel comes
  // from a timer inside it, as a close request would.
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (!cancelled && QApplication::activeModalWidget() != nullptr) {
      cancelled = true;
      prompt.cancelAll();
    }
  });
  watcher.start(10);
  EXPECT_FALSE(askFromWorker(prompt, c));
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_FALSE(prompt.ask({"h", "u"}, c));  // no dialog after a cancel
}

}  // namespace
}  // namespace velmora
