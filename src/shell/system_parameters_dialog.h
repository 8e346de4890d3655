#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "base/system_config.h"

class QButtonGroup;
class QCheckBox;
class QDialogButtonBox;
class QFileDialog;
class QFrame;
class QLineEdit;

namespace velmora {

class DataSourceBox;

// Browse for the text editor: the open-file dialog it shows, listing every
// file of `startFolder`, and that folder: SYSTEMROOT where it is set, else
// /usr/bin, where the programs are.
std::unique_ptr<QFileDialog> MakeEditorFileDialog(QWidget* parent, const QString& startFolder);
QString EditorStartFolder();

// The user's editor for the settings that are not chart settings. Save
// checks every field in a fixed order, stores the values and writes
// Config.ini; Cancel changes nothing. Numbers show in the user's locale
// form and are taken in that form or in "C"; the file keeps "C".
//
// The keyring is asked whether it has a service before the Data source part
// is built, so that without one the key fields are disabled, with the note,
// from the first opening on: a key typed there is never dropped at Save.
class CSystemParametersDialog : public QDialog {
  Q_OBJECT
 public:
  // Chooses an editor program; an empty result means the user cancelled.
  using FileChooser = std::function<QString(QWidget* parent, const QString& startFolder)>;

  explicit CSystemParametersDialog(SystemConfig& config, QWidget* parent = nullptr,
                                   std::string configPath = kConfigFileName);

  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

  // The controls, by the label they stand beside (for tests and layout).
  QLineEdit* editorBox() const { return editor_; }
  QLineEdit* screenWidthBox() const { return screenWidth_; }
  QLineEdit* screenHeightBox() const { return screenHeight_; }
  QLineEdit* quoteIntervalBox() const { return quoteInterval_; }
  QLineEdit* confirmDaysBox() const { return confirmDays_; }
  QLineEdit* thresholdBox() const { return threshold_; }
  QLineEdit* threadCountBox() const { return threadCount_; }
  QButtonGroup* choice(int row) const {
    return choices_[row];
  }  // 0 loader, 1 volume, 2 MA, 3 B/S, 4 technical
  DataSourceBox* dataSource() const { return dataSource_; }
  QCheckBox* startPageCheck() const { return startPage_; }  // OpenStartPage

 public slots:
  void save();
  void browse();

 private:
  // The framed fields with their labels and notes, and the two buttons.
  QFrame* fieldFrame();
  QDialogButtonBox* saveAndCancel();
  void fill();
  // The number boxes into `next`, in a fixed order; false, after telling
  // the user, at the first one refused.
  [[nodiscard]] bool readBoxes(SystemConfig& next);

  SystemConfig& config_;
  SystemConfig opened_;  // the values the dialog opened with
  std::string configPath_;
  FileChooser chooseFile_;
  QLineEdit* editor_;
  QLineEdit* screenWidth_;
  QLineEdit* screenHeight_;
  QLineEdit* quoteInterval_;
  QLineEdit* confirmDays_;
  QLineEdit* threshold_;
  QLineEdit* threadCount_;
  QButtonGroup* choices_[5];
  QCheckBox* startPage_;
  DataSourceBox* dataSource_;  // the market-data providers and their keys
};

}  // namespace velmora
