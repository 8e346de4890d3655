#pragma once

#include <QDialog>

class QTreeWidget;

namespace velmora {

// Help > Keyboard shortcuts: every key of the key table, by where it works.
class KeyboardShortcutsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit KeyboardShortcutsDialog(QWidget* parent = nullptr);
  QTreeWidget* list() const { return list_; }

 private:
  QTreeWidget* list_;
};

}  // namespace velmora
