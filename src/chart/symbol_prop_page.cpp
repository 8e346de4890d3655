#include "chart/symbol_prop_page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

namespace velmora {

namespace {

struct IndexName {
  const char* name;
  const char* symbol;
};

// Names the user may choose or type, with the symbol each stands for.
constexpr IndexName kIndexNames[] = {
    {"Dow Jones Ind Avg", "^DJI"},     {"NASDAQ Composite Index", "^IXIC"}, {"NASDAQ 100 Index", "^NDX"},
    {"NYSE Composite Index", "^IXIC"}, {"S&P 500 Index", "^GSPC"},          {"Semiconductor Index", "^IXIC"},
    {"Biotechnology Index", "^IXIC"},
};

// The drop-down's entries, and the symbols that select them when the page opens.
constexpr std::array<IndexName, 4> kDropDown = {{{"Dow Jones Ind Avg", "^DJI"},
                                                 {"S&P 500 Index", "^GSPC"},
                                                 {"NASDAQ Composite Index", "^IXIC"},
                                                 {"NASDAQ 100 Index", "^NDX"}}};

constexpr const char* kStyles[] = {"Candle"};
constexpr const char* kPeriods[] = {"Daily", "Weekly", "Monthly"};

QString chooseWithDialog(QWidget* parent, const QString& folder) {
  return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), folder + QStringLiteral("/*.csv"),
                                      QStringLiteral("CSV (*.csv);;TXT (*.txt);;All Files (*)"));
}

template <typename Texts>
void fillList(QComboBox* list, const Texts& texts, const std::string& current) {
  const QSignalBlocker quiet(list);
  list->clear();
  for (const char* text : texts) list->addItem(QString::fromLatin1(text));
  list->setCurrentIndex(list->findText(QString::fromStdString(current)));
}

}  // namespace

std::string IndexSymbolOfName(const std::string& name) {
  for (const IndexName& n : kIndexNames)
    if (name == n.name) return n.symbol;
  return {};
}

