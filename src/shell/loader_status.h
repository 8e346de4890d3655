#pragma once

// What the status bar says of the loader threads: a connection problem
// stays until a request gets through, and while the threads only wait
// between passes it says when the last pass ended and how many securities
// it could not refresh, instead of the last thread's chatter (which stays in
// the log).

#include <QString>
#include <ctime>
#include <functional>

namespace velmora {

class LoaderStatus {
 public:
  // When the last pass ended (0: none yet) and how many of how many
  // securities it could not refresh.
  struct PassSummary {
    std::time_t ended = 0;
    int failed = 0;
    int total = 0;
  };

  explicit LoaderStatus(std::function<PassSummary()> summary) : summary_(std::move(summary)) {}

  // A loader thread's text; returns what the status bar shows now (empty:
  // leave it as it is).
  QString threadText(const QString& text);
  // A request got through (a security was updated): a connection problem
  // shown is over. Returns the text to show now (empty: leave it).
  QString requestSucceeded();

  bool connectionProblem() const { return !problem_.isEmpty(); }

  // "Last pass ended at 14:02:05: 2 of 24 securities not refreshed."
  static QString SummaryText(const PassSummary& summary);

 private:
  std::function<PassSummary()> summary_;
  QString problem_;
  QString last_;
};

}  // namespace velmora
