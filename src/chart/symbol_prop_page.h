#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "core/chart_dates.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velmora {

// Page "Symbol" of the chart-setting sheet: what to chart and from where,
// the style, the duration with its dates, and the period. The page object
// lives as long as the program, so each sheet opens with the last choices.
class CSymbolPropPage : public QWidget {
  Q_OBJECT
 public:
  using TodayFunction = std::function<CalendarDate()>;
  // Chooses a quote file starting in `folder`; empty when cancelled.
  using FileChooser = std::function<QString(QWidget* parent, const QString& folder)>;

  // What the page holds between sheets.
  struct Values {
    std::string symbol = "MSFT";
    int source = 0;  // 0 online, 1 file
    std::string filePath;
    std::string indexName;
    std::string style = "Candle";
    std::string period = "Daily";
    std::string duration = "6 months";
    std::string startDate = "mm/dd/yyyy";
    std::string endDate = "mm/dd/yyyy";
  };

  // The dates of the default duration are worked out at once.
  explicit CSymbolPropPage(TodayFunction today = TodayLocalDate, QWidget* parent = nullptr);

  const Values& values() const { return values_; }
  void SetSymbol(const std::string& symbol) { values_.symbol = symbol; }
  void setDurationAndDates(const std::string& duration, const std::string& startDate,
                           const std::string& endDate);
  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

  // The sheet shows the page: values into the controls, then the rules.
  void openPage();
  // OK: the controls without handlers into the values. A blank symbol is
  // refused: the symbol box is returned with the message to show; else null.
  [[nodiscard]] QWidget* readControls(QString& message);

  QComboBox* symbolBox() const { return symbolBox_; }
  QRadioButton* onlineButton() const { return online_; }
  QRadioButton* fileButton() const { return file_; }
  QLineEdit* filePathBox() const { return filePath_; }
  QPushButton* browseButton() const { return browse_; }
  QComboBox* styleList() const { return styleList_; }
  QComboBox* durationList() const { return durationList_; }
  QComboBox* periodList() const { return periodList_; }
  QLineEdit* startDateBox() const { return startDate_; }
  QLineEdit* endDateBox() const { return endDate_; }
  QLabel* toLabel() const { return toLabel_; }

 private slots:
  void nameChosen(int index);
  void symbolTyped(const QString& text);
  void sourceClicked();
  void browse();
  void styleChosen(int index);
  void durationChosen(int index);
  void periodChosen(int index);

 private:
  void applyName(const QString& name);
  void sourceRule();
  void durationRule();
  void showDates();

  Values values_;
  TodayFunction today_;
  FileChooser chooseFile_;
  QComboBox* symbolBox_;
  QButtonGroup* sourceGroup_;
  QRadioButton* online_;
  QRadioButton* file_;
  QLineEdit* filePath_;
  QPushButton* browse_;
  QComboBox* styleList_;
  QComboBox* durationList_;
  QComboBox* periodList_;
  QLineEdit* startDate_;
  QLabel* toLabel_;
  QLineEdit* endDate_;
};

// The symbol of an index name ("NASDAQ 100 Index" -> "^NDX"), or "" for a
// name the table does not hold.
std::string IndexSymbolOfName(const std::string& name);

}  // namespace velmora
