#pragma once

#include <string>

class QWidget;

namespace velmora {

// Shows `file` with the desktop's program for it; failing that, starts the
// configured editor with the file. Returns at once, waiting for neither
// (the windows keep working while the user reads); when the editor cannot
// be started, the window thread then tells the user "Can not find text
// editor '%s'." in an "Error" box over `owner` (none once it is gone).
void OpenInEditor(QWidget* owner, const std::string& file);

}  // namespace velmora
