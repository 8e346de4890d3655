#include "shell/credential_prompt.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QThread>
#include <memory>

namespace velmora {

CredentialPrompt::CredentialPrompt(QWidget* owner) : owner_(owner) {}

bool CredentialPrompt::showDialog(const CredentialRequest& request, Credentials& out) {
  QDialog dialog(owner_);
  dialog.setObjectName(QStringLiteral("credentialDialog"));
  dialog.setWindowTitle(QStringLiteral("Enter Network Password"));
  auto* user = new QLineEdit(&dialog);
  user->setObjectName(QStringLiteral("user"));
  auto* password = new QLineEdit(&dialog);
  password->setObjectName(QStringLiteral("password"));
  password->setEchoMode(QLineEdit::Password);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout(&dialog);
  form->addRow(new QLabel(QStringLiteral("Please type your user name and password for %1.")
                              .arg(QString::fromStdString(request.server))));
  form->addRow(QStringLiteral("User Name:"), user);
  form->addRow(QStringLiteral("Password:"), password);
  form->addRow(buttons);
  // A cancel from shutdown closes a dialog that is still open.
  open_ = &dialog;
  const int result = dialog.exec();
  open_ = nullptr;
  if (result != QDialog::Accepted) return false;
  out.user = user->text().toStdString();
  out.password = password->text().toStdString();
  return true;
}

bool CredentialPrompt::ask(const CredentialRequest& request, Credentials& out) {
  if (QThread::currentThread() == thread()) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (cancelled_) return false;
    }
    return showDialog(request, out);
  }
  struct Answer {
    bool done = false;
    bool ok = false;
    Credentials credentials;
  };
  auto answer = std::make_shared<Answer>();
  unsigned long myGeneration;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (cancelled_) return false;
    myGeneration = generation_;
  }
  QMetaObject::invokeMethod(
      this,
      [this, request, answer] {
        Credentials c;
        const bool ok = showDialog(request, c);
        std::lock_guard<std::mutex> hold(lock_);
        answer->ok = ok;
        answer->credentials = c;
        answer->done = true;
        answered_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> hold(lock_);
  answered_.wait(hold, [&] { return answer->done || generation_ != myGeneration; });
  if (!answer->done || !answer->ok) return false;
  out = answer->credentials;
  return true;
}

void CredentialPrompt::cancelAll() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    cancelled_ = true;
    ++generation_;
    answered_.notify_all();
  }
  if (QThread::currentThread() == thread() && open_ != nullptr) open_->reject();
}

InternetSession::CredentialPrompt CredentialPrompt::asSessionPrompt() {
  return [this](const CredentialRequest& request, Credentials& out) { return ask(request, out); };
}

}  // namespace velmora
