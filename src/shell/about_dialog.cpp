#include "shell/about_dialog.h"

#include <QApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

#include "base/app_identity.h"

namespace velmora {

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent), version_(new QLabel(this)), notice_(new QLabel(this)), address_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("About Trevanta"));
  version_->setText(QString::fromLatin1(kAppTitle) + QStringLiteral(" Version ") +
                    QString::fromLatin1(kAppVersion));
  // The maker's notice runs to the current year, read when the box opens.
  notice_->setText(
      QStringLiteral("Copyright (C) Trevanta Software 2003-%1").arg(QDate::currentDate().year()));
  address_->setText(QStringLiteral("https://www.trevanta.example/velmora"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(version_, 0, 1);
  grid->addWidget(notice_, 1, 1);
  grid->addWidget(address_, 2, 1);
  grid->addWidget(buttons, 0, 2, 3, 1, Qt::AlignTop);
}

QString CAboutDialog::versionLine() const { return version_->text(); }
QString CAboutDialog::noticeLine() const { return notice_->text(); }
QString CAboutDialog::addressLine() const { return address_->text(); }

}  // namespace velmora
