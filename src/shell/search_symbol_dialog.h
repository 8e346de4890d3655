#pragma once

#include <QDialog>

#include "monitor/security_store.h"

class QLabel;
class QLineEdit;

namespace velmora {

// "Search Symbol": finds the first monitored security whose display symbol
// begins with the text typed (letter case ignored). OK with a match closes
// the dialog with its index; without one the dialog says "Symbo not found!"
// and stays open. Starts from "MSFT" every time it is created.
class CSearchSymbolDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CSearchSymbolDialog(const SecurityStore& store, QWidget* parent = nullptr);

  // The index found by the last accepted search; -1 before one.
  int foundIndex() const { return found_; }

  QLineEdit* symbolBox() const { return symbol_; }
  QString message() const;

 public slots:
  void search();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void selectText();

  const SecurityStore& store_;
  QLineEdit* symbol_;
  QLabel* message_;
  int found_ = -1;
};

}  // namespace velmora
