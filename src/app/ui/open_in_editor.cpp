#include "app/ui/open_in_editor.h"

#include "app/program_runner.h"
#include "app/ui/message_helpers.h"
#include "base/system_config.h"

namespace velmora {

void OpenInEditor(QWidget* owner, const std::string& file) {
  if (OpenWithDesktop(file)) return;
  const std::string editor = systemConfig().Editor;
  // The user interface waits while the editor runs; loader threads go on.
  if (RunProgramAndWait({editor, file}) == 0) return;
  ShowError(owner, QStringLiteral("Can not find text editor '%1'.\nPlease check your system configuration.")
                       .arg(QString::fromStdString(editor)));
}

}  // namespace velmora
