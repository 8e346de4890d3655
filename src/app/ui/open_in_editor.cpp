#include "app/ui/open_in_editor.h"

#include <vector>

#include "app/program_runner.h"
#include "app/ui/message_helpers.h"
#include "base/system_config.h"

namespace velmora {

void OpenInEditor(QWidget* owner, const std::string& file) {
  if (OpenWithDesktop(file)) return;
  const std::string editor = systemConfig().Editor;
  // The file is complete before the editor opens, so nothing waits for it:
  // the windows keep painting while the user reads.
  if (StartProgram({editor, file})) return;
  ShowError(owner, QStringLiteral("Can not find text editor '%1'.\nPlease check your system configuration.")
                       .arg(QString::fromStdString(editor)));
}

}  // namespace velmora
