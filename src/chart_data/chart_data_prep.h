#pragma once

#include <string>

#include "base/system_config.h"
#include "core/chart_data.h"
#include "core/chart_settings.h"
#include "core/chart_window.h"
#include "net/internet_session.h"

namespace velmora {

class SecurityStore;

// Where a chart's quotes come from: the configured quote services. Tests
// put their own in front of the real services (to look at the requests, or
// to give the client a calendar of their choosing).
class ChartQuoteSource {
 public:
  // The program's own settings also bring its market-data providers;
  // any other settings (a test's) ask the classic quote services.
  explicit ChartQuoteSource(const SystemConfig& config);
  // A copy of the program's settings (a chart loading on a thread of its
  // own) says whether the providers serve it.
  ChartQuoteSource(const SystemConfig& config, bool processProviders)
      : config_(config), processProviders_(processProviders) {}
  virtual ~ChartQuoteSource() = default;

  // As LoadHistoryQuote: the next free slot, or a negative result code.
  [[nodiscard]] virtual int LoadHistory(const char* symbol, char periodLetter, const HistoryRequestSpan& span,
                                        InternetSession& session, int capacity, QuoteBar* bars);
  // As LoadRealTimeQuote into `bar`: positive on success.
  [[nodiscard]] virtual int LoadRealTime(const char* symbol, InternetSession& session, QuoteBar& bar);

  const SystemConfig& config() const { return config_; }

 private:
  const SystemConfig& config_;
  bool processProviders_;
};

// Whether an online chart's load writes the history files it loaded. A
// chart of a listed security writes that security's own files; a chart of
// any other symbol writes its files only when no listed security owns their
// name (a chart of ^GSPC, whose files are "SP500", leaves the files of a
// listed stock SP500 as the loader wrote them).
enum class ChartHistoryFiles { kWrite, kKeep };

// What a chart opened against `store` may do with its history files.
ChartHistoryFiles ChartHistoryFilesFor(const ChartSettings& settings, const SecurityStore& store,
                                       int realTimeServer);

// A chart's data preparation, run once by the chart view before its first
// picture: loads the series (online with today's quote in bar 0, or from a
// local file), computes every indicator and signal with the settings'
// periods, writes the security's history files after an online load, and
// fixes the visible window, its extents and `barSpacing` (`plotWidth` is
// the plot's width between the left and right margins). With `files`
// kKeep nothing is written (a line in the log says so). Start and end
// dates typed the wrong way round are taken the right way round. False
// when the history, the file or today's quote could not be loaded; the
// failures themselves are logged by the quote layer, and `failureCode`,
// when given, receives the quote layer's result code of the failed request
// (0 for a local file).
[[nodiscard]] bool PrepareChartData(const ChartSettings& settings, InternetSession& session, int plotWidth,
                                    ChartData& out, double& barSpacing, ChartQuoteSource& source,
                                    ChartHistoryFiles files = ChartHistoryFiles::kWrite,
                                    int* failureCode = nullptr);

}  // namespace velmora
