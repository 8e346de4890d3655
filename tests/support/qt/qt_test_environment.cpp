#include "support/qt/qt_test_environment.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

namespace velmora::test {

namespace {

// One QApplication for the whole widget test program (offscreen platform).
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

void answerWhenShown(QMessageBox::StandardButton button, AnsweredBox* record, int triesLeft) {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) {
    if (triesLeft > 0) QTimer::singleShot(10, [=] { answerWhenShown(button, record, triesLeft - 1); });
    return;
  }
  if (record != nullptr) {
    record->seen = true;
    record->caption = box->windowTitle();
    record->text = box->text();
  }
  if (QAbstractButton* b = box->button(button)) b->click();
}

void actWhenShown(std::function<void(QWidget*)> act, int triesLeft) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || !modal->isVisible()) {
    if (triesLeft > 0) QTimer::singleShot(10, [=] { actWhenShown(act, triesLeft - 1); });
    return;
  }
  act(modal);
}

}  // namespace

void WhenModalShown(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [=] { actWhenShown(act, 500); });
}

void AnswerNextMessageBox(QMessageBox::StandardButton button, AnsweredBox* record) {
  QTimer::singleShot(0, [=] { answerWhenShown(button, record, 500); });
}

}  // namespace velmora::test
