#include "shell/loader_status.h"

#include <cstdio>

namespace velmora {

namespace {

const QString kCannotConnect = QStringLiteral("Can not connect to the quote service");
const QString kServiceAnswers = QStringLiteral("The quote service");

// The text a thread shows while it waits for its next pass.
bool waitingText(const QString& text) {
  return text.startsWith(QStringLiteral("Thread ")) && text.contains(QStringLiteral(" is sleeping "));
}

}  // namespace

QString LoaderStatus::SummaryText(const PassSummary& summary) {
  std::tm local{};
  localtime_r(&summary.ended, &local);
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  QString text = QStringLiteral("Last pass ended at %1: ").arg(QString::fromLatin1(time));
  if (summary.failed == 0)
    text += QStringLiteral("%1 %2 refreshed.")
                .arg(summary.total)
                .arg(summary.total == 1 ? "security" : "securities");
  else
    text += QStringLiteral("%1 of %2 %3 not refreshed.")
                .arg(summary.failed)
                .arg(summary.total)
                .arg(summary.total == 1 ? "security" : "securities");
  return text;
}

QString LoaderStatus::threadText(const QString& text) {
  if (text.startsWith(kCannotConnect)) {
    problem_ = text;
    return text;
  }
  if (text.startsWith(kServiceAnswers) && text.contains(QStringLiteral("answers again"))) {
    problem_.clear();
    last_ = text;
    return text;
  }
  // The problem stays in view until a request gets through.
  if (!problem_.isEmpty()) return {};
  if (waitingText(text)) {
    const PassSummary summary = summary_ ? summary_() : PassSummary{};
    if (summary.ended == 0) return {};
    const QString shown = SummaryText(summary);
    if (shown == last_) return {};
    last_ = shown;
    return shown;
  }
  last_ = text;
  return text;
}

QString LoaderStatus::requestSucceeded() {
  if (problem_.isEmpty()) return {};
  problem_.clear();
  const PassSummary summary = summary_ ? summary_() : PassSummary{};
  last_ = summary.ended != 0 ? SummaryText(summary) : QStringLiteral("Ready");
  return last_;
}

}  // namespace velmora
