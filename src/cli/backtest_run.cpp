#include "cli/backtest_run.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

#include "base/atomic_file.h"
#include "cli/backtest_text.h"
#include "core/compute_indicators.h"

namespace velmora {

namespace {

// The fewest bars that can carry a mark.
constexpr int kFewestBars = 3;

void backtestOne(BacktestOutcome& outcome, const BacktestOptions& o, QuoteSeries& series) {
  BacktestOptions mine = o;
  mine.isIndex = outcome.input.isIndex;
  const int count = ReadAnalysedBars(outcome.input.path, series, outcome.problem);
  if (count < 0) return;
  if (count < kFewestBars) {
    outcome.problem = "'" + outcome.input.path + "' gives " + std::to_string(count) + " bar" +
                      (count == 1 ? "" : "s") + ", too few for a mark (3 needed)";
    return;
  }
  outcome.result = RunBacktest(BarsOf(series), mine);
  outcome.tested = true;
}

std::string tableOf(const std::vector<const BacktestOutcome*>& ranked, const BacktestSummary& pooled) {
  std::string out;
  AppendBacktestTableHeader(out);
  for (const BacktestOutcome* o : ranked)
    AppendBacktestTableRow(o->input.symbol.c_str(), o->result.summary, out);
  AppendBacktestTableRow(kPooledRowName, pooled, out);
  return out;
}

std::string tradesOf(const std::vector<const BacktestOutcome*>& ranked) {
  std::string out;
  AppendTradesCsvHeader(true, out);
  for (const BacktestOutcome* o : ranked) AppendTradesCsv(o->result.trades, o->input.symbol.c_str(), out);
  return out;
}

BacktestSummary pool(const std::vector<const BacktestOutcome*>& ranked) {
  std::vector<BacktestResult> results;
  results.reserve(ranked.size());
  for (const BacktestOutcome* o : ranked) results.push_back(o->result);
  return PoolBacktests(results);
}

}  // namespace

std::vector<BacktestOutcome> BacktestInputs(const std::vector<BacktestInput>& inputs,
                                            const BacktestOptions& o, int threads) {
  std::vector<BacktestOutcome> outcomes(inputs.size());
  for (std::size_t k = 0; k < inputs.size(); ++k) outcomes[k].input = inputs[k];
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    auto series = std::make_unique<QuoteSeries>();
    for (std::size_t k; (k = next.fetch_add(1)) < outcomes.size();) {
      series->ResetAll();
      backtestOne(outcomes[k], o, *series);
    }
  };
  // This thread works too; never more threads than inputs.
  const std::size_t busy = std::min(outcomes.size(), static_cast<std::size_t>(threads < 1 ? 1 : threads));
  const std::size_t helpers = busy > 1 ? busy - 1 : 0;
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < helpers; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return outcomes;
}

std::vector<const BacktestOutcome*> RankedByTotalReturn(const std::vector<BacktestOutcome>& outcomes) {
  std::vector<const BacktestOutcome*> ranked;
  for (const BacktestOutcome& o : outcomes)
    if (o.tested) ranked.push_back(&o);
  std::stable_sort(ranked.begin(), ranked.end(), [](const BacktestOutcome* a, const BacktestOutcome* b) {
    if (a->result.summary.totalReturn != b->result.summary.totalReturn)
      return a->result.summary.totalReturn > b->result.summary.totalReturn;
    return a->input.symbol < b->input.symbol;
  });
  return ranked;
}

int RunBacktestProgram(const BacktestProgramOptions& options) {
  std::vector<BacktestInput> inputs;
  std::string problem;
  const bool listed = options.folder.empty()
                          ? ListSecurityInputs(inputs, problem)
                          : ListFolderInputs(options.folder, options.csvFile, inputs, problem);
  if (!listed) {
    std::fprintf(stderr, "velmora-backtest: %s; nothing to back-test\n", problem.c_str());
    return 3;
  }
  const unsigned cores = std::thread::hardware_concurrency();
  const int threads = options.threads > 0 ? options.threads : (cores > 0 ? static_cast<int>(cores) : 1);
  const std::vector<BacktestOutcome> outcomes = BacktestInputs(inputs, options.trading, threads);
  int skipped = 0;
  for (const BacktestOutcome& o : outcomes) {
    if (o.tested) continue;
    std::fprintf(stderr, "velmora-backtest: skipped %s: %s\n", o.input.symbol.c_str(), o.problem.c_str());
    ++skipped;
  }
  const std::vector<const BacktestOutcome*> ranked = RankedByTotalReturn(outcomes);
  if (ranked.empty()) {
    std::fprintf(stderr, "velmora-backtest: no security could be back-tested (%zu listed)\n", inputs.size());
    return 3;
  }
  const BacktestSummary pooled = pool(ranked);
  int status = 0;
  if (!WriteFileAtomically(kBacktestTableFile, tableOf(ranked, pooled), false)) {
    std::fprintf(stderr, "velmora-backtest: cannot write %s\n", kBacktestTableFile);
    status = 1;
  }
  if (!options.csvFile.empty() && !WriteFileAtomically(options.csvFile, tradesOf(ranked), false)) {
    std::fprintf(stderr, "velmora-backtest: cannot write %s\n", options.csvFile.c_str());
    status = 1;
  }
  std::printf("%zu securities back-tested, %d skipped: pooled total return %.2f%%, buy and hold %.2f%%\n",
              ranked.size(), skipped, pooled.totalReturn * 100, pooled.buyAndHold * 100);
  return status;
}

}  // namespace velmora
