#include "chart_data/chart_data_prep.h"

#include <strings.h>

#include <memory>

#include "base/log.h"
#include "core/compute_indicators.h"
#include "monitor/local_history_writer.h"
#include "monitor/provider_access.h"
#include "monitor/security_entry.h"
#include "monitor/security_store.h"
#include "quotes/local_history_reader.h"
#include "quotes/quote_services.h"

namespace velmora {

namespace {

// The process's market-data providers where the program's own settings
// name one for history (or quotes); null where the classic service serves.
std::shared_ptr<ProviderHub> providersFor(bool processProviders, bool history) {
  if (!processProviders) return nullptr;
  std::shared_ptr<ProviderHub> providers = ProcessProviderHub();
  if (providers == nullptr) return nullptr;
  const ProviderId id = history ? providers->plan().history : providers->plan().quotes;
  return id == ProviderId::kClassic ? nullptr : providers;
}

}  // namespace

ChartQuoteSource::ChartQuoteSource(const SystemConfig& config)
    : config_(config), processProviders_(&config == &systemConfig()) {}

int ChartQuoteSource::LoadHistory(const char* symbol, char periodLetter, const HistoryRequestSpan& span,
                                  InternetSession& session, int capacity, QuoteBar* bars) {
  if (const std::shared_ptr<ProviderHub> providers = providersFor(processProviders_, true)) {
    return providers->LoadHistory(symbol, periodLetter, {span.start.year, span.start.month, span.start.day},
                                  {span.end.year, span.end.month, span.end.day}, nullptr, 0, session,
                                  capacity, bars);
  }
  return LoadHistoryQuote(symbol, periodLetter, span.start.year, span.start.month, span.start.day,
                          span.end.year, span.end.month, span.end.day, session, capacity, bars, config_);
}

int ChartQuoteSource::LoadRealTime(const char* symbol, InternetSession& session, QuoteBar& bar) {
  RealTimePlaces places;
  places.bar = &bar;
  if (const std::shared_ptr<ProviderHub> providers = providersFor(processProviders_, false))
    return providers->LoadQuote(symbol, session, places);
  return LoadRealTimeQuote(symbol, session, places, config_);
}

namespace {

// The name (without ".csv"/".txt") of the files a chart of an unlisted
// symbol writes: the symbol as the monitor would name it (DJIA for ^DJI);
// empty when it can name no security.
std::string unlistedFileName(const ChartSettings& settings, int realTimeServer) {
  auto entry = std::make_unique<SecurityData>();
  if (!InitSecurityEntry(*entry, settings.symbol.c_str(), realTimeServer)) return {};
  return entry->displaySymbol;
}

}  // namespace

ChartHistoryFiles ChartHistoryFilesFor(const ChartSettings& settings, const SecurityStore& store,
                                       int realTimeServer) {
  if (!settings.displayName.empty()) return ChartHistoryFiles::kWrite;
  const std::string name = unlistedFileName(settings, realTimeServer);
  if (name.empty()) return ChartHistoryFiles::kWrite;  // the writer refuses it anyway
  // Letter case too: a folder on a file system that ignores it holds one
  // file for both names.
  for (int i = 0; i < store.count(); ++i)
    if (strcasecmp(store.entry(i).displaySymbol(), name.c_str()) == 0) return ChartHistoryFiles::kKeep;
  return ChartHistoryFiles::kWrite;
}

namespace {

constexpr int kSourceFile = 1;

// The history fills bars 1 onward and bar 0 starts as a copy of bar 1;
// today's quote then replaces bar 0. Returns the bar count, or 0 with the
// failed request's result code in `failureCode`.
int loadOnline(const ChartSettings& settings, InternetSession& session, ChartQuoteSource& source,
               QuoteSeries& bars, int& failureCode) {
  const char letter = PeriodLetter(settings.period);
  const HistoryRequestSpan span = HistoryRequestSpanFor(letter, ParseSettingsDate(settings.startDate),
                                                        ParseSettingsDate(settings.endDate));
  const int count =
      source.LoadHistory(settings.symbol.c_str(), letter, span, session, QuoteSeries::kCapacity, bars.data());
  if (count < 1) {
    failureCode = count;
    return 0;
  }
  const int quote = source.LoadRealTime(settings.symbol.c_str(), session, bars[0]);
  if (quote <= 0) {
    failureCode = quote;
    return 0;
  }
  return count;
}

// The loaded series becomes the security's history files, as the loader
// threads write them, through an entry of its own that is then dropped.
void writeHistoryFiles(const ChartSettings& settings, const SystemConfig& config, const QuoteSeries& bars,
                       ChartHistoryFiles files) {
  auto entry = std::make_unique<SecurityData>();
  // A monitored security's files carry the name the loader gives them.
  const std::string& name = settings.displayName.empty() ? settings.symbol : settings.displayName;
  if (!InitSecurityEntry(*entry, name.c_str(), config.RealTimeQuoteServer)) {
    LogFormat("Can not write history files for symbol '%s'.", name.c_str());
    return;
  }
  if (files == ChartHistoryFiles::kKeep) {
    LogFormat("The chart of '%s' does not write %s.csv and %s.txt: they belong to a monitored security.",
              settings.symbol.c_str(), entry->displaySymbol, entry->displaySymbol);
    return;
  }
  // A monitored index keeps the index layout of its text file, although the
  // name it is shown by (DJIA) is no index symbol.
  if (settings.isIndex >= 0) entry->isIndex = settings.isIndex != 0 ? 1 : 0;
  // A symbol that cannot name a file is refused (and logged) by the writer,
  // and a file that cannot be written ends the program there: the chart
  // itself does not depend on either.
  (void)WriteLocalHistoryFiles(*entry, bars.count, bars.data());
}

}  // namespace

bool PrepareChartData(const ChartSettings& typed, InternetSession& session, int plotWidth, ChartData& out,
                      double& barSpacing, ChartQuoteSource& source, ChartHistoryFiles files,
                      int* failureCode) {
  // Backwards dates would make a window of one bar: the request and the
  // window take them the right way round.
  ChartSettings settings = typed;
  (void)OrderSettingsDates(settings.startDate, settings.endDate);
  out.bars.ResetAll();
  out.signalState = SignalState{};
  const bool online = settings.source != kSourceFile;
  int failed = 0;
  const int count = online ? loadOnline(settings, session, source, out.bars, failed)
                           : ReadLocalHistoryFile(settings.filePath.c_str(), QuoteSeries::kCapacity,
                                                  out.bars.data(), session.stopFlag());
  if (count < 1) {
    if (failureCode != nullptr) *failureCode = failed;
    return false;
  }
  out.bars.count = count;

  computeIndicators(false, IsIndexChart(settings), settings.rsiPeriod, settings.stochFirst,
                    settings.stochSecond, settings.stochThird, count - 1, 0, BarsOf(out.bars),
                    out.signalState, EffectiveConfirmDays(source.config()));
  if (online) writeHistoryFiles(settings, source.config(), out.bars, files);

  FixChartWindow(settings, out);
  barSpacing = ChartBarSpacing(plotWidth, out.visibleCount);
  return true;
}

}  // namespace velmora
