#include <gtest/gtest.h>

#include <QDate>
#include <filesystem>

#include "app/ui/about_dialog.h"
#include "app/ui/notice_dialog.h"
#include "app/ui/open_in_editor.h"
#include "base/system_config.h"
#include "qt_test_environment.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::AnsweredBox;
using test::AnswerNextMessageBox;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

TEST(ShellDialogs, AboutBoxLines) {
  CAboutDialog about;
  EXPECT_EQ(about.windowTitle(), "About Trevanta");
  EXPECT_EQ(about.versionLine(), "Trevanta Software Version 2.6.4");
  EXPECT_TRUE(about.noticeLine().endsWith(QString::number(QDate::currentDate().year())));
  EXPECT_FALSE(about.addressLine().isEmpty());
}

TEST(ShellDialogs, NoticeShowsItsTextWithoutCaption) {
  CNoticeDialog notice(QStringLiteral("Initializing Trevanta Software ......"));
  notice.show();
  EXPECT_EQ(notice.text(), "Initializing Trevanta Software ......");
  EXPECT_TRUE(notice.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(notice.isModal());
}

// A PATH holding only the given fake programs.
class OpenInEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    savedPath = path != nullptr ? path : "";
    setenv("PATH", (folder.path() + ":/bin:/usr/bin").c_str(), 1);
    savedEditor = systemConfig().Editor;
  }
  void TearDown() override {
    setenv("PATH", savedPath.c_str(), 1);
    systemConfig().Editor = savedEditor;
  }
  void fakeProgram(const std::string& name, const std::string& body) {
    WriteFile(folder.file(name), "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(folder.file(name), std::filesystem::perms::owner_all);
  }
  TempFolder folder;
  std::string savedPath, savedEditor;
};

TEST_F(OpenInEditorTest, DesktopOpenerFirst) {
  fakeProgram("xdg-open", "echo \"$1\" > " + folder.file("opened"));
  systemConfig().Editor = folder.file("no-editor");
  OpenInEditor(nullptr, "Status.txt");
  EXPECT_EQ(ReadFile(folder.file("opened")), "Status.txt\n");
}

TEST_F(OpenInEditorTest, FallsBackToTheEditorAndWaitsForIt) {
  fakeProgram("xdg-open", "exit 3");
  fakeProgram("my-editor", "sleep 0.2; echo \"$0 $1\" > " + folder.file("edited"));
  systemConfig().Editor = folder.file("my-editor");
  OpenInEditor(nullptr, "List.dat");
  // The call returned only after the editor ended.
  EXPECT_EQ(ReadFile(folder.file("edited")), folder.file("my-editor") + " List.dat\n");
}

TEST_F(OpenInEditorTest, MissingOrFailingEditorIsReported) {
  fakeProgram("xdg-open", "exit 3");
  systemConfig().Editor = "/no/such/editor";
  AnsweredBox box;
  AnswerNextMessageBox(QMessageBox::Ok, &box);
  OpenInEditor(nullptr, "Status.txt");
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(box.text, "Can not find text editor '/no/such/editor'.\nPlease check your system configuration.");

  fakeProgram("bad-editor", "exit 1");
  systemConfig().Editor = folder.file("bad-editor");
  AnswerNextMessageBox(QMessageBox::Ok, &box);
  box.seen = false;
  OpenInEditor(nullptr, "Status.txt");
  EXPECT_TRUE(box.seen);
}

}  // namespace
}  // namespace velmora
