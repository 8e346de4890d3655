#pragma once

#include <QAbstractSpinBox>
#include <QDialog>
#include <array>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "backtest/backtest.h"
#include "core/detail_quote_model.h"

class QGridLayout;
class QLabel;
class QLineEdit;

namespace velmora {

// The "Close:" box with its spin button: the text is the typed close, each
// arrow (or Up/Down key) is one step of one cent, Enter applies what is typed.
class CloseSpinBox : public QAbstractSpinBox {
 public:
  explicit CloseSpinBox(QWidget* parent = nullptr);

  std::function<void(const QString&)> onTyped;  // the user changed the text
  std::function<void(int)> onSpin;              // position change: up is -1
  std::function<void()> onApply;                // Enter

  void showText(const QString& text);  // sets the text without counting as typing
  void setCanStepDown(bool can) { canStepDown_ = can; }
  QRect arrowRect(bool up) const;  // where the up or down arrow is drawn

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;

 protected:
  StepEnabled stepEnabled() const override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool canStepDown_ = true;
};

// The modal "Detail Quote" dialog: one bar in full, its predecessors, the
// break levels and the sentiment, with a what-if close that reruns the
// engine on the dialog's own copy of the bars. Beside the advice box, the
// back-test of the bars it was opened with (a what-if close does not
// change it). Never changes the caller's bars or state. Numbers show as the
// user's locale writes them; a close is typed in that form or with a point.
class CDetailQuoteDialog : public QDialog {
  Q_OBJECT
 public:
  // Bar 0 of `bars` is the bar shown; the arguments are the model's.
  CDetailQuoteDialog(std::span<const QuoteBar> bars, bool isIndex, bool incremental, int start, int end,
                     const SignalState& state, int confirmDays, QWidget* parent = nullptr);

  const DetailQuoteModel& model() const { return model_; }

  // The boxes, by the label they stand beside ("Date:", "EMA20:", "BS3",
  // "Bullish if closing above:", ...); nullptr for an unknown label.
  QLineEdit* valueBox(const QString& label) const;
  QLineEdit* breakStateBox() const { return breakState_; }                          // beside "Cur.Trend:"
  QLineEdit* aboveBox(int k) const { return above_[static_cast<std::size_t>(k)]; }  // 'Y'/'N' of EMA k
  CloseSpinBox* closeBox() const { return close_; }
  QLabel* sentimentLine() const { return sentiment_; }

  // Shows these figures in the back-test box instead (a chart shows its
  // whole series' there).
  void showBacktest(const BacktestSummary& summary);

 private:
  QWidget* tradeGroup();
  // A group of value boxes, each beside its label, one a row.
  QWidget* boxGroup(const char* title, std::initializer_list<const char*> labels);
  QWidget* averageGroup();
  QWidget* signalGroup();
  QWidget* adviceGroup();
  QWidget* backtestGroup();
  QLineEdit* addBox(const char* label, QWidget* parent);
  // A label and its value box a row, from row 0 down; the next free row.
  int addBoxRows(QGridLayout* grid, QWidget* group, std::initializer_list<const char*> labels);
  void typed(const QString& text);
  void spun(int delta);
  void apply();
  void showTexts();

  DetailQuoteModel model_;
  std::vector<std::pair<QString, QLineEdit*>> boxes_;
  std::array<QLineEdit*, 6> above_{};
  QLineEdit* breakState_ = nullptr;
  CloseSpinBox* close_ = nullptr;
  QLabel* sentiment_ = nullptr;
};

// Opens the Detail Quote dialog modally over `owner` for `count` bars from
// `bars` (bar 0 is the one shown, older bars follow) and returns when the
// user closes it. The trend confirmation delay is the configured one. The
// back-test box shows `backtestBars`' back-test (newest first), or without
// them that of the dialog's bars.
void ShowDetailQuote(QWidget* owner, const QuoteBar* bars, int count, bool isIndex, bool incremental,
                     int start, int end, const SignalState& state,
                     std::span<const QuoteBar> backtestBars = {});

// The back-test of `bars` (newest first, at most the newest 1095) with the
// default costs.
BacktestSummary DetailQuoteBacktest(std::span<const QuoteBar> bars, bool isIndex, int confirmDays);

}  // namespace velmora
