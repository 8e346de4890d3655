#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace velmora::test {

// What a message box showed before it was answered.
struct AnsweredBox {
  bool seen = false;
  QString caption;
  QString text;
};

// Answers the next modal message box with `button` once it is shown,
// recording its caption and text.
void AnswerNextMessageBox(QMessageBox::StandardButton button, AnsweredBox* record);

// Runs `act` on the next modal widget (a dialog opened with exec()) once it
// is shown; gives up after about five seconds.
void WhenModalShown(std::function<void(QWidget*)> act);

}  // namespace velmora::test
