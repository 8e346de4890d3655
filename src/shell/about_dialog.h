#pragma once

#include <QDialog>

class QLabel;

namespace velmora {

// "About Trevanta": the title and version, the maker's notice ending with
// the current year, and the maker's web address.
class CAboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDialog(QWidget* parent = nullptr);
  QString versionLine() const;
  QString noticeLine() const;
  QString addressLine() const;

 private:
  QLabel* version_;
  QLabel* notice_;
  QLabel* address_;
};

}  // namespace velmora
