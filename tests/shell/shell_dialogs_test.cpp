#include <gtest/gtest.h>

#include <QDate>
#include <QTest>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/system_config.h"
#include "shell/about_dialog.h"
#include "shell/notice_dialog.h"
#include "shell/open_in_editor.h"
#include "support/qt/qt_test_environment.h"
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

// Waits up to twenty seconds for a file to appear.
bool appears(const std::string& file) {
  for (int i = 0; i < 2000 && !std::filesystem::exists(file); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return std::filesystem::exists(file);
}

// Without a desktop it knows, xdg-open runs the editor itself until the
// user closes it (here: "closed" appears, or ten seconds pass).
TEST_F(OpenInEditorTest, DesktopOpenerFirstWithoutWaitingForIt) {
  const std::string opened = folder.file("opened"), closed = folder.file("closed");
  fakeProgram("xdg-open", "echo \"$$ $1\" > " + opened + ".tmp; mv " + opened + ".tmp " + opened +
                              "; for i in $(seq 100); do [ -e " + closed + " ] || sleep 0.1; done");
  systemConfig().Editor = folder.file("no-editor");
  const auto before = std::chrono::steady_clock::now();
  OpenInEditor(nullptr, "Status.txt");
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  ASSERT_TRUE(appears(opened));
  const std::string line = ReadFile(opened);
  EXPECT_EQ(line.substr(line.find(' ') + 1), "Status.txt\n");
  // Once it ends it is collected: no zombie answers kill.
  WriteFile(closed, "");
  for (int i = 0; i < 2000 && kill(std::atoi(line.c_str()), 0) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(kill(std::atoi(line.c_str()), 0), -1);
}

TEST_F(OpenInEditorTest, FallsBackToTheEditorWithoutWaitingForIt) {
  fakeProgram("xdg-open", "exit 3");
  // An editor the user keeps open for a while.
  const std::string started = folder.file("started");
  fakeProgram("my-editor", "echo \"$$ $0 $1\" > " + started + ".tmp; mv " + started + ".tmp " + started +
                               "; sleep 5; touch " + folder.file("closed"));
  systemConfig().Editor = folder.file("my-editor");
  const auto before = std::chrono::steady_clock::now();
  OpenInEditor(nullptr, "List.dat");
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_LT(took, std::chrono::seconds(2));
  ASSERT_TRUE(appears(started));
  EXPECT_FALSE(std::filesystem::exists(folder.file("closed"))) << "the editor still runs";
  const std::string line = ReadFile(started);
  const pid_t editor = std::atoi(line.c_str());
  EXPECT_EQ(line.substr(line.find(' ') + 1), folder.file("my-editor") + " List.dat\n");
  if (editor > 0) kill(editor, SIGTERM);
}

TEST_F(OpenInEditorTest, EditorThatCannotStartIsReported) {
  fakeProgram("xdg-open", "exit 3");
  // No such program, a file that is no program, and no editor at all.
  WriteFile(folder.file("notes.txt"), "not a program\n");
  for (const std::string& editor :
       {std::string("/no/such/editor"), folder.file("notes.txt"), std::string()}) {
    systemConfig().Editor = editor;
    AnsweredBox box;
    AnswerNextMessageBox(QMessageBox::Ok, &box);
    OpenInEditor(nullptr, "Status.txt");
    // The window thread shows it once the opener and the editor failed.
    EXPECT_TRUE(QTest::qWaitFor([&box] { return box.seen; }, 20000)) << editor;
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text,
              QStringLiteral("Can not find text editor '%1'.\nPlease check your system configuration.")
                  .arg(QString::fromStdString(editor)));
  }
}

}  // namespace
}  // namespace velmora
