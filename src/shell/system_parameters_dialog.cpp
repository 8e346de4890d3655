#include "shell/system_parameters_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "chart/locale_number.h"
#include "chart/number_text.h"
#include "monitor/provider_access.h"
#include "shell/data_source_box.h"
#include "shell/message_helpers.h"
#include "shell/provider_keyring.h"

namespace velmora {

namespace {

QString chooseWithDialog(QWidget* parent, const QString& startFolder) {
  const std::unique_ptr<QFileDialog> dialog = MakeEditorFileDialog(parent, startFolder);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
  return dialog->selectedFiles().first();
}

}  // namespace

std::unique_ptr<QFileDialog> MakeEditorFileDialog(QWidget* parent, const QString& startFolder) {
  // Programs here carry no file extension, so every file is listed, and no
  // name is suggested in advance.
  auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Open"), startFolder);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setNameFilter(QStringLiteral("All Files (*)"));
  return dialog;
}

QString EditorStartFolder() {
  const QByteArray root = qgetenv("SYSTEMROOT");
  return root.isEmpty() ? QStringLiteral("/usr/bin") : QString::fromLocal8Bit(root);
}

CSystemParametersDialog::CSystemParametersDialog(SystemConfig& config, QWidget* parent,
                                                 std::string configPath)
    : QDialog(parent),
      config_(config),
      opened_(config),
      configPath_(std::move(configPath)),
      chooseFile_(chooseWithDialog) {
  setWindowTitle(QStringLiteral("System Parameters"));
  QFrame* frame = fieldFrame();
  // Without a keyring service the Data source part disables its key fields
  // as it is built; asked now, the first opening already knows.
  ProcessKeyring().learnAvailability();
  // Beside the fields, and after them in the tab order.
  dataSource_ = new DataSourceBox(config_, ProcessKeyring(), this);
  QDialogButtonBox* buttons = saveAndCancel();
  auto* layout = new QVBoxLayout(this);
  auto* parts = new QHBoxLayout;
  parts->addWidget(frame, 0, Qt::AlignTop);
  parts->addWidget(dataSource_);
  layout->addLayout(parts);
  layout->addWidget(new QLabel(
      QStringLiteral("Some parameters will not be effective until you start Trevanta next time."), this));
  layout->addWidget(buttons);

  fill();
  screenWidth_->setFocus();
  screenWidth_->selectAll();
}

QFrame* CSystemParametersDialog::fieldFrame() {
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Box);
  auto* grid = new QGridLayout(frame);
  int row = 0;
  auto addBox = [&](const char* label, const char* note) {
    auto* box = new QLineEdit(frame);
    grid->addWidget(new QLabel(QString::fromLatin1(label), frame), row, 0);
    grid->addWidget(box, row, 1);
    if (note != nullptr) grid->addWidget(new QLabel(QString::fromLatin1(note), frame), row, 2);
    ++row;
    return box;
  };
  auto addChoice = [&](const char* label, int index) {
    auto* group = new QButtonGroup(this);
    auto* no = new QRadioButton(QStringLiteral("No"), frame);
    auto* yes = new QRadioButton(QStringLiteral("Yes"), frame);
    group->addButton(no, 0);
    group->addButton(yes, 1);
    auto* pair = new QHBoxLayout;
    pair->addWidget(no);
    pair->addWidget(yes);
    pair->addStretch();
    grid->addWidget(new QLabel(QString::fromLatin1(label), frame), row, 0);
    grid->addLayout(pair, row, 1);
    ++row;
    choices_[index] = group;
  };

  editor_ = new QLineEdit(frame);
  auto* browseButton = new QPushButton(QStringLiteral("Browse..."), frame);
  browseButton->setAutoDefault(false);
  connect(browseButton, &QPushButton::clicked, this, &CSystemParametersDialog::browse);
  grid->addWidget(new QLabel(QStringLiteral("Text Editor:"), frame), row, 0);
  grid->addWidget(editor_, row, 1);
  grid->addWidget(browseButton, row, 2);
  ++row;
  screenWidth_ = addBox("Screen Width:", "(from -1 to 9999)");
  screenHeight_ = addBox("Screen Height:", "(from -1 to 9999)");
  addChoice("Start Real Time Quote Loader:", 0);
  addChoice("Show Volume:", 1);
  addChoice("Show Moving Average:", 2);
  addChoice("Show Buy/Sell Signal:", 3);
  addChoice("Show Technical:", 4);
  quoteInterval_ = addBox("Quote Interval:", "(from 0 to 300 seconds)");
  confirmDays_ = addBox("Trend Change Confirm Days:", "(from 0 to 5 days)");
  threshold_ = addBox("Threshold To EMA10:", "(from 0 to 100 percent)");
  threadCount_ = addBox("Load Quote Thread Number:", "(from 1 to 16 threads)");
  startPage_ = new QCheckBox(QStringLiteral("Open the web chart page at start"), frame);
  grid->addWidget(startPage_, row++, 0, 1, 3);
  return frame;
}