CSymbolPropPage::CSymbolPropPage(TodayFunction today, QWidget* parent)
    : QWidget(parent), today_(std::move(today)), chooseFile_(chooseWithDialog) {
  symbolBox_ = new QComboBox(this);
  symbolBox_->setEditable(true);
  symbolBox_->setInsertPolicy(QComboBox::NoInsert);
  symbolBox_->setCompleter(nullptr);  // typed text is a symbol, never completed to an index name
  symbolBox_->setMinimumContentsLength(24);
  online_ = new QRadioButton(QStringLiteral("Online"), this);
  file_ = new QRadioButton(QStringLiteral("File"), this);
  sourceGroup_ = new QButtonGroup(this);
  sourceGroup_->addButton(online_, 0);
  sourceGroup_->addButton(file_, 1);
  filePath_ = new QLineEdit(this);
  browse_ = new QPushButton(QStringLiteral("Browse..."), this);
  browse_->setAutoDefault(false);
  styleList_ = new QComboBox(this);
  durationList_ = new QComboBox(this);
  periodList_ = new QComboBox(this);
  startDate_ = new QLineEdit(this);
  toLabel_ = new QLabel(QStringLiteral("to"), this);
  endDate_ = new QLineEdit(this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Symbol:"), this), 0, 0);
  grid->addWidget(symbolBox_, 0, 1, 1, 3);
  auto* source = new QHBoxLayout;
  source->addWidget(online_);
  source->addWidget(file_);
  source->addWidget(filePath_, 1);
  source->addWidget(browse_);
  grid->addWidget(new QLabel(QStringLiteral("Source:"), this), 1, 0);
  grid->addLayout(source, 1, 1, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Style:"), this), 2, 0);
  grid->addWidget(styleList_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("Duration:"), this), 3, 0);
  grid->addWidget(durationList_, 3, 1);
  auto* dates = new QHBoxLayout;
  dates->addWidget(startDate_);
  dates->addWidget(toLabel_);
  dates->addWidget(endDate_);
  grid->addLayout(dates, 3, 2, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Period:"), this), 4, 0);
  grid->addWidget(periodList_, 4, 1);
  grid->setRowStretch(5, 1);

  connect(symbolBox_, qOverload<int>(&QComboBox::activated), this, &CSymbolPropPage::nameChosen);
  connect(symbolBox_->lineEdit(), &QLineEdit::textEdited, this, &CSymbolPropPage::symbolTyped);
  connect(online_, &QRadioButton::clicked, this, &CSymbolPropPage::sourceClicked);
  connect(file_, &QRadioButton::clicked, this, &CSymbolPropPage::sourceClicked);
  connect(browse_, &QPushButton::clicked, this, &CSymbolPropPage::browse);
  connect(styleList_, qOverload<int>(&QComboBox::activated), this, &CSymbolPropPage::styleChosen);
  connect(durationList_, qOverload<int>(&QComboBox::activated), this, &CSymbolPropPage::durationChosen);
  connect(periodList_, qOverload<int>(&QComboBox::activated), this, &CSymbolPropPage::periodChosen);

  DatesForDuration(values_.duration, today_(), values_.startDate, values_.endDate);
}

void CSymbolPropPage::setDurationAndDates(const std::string& duration, const std::string& startDate,
                                          const std::string& endDate) {
  values_.duration = duration;
  values_.startDate = startDate;
  values_.endDate = endDate;
}

void CSymbolPropPage::openPage() {
  {
    const QSignalBlocker quiet(symbolBox_);
    symbolBox_->clear();
    for (const IndexName& n : kDropDown) symbolBox_->addItem(QString::fromLatin1(n.name));
    symbolBox_->setCurrentIndex(-1);
  }
  int shown = -1;
  for (std::size_t i = 0; i < kDropDown.size(); ++i)
    if (values_.symbol == kDropDown[i].symbol) shown = static_cast<int>(i);
  if (shown >= 0) {
    const QSignalBlocker quiet(symbolBox_);
    symbolBox_->setCurrentIndex(shown);
    nameChosen(shown);
  } else {
    symbolBox_->setEditText(QString::fromStdString(values_.symbol));
  }

  (values_.source == 1 ? file_ : online_)->setChecked(true);
  sourceRule();
  fillList(styleList_, kStyles, values_.style);
  fillList(periodList_, kPeriods, values_.period);
  fillList(durationList_, kDurationNames, values_.duration);
  durationRule();
  symbolBox_->setFocus();
}

QWidget* CSymbolPropPage::readControls(QString& message) {
  values_.source = file_->isChecked() ? 1 : 0;
  values_.filePath = filePath_->text().toStdString();
  if (styleList_->currentIndex() >= 0) values_.style = styleList_->currentText().toStdString();
  if (durationList_->currentIndex() >= 0) values_.duration = durationList_->currentText().toStdString();
  if (periodList_->currentIndex() >= 0) values_.period = periodList_->currentText().toStdString();
  values_.startDate = startDate_->text().toStdString();
  values_.endDate = endDate_->text().toStdString();
  // Without a symbol there is nothing to ask the quote service for.
  if (values_.symbol.find_first_not_of(' ') == std::string::npos) {
    message = QStringLiteral("Please enter a symbol.");
    return symbolBox_;
  }
  return nullptr;
}

void CSymbolPropPage::applyName(const QString& name) {
  values_.indexName = name.toStdString();
  const std::string symbol = IndexSymbolOfName(values_.indexName);
  if (!symbol.empty()) values_.symbol = symbol;
  values_.filePath = values_.symbol + ".csv";
  filePath_->setText(QString::fromStdString(values_.filePath));
}

void CSymbolPropPage::nameChosen(int index) {
  if (index >= 0) applyName(symbolBox_->itemText(index));
}

void CSymbolPropPage::symbolTyped(const QString& text) {
  // A typed index name of the table stands for its symbol, as a chosen one does.
  if (!IndexSymbolOfName(text.toStdString()).empty()) {
    applyName(text);
    return;
  }
  values_.symbol = text.toStdString();
  values_.filePath = values_.symbol + ".csv";
  filePath_->setText(QString::fromStdString(values_.filePath));
}

void CSymbolPropPage::sourceRule() {
  values_.source = file_->isChecked() ? 1 : 0;
  filePath_->setVisible(values_.source == 1);
  browse_->setVisible(values_.source == 1);
  values_.filePath = values_.symbol + ".csv";
  filePath_->setText(QString::fromStdString(values_.filePath));
}

void CSymbolPropPage::sourceClicked() {
  sourceRule();
  if (values_.source == 1) {
    filePath_->setFocus();
    filePath_->selectAll();
  }
}

void CSymbolPropPage::browse() {
  // Every data file is opened relative to the current folder, which a file
  // dialog may change: it is put back whatever happens.
  const QString folder = QDir::currentPath();
  const QString picked = chooseFile_(this, folder);
  QDir::setCurrent(folder);
  if (picked.isEmpty()) return;
  values_.filePath = picked.toStdString();
  filePath_->setText(picked);
}

void CSymbolPropPage::styleChosen(int index) {
  if (index >= 0) values_.style = styleList_->itemText(index).toStdString();
}

void CSymbolPropPage::periodChosen(int index) {
  if (index >= 0) values_.period = periodList_->itemText(index).toStdString();
}

void CSymbolPropPage::durationChosen(int index) {
  if (index < 0) return;
  values_.duration = durationList_->itemText(index).toStdString();
  durationRule();
}

void CSymbolPropPage::durationRule() {
  const bool custom = values_.duration == kCustomizeDuration;
  startDate_->setReadOnly(!custom);
  endDate_->setReadOnly(!custom);
  toLabel_->setEnabled(custom);
  // A duration that is no preset (set from outside) keeps the dates it came with.
  if (!custom && DatesForDuration(values_.duration, today_(), values_.startDate, values_.endDate)) {
    values_.period = PeriodForDuration(values_.duration, values_.period);
    const QSignalBlocker quiet(periodList_);
    periodList_->setCurrentIndex(periodList_->findText(QString::fromStdString(values_.period)));
  }
  showDates();
}

void CSymbolPropPage::showDates() {
  startDate_->setText(QString::fromStdString(values_.startDate));
  endDate_->setText(QString::fromStdString(values_.endDate));
}

}  // namespace velmora
