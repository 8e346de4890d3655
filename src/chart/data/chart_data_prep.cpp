#include "chart/data/chart_data_prep.h"

#include <memory>

#include "base/log.h"
#include "core/compute_indicators.h"
#include "monitor/local_history_writer.h"
#include "monitor/provider_access.h"
#include "monitor/security_entry.h"
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

constexpr int kSourceFile = 1;

// The history fills bars 1 onward and bar 0 starts as a copy of bar 1;
// today's quote then replaces bar 0. Returns the bar count, or 0.
int loadOnline(const ChartSettings& settings, InternetSession& session, ChartQuoteSource& source,
               QuoteSeries& bars) {
  const char letter = PeriodLetter(settings.period);
  const HistoryRequestSpan span = HistoryRequestSpanFor(letter, ParseSettingsDate(settings.startDate),
                                                        ParseSettingsDate(settings.endDate));
  const int count =
      source.LoadHistory(settings.symbol.c_str(), letter, span, session, QuoteSeries::kCapacity, bars.data());
  if (count < 1) return 0;
  if (source.LoadRealTime(settings.symbol.c_str(), session, bars[0]) <= 0) return 0;
  return count;
}

// The loaded series becomes the security's history files, as the loader
// threads write them, through an entry of its own that is then dropped.
void writeHistoryFiles(const ChartSettings& settings, const SystemConfig& config, const QuoteSeries& bars) {
  auto entry = std::make_unique<SecurityData>();
  // A monitored security's files carry the name the loader gives them.
  const std::string& name = settings.displayName.empty() ? settings.symbol : settings.displayName;
  if (!InitSecurityEntry(*entry, name.c_str(), config.RealTimeQuoteServer)) {
    LogFormat("Can not write history files for symbol '%s'.", name.c_str());
    return;
  }
  // A symbol that cannot name a file is refused (and logged) by the writer,
  // and a file that cannot be written ends the program there: the chart
  // itself does not depend on either.
  (void)WriteLocalHistoryFiles(*entry, bars.count, bars.data());
}

}  // namespace

bool PrepareChartData(const ChartSettings& settings, InternetSession& session, int plotWidth, ChartData& out,
                      double& barSpacing, ChartQuoteSource& source) {
  out.bars.ResetAll();
  out.signalState = SignalState{};
  const bool online = settings.source != kSourceFile;
  const int count =
      online ? loadOnline(settings, session, source, out.bars)
             : ReadLocalHistoryFile(settings.filePath.c_str(), QuoteSeries::kCapacity, out.bars.data());
  if (count < 1) return false;
  out.bars.count = count;

  computeIndicators(false, IsIndexChart(settings), settings.rsiPeriod, settings.stochFirst,
                    settings.stochSecond, settings.stochThird, count - 1, 0, BarsOf(out.bars),
                    out.signalState);
  if (online) writeHistoryFiles(settings, source.config(), out.bars);

  FixChartWindow(settings, out);
  barSpacing = ChartBarSpacing(plotWidth, out.visibleCount);
  return true;
}

}  // namespace velmora