QDialogButtonBox* CSystemParametersDialog::saveAndCancel() {
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* saveButton = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  saveButton->setDefault(true);
  connect(saveButton, &QPushButton::clicked, this, &CSystemParametersDialog::save);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  return buttons;
}

void CSystemParametersDialog::fill() {
  const SystemConfig& c = opened_;
  editor_->setText(QString::fromStdString(c.Editor));
  screenWidth_->setText(LocaleNumber(c.ScreenWidth));
  screenHeight_->setText(LocaleNumber(c.ScreenHeight));
  const int flags[5] = {c.StartRealTimeQuoteLoader, c.ShowVolume, c.ShowMA, c.ShowBS, c.ShowRSI};
  for (int i = 0; i < 5; ++i) choices_[i]->button(flags[i] ? 1 : 0)->setChecked(true);
  quoteInterval_->setText(LocaleNumber(c.QuoteInterval));
  confirmDays_->setText(LocaleNumber(c.TrendChangeConfirmDays));
  // The shortest form that reads back: 20.0 shows as 20.
  threshold_->setText(LocaleNumber(c.ThresholdToEMA10));
  threadCount_->setText(LocaleNumber(c.ThreadLoadQuoteNum));
  startPage_->setChecked(c.OpenStartPage != 0);
}

bool CSystemParametersDialog::readBoxes(SystemConfig& next) {
  struct IntegerBox {
    QLineEdit* box;
    int low;
    int high;
    int* value;
  };
  const IntegerBox integers[] = {{confirmDays_, 0, 5, &next.TrendChangeConfirmDays},
                                 {threadCount_, 1, 16, &next.ThreadLoadQuoteNum},
                                 {quoteInterval_, 0, 300, &next.QuoteInterval},
                                 {screenWidth_, -1, 9999, &next.ScreenWidth},
                                 {screenHeight_, -1, 9999, &next.ScreenHeight}};
  QString message;
  for (const IntegerBox& b : integers) {
    if (!ReadIntegerBox(*b.box, b.low, b.high, *b.value, message)) {
      ShowRefusal(this, b.box, message);
      return false;
    }
  }
  if (!ReadNumberBox(*threshold_, 0, 100, next.ThresholdToEMA10, message)) {
    ShowRefusal(this, threshold_, message);
    return false;
  }
  return true;
}

void CSystemParametersDialog::save() {
  SystemConfig next = config_;
  if (!readBoxes(next)) return;
  next.StartRealTimeQuoteLoader = choices_[0]->checkedId() == 1;
  next.ShowVolume = choices_[1]->checkedId() == 1;
  next.ShowMA = choices_[2]->checkedId() == 1;
  next.ShowBS = choices_[3]->checkedId() == 1;
  next.ShowRSI = choices_[4]->checkedId() == 1;
  next.OpenStartPage = startPage_->isChecked() ? 1 : 0;
  next.Editor = editor_->text().left(259).toStdString();
  // Only the fields this dialog edits are replaced: loader threads read the
  // service URLs while they run, and read the two shared settings atomically.
  config_.Editor = next.Editor;
  config_.ScreenWidth = next.ScreenWidth;
  config_.ScreenHeight = next.ScreenHeight;
  config_.StartRealTimeQuoteLoader = next.StartRealTimeQuoteLoader;
  config_.ShowVolume = next.ShowVolume;
  config_.ShowMA = next.ShowMA;
  config_.ShowBS = next.ShowBS;
  config_.ShowRSI = next.ShowRSI;
  StoreSharedSetting(config_.QuoteInterval, next.QuoteInterval);
  StoreSharedSetting(config_.TrendChangeConfirmDays, next.TrendChangeConfirmDays);
  config_.ThresholdToEMA10 = next.ThresholdToEMA10;
  config_.ThreadLoadQuoteNum = next.ThreadLoadQuoteNum;
  config_.OpenStartPage = next.OpenStartPage;
  // Loader threads read the provider choices while they make the process's
  // providers: they change under that lock.
  SystemConfig chosen = config_;
  const bool providersChanged = dataSource_->storeChoices(chosen);
  if (providersChanged) ApplyProviderChoices(config_, chosen);
  // A failed write is not reported; the values stay in memory.
  (void)WriteConfig(config_, configPath_);
  // The keys go to the keyring, never into the file. One the keyring could
  // not keep still serves this run, and the user hears so.
  const int unsavedBefore = ProcessKeyring().unsavedKeys();
  const bool keysChanged = dataSource_->storeKeys();
  if (ProcessKeyring().unsavedKeys() > unsavedBefore)
    (void)ShowWarning(this, QString::fromLatin1(kKeysKeptForThisRunNote));
  // Loader threads and charts take the new providers at their next request.
  if (providersChanged || keysChanged) ResetProviderHub();
  accept();
}

void CSystemParametersDialog::browse() {
  // Every data file is opened relative to the current folder, which a file
  // dialog may change: it is put back whatever happens.
  const QString folder = QDir::currentPath();
  const QString picked = chooseFile_(this, EditorStartFolder());
  QDir::setCurrent(folder);
  if (picked.isEmpty()) return;
  opened_.Editor = picked.toStdString();
  fill();
}

}  // namespace velmora
