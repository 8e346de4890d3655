#include "shell/open_in_editor.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <exception>
#include <thread>
#include <vector>

#include "app/program_runner.h"
#include "base/system_config.h"
#include "shell/message_helpers.h"

namespace velmora {

namespace {

// The desktop's opener, then the editor. Without a desktop it knows,
// xdg-open runs the editor itself and returns only when the editor closes,
// so this runs away from the windows; the opener is waited for (and so
// collected) here, the editor by StartProgram.
void openFile(const std::string& file, const std::string& editor, const QPointer<QWidget>& owner) {
  if (OpenWithDesktop(file)) return;
  if (StartProgram({editor, file})) return;
  // The message belongs to the window thread.
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  QMetaObject::invokeMethod(
      app,
      [owner, editor] {
        ShowError(owner.data(),
                  QStringLiteral("Can not find text editor '%1'.\nPlease check your system configuration.")
                      .arg(QString::fromStdString(editor)));
      },
      Qt::QueuedConnection);
}

}  // namespace

void OpenInEditor(QWidget* owner, const std::string& file) {
  const std::string editor = systemConfig().Editor;
  const QPointer<QWidget> guardedOwner(owner);
  try {
    std::thread([file, editor, guardedOwner] { openFile(file, editor, guardedOwner); }).detach();
  } catch (const std::exception&) {
    // No thread to spare: the windows wait for the opener this once.
    openFile(file, editor, guardedOwner);
  }
}

}  // namespace velmora
