#include "shell/keyboard_shortcuts_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "shell/key_table.h"

namespace velmora {

KeyboardShortcutsDialog::KeyboardShortcutsDialog(QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)) {
  setWindowTitle(QStringLiteral("Keyboard Shortcuts"));
  list_->setColumnCount(3);
  list_->setHeaderLabels({QStringLiteral("Where"), QStringLiteral("Key"), QStringLiteral("Does")});
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  for (const KeyBinding& binding : KeyTable()) {
    QStringList keys;
    for (const QKeySequence& key : binding.keys) keys << key.toString(QKeySequence::NativeText);
    list_->addTopLevelItem(
        new QTreeWidgetItem({QString::fromLatin1(KeyPlaceName(binding.place)),
                             keys.join(QStringLiteral(", ")), QString::fromLatin1(binding.does)}));
  }
  for (int column = 0; column < 3; ++column) list_->resizeColumnToContents(column);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(list_->header()->length() + 48, 420);
}

}  // namespace velmora
