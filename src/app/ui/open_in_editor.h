#pragma once

#include <string>

class QWidget;

namespace velmora {

// Shows `file` with the desktop's program for it; failing that, starts the
// configured editor with the file and returns without waiting for it;
// when the editor cannot be started, tells the user "Can not find text
// editor '%s'." in an "Error" box.
void OpenInEditor(QWidget* owner, const std::string& file);

}  // namespace velmora
