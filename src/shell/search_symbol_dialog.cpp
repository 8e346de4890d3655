#include "shell/search_symbol_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

CSearchSymbolDialog::CSearchSymbolDialog(const SecurityStore& store, QWidget* parent)
    : QDialog(parent),
      store_(store),
      symbol_(new QLineEdit(QStringLiteral("MSFT"), this)),
      message_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Search Symbol"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Symbol:"), symbol_);
  layout->addLayout(form);
  layout->addWidget(message_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSearchSymbolDialog::search);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString CSearchSymbolDialog::message() const { return message_->text(); }

void CSearchSymbolDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  selectText();
}

void CSearchSymbolDialog::selectText() {
  symbol_->selectAll();
  symbol_->setFocus();
}

void CSearchSymbolDialog::search() {
  const QByteArray text = symbol_->text().toLatin1();
  const int index = FindSecurity(store_, text.constData());
  if (index < 0) {
    message_->setText(QStringLiteral("Symbo not found!"));
    message_->repaint();
    selectText();
    return;
  }
  found_ = index;
  accept();
}

}  // namespace velmora
