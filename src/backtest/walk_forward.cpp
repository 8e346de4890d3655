#include "backtest/walk_forward.h"

#include "core/change_stage.h"
#include "core/moving_averages.h"
#include "core/series_range.h"
#include "core/signal_engine.h"
#include "core/signal_state.h"
#include "core/trend_levels.h"

namespace velmora {

namespace {

// The fewest bars the trend stage works on.
constexpr int kTrendStageBars = 3;

SeriesRange rangeOf(std::span<QuoteBar> bars, bool incremental, int start, int end) {
  SeriesRange r;
  // Callers pass a non-empty span and end <= start, which always make a range.
  (void)MakeSeriesRange(bars, incremental, start, end, r);
  return r;
}

char markOf(const QuoteBar& bar) { return bar.signalMark[0]; }

// With no confirmation delay each day's close judges every candidate of the
// history, so each day is a full computation of the trend and the signals.
void walkWithoutDelay(std::span<QuoteBar> bars, bool isIndex, std::vector<char>& marks) {
  const int n = static_cast<int>(bars.size());
  SignalState state;
  for (int t = n - kTrendStageBars; t >= 0; --t) {
    const std::span<QuoteBar> known = bars.subspan(static_cast<std::size_t>(t));
    const SeriesRange r = rangeOf(known, false, n - t - 1, 0);
    computeTrendLevels(r, 0);
    computeSignals(isIndex, r, state, 0);
    marks[static_cast<std::size_t>(t)] = markOf(known[0]);
  }
}

}  // namespace

// Day t knows bars t and older: the series seen that evening is
// bars.subspan(t), whose bar 0 is bar t. In a full computation over it the
// bar k places back from the newest is confirmed by the close N bars newer
// (N the delay) when k >= N, and by the newest close otherwise. So a bar's
// trend is final once it lies N bars behind the day, and only the newest N
// bars are judged again each day. Changes and moving averages depend on a
// bar and older ones alone (their seeding counts bars from the oldest), so
// one full computation serves every day.
std::vector<char> WalkForwardMarks(std::span<const QuoteBar> input, bool isIndex, int confirmDays) {
  const int n = static_cast<int>(input.size());
  std::vector<char> marks(input.size(), 0);
  if (n < kTrendStageBars) return marks;  // too few bars for a trend, so for a mark
  const int delay = confirmDays < 0 ? 0 : confirmDays;
  // Every derived field read below is computed before it is read, so the
  // copy may carry whatever the caller's bars held. Each thread keeps its
  // copy from call to call: a list of securities is walked one after
  // another, and fresh pages for every copy cost more than the walk itself.
  thread_local std::vector<QuoteBar> copy;
  copy.assign(input.begin(), input.end());
  const std::span<QuoteBar> bars(copy);
  const SeriesRange all = rangeOf(bars, false, n - 1, 0);
  computeChange(all);
  computeMovingAverages(all);
  if (delay == 0) {
    walkWithoutDelay(bars, isIndex, marks);
    return marks;
  }

  // The trend stage recomputes the bars up to `reach` places back each day:
  // the delay, but never fewer than the stage needs.
  const int reach = delay > kTrendStageBars - 1 ? delay : kTrendStageBars - 1;
  // The signals of bars older than `next` are final and held in `state`.
  // A full computation starts them at the first trend change, which the
  // seeding of the levels puts on the second-oldest bar.
  SignalState state;
  int next = n - 2;
  SignalCheckpoint saved;
  for (int t = n - kTrendStageBars; t >= 0; --t) {
    const std::span<QuoteBar> known = bars.subspan(static_cast<std::size_t>(t));
    const int m = n - t;
    // Until the newest `reach` bars stop short of the two seeded ones, the
    // day's levels are a full computation, which is short then.
    const bool early = reach >= m - 2;
    computeTrendLevels(rangeOf(known, !early, early ? m - 1 : reach, 0), delay);
    // Bars `delay` places back and older now have their final trend. The
    // signals run over the whole series, so the segments keep their bars
    // in one numbering (the rules read only differences of them) and read
    // the same older bars as over the day's own bars.
    if (next >= t + delay) {
      computeSignals(isIndex, rangeOf(bars, true, next, t + delay), state, delay);
      next = t + delay - 1;
    }
    // The newest bars are tried from the final state, which is then put back.
    state.saveCheckpoint(next - t + 1, saved);
    computeSignals(isIndex, rangeOf(bars, true, next, t), state, delay);
    marks[static_cast<std::size_t>(t)] = markOf(known[0]);
    state.restoreCheckpoint(saved);
  }
  return marks;
}

}  // namespace velmora
