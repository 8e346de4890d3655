#include "backtest/backtest.h"

#include "backtest/backtest_figures.h"
#include "backtest/date_keys.h"
#include "backtest/walk_forward.h"

namespace velmora {

namespace {

enum class Want { kNothing, kLong, kShort, kFlat };

Want wantOf(char mark, bool allowShort) {
  if (mark == 'B') return Want::kLong;
  if (mark == 'S') return allowShort ? Want::kShort : Want::kFlat;
  return Want::kNothing;
}

struct Position {
  bool held = false;
  TradeSide side = TradeSide::kLong;
  double before = 0;  // the account before the entry
  double staked = 0;  // the account less the entry commission
  double shares = 0;
  double price = 0;  // entry fill
  int signalBar = 0;
  int signalDate = 0;
  int entryBar = 0;
  int entryDate = 0;

  double valueAt(double p) const {
    return side == TradeSide::kLong ? shares * p : staked + shares * (price - p);
  }
};

// One security's account walking through the span.
class Account {
 public:
  Account(std::span<const QuoteBar> bars, const BacktestOptions& o, BacktestResult& result)
      : bars_(bars), o_(o), result_(result), slip_(o.slippageBp / 10000), cash_(o.capital) {}

  // A mark of the day before, acted on at this bar's open.
  void act(char mark, int t) {
    const Want want = wantOf(mark, o_.allowShort);
    if (want == Want::kNothing) return;
    const bool wantsLong = want == Want::kLong, wantsShort = want == Want::kShort;
    if (position_.held && ((position_.side == TradeSide::kLong && wantsLong) ||
                           (position_.side == TradeSide::kShort && wantsShort)))
      return;
    if (position_.held) close(t);
    if (wantsLong || wantsShort) open(wantsLong ? TradeSide::kLong : TradeSide::kShort, t);
  }

  // The account at this bar's close.
  double valueAtClose(int t) {
    const double c = bar(t).close;
    if (c > 0) lastClose_ = c;
    return position_.held ? position_.valueAt(lastClose_) : cash_;
  }
  bool holding() const { return position_.held; }
  double lastClose() const { return lastClose_; }

  // A position still held at the end, valued at the last close.
  void finish(int last) {
    if (!position_.held) return;
    BacktestTrade trade = tradeOf(position_);
    trade.exitBar = last;
    trade.exitDate = CachedDateKey(bar(last));
    trade.exitPrice = lastClose_;
    trade.returnOnAccount = position_.valueAt(lastClose_) / position_.before - 1;
    trade.barsHeld = position_.entryBar - last + 1;
    trade.open = true;
    result_.trades.push_back(trade);
  }

 private:
  const QuoteBar& bar(int i) const { return bars_[static_cast<std::size_t>(i)]; }

  // The open of bar t, or the previous close when the bar has no open.
  double openOf(int t) const {
    if (bar(t).open > 0) return bar(t).open;
    for (int j = t + 1; j < static_cast<int>(bars_.size()); ++j)
      if (bar(j).close > 0) return bar(j).close;
    return 0;
  }
  double buyFill(int t) const { return openOf(t) * (1 + slip_); }
  double sellFill(int t) const { return openOf(t) * (1 - slip_); }

  void open(TradeSide side, int t) {
    const double price = side == TradeSide::kLong ? buyFill(t) : sellFill(t);
    const double staked = cash_ - o_.commission;
    if (!(price > 0) || !(cash_ > 0) || !(staked > 0)) return;  // no price, or nothing left to trade
    position_ = Position{true,
                         side,
                         cash_,
                         staked,
                         staked / price,
                         price,
                         t + 1,
                         CachedDateKey(bar(t + 1)),
                         t,
                         CachedDateKey(bar(t))};
  }

  void close(int t) {
    const double price = position_.side == TradeSide::kLong ? sellFill(t) : buyFill(t);
    cash_ = position_.valueAt(price) - o_.commission;
    BacktestTrade trade = tradeOf(position_);
    trade.exitBar = t;
    trade.exitDate = CachedDateKey(bar(t));
    trade.exitPrice = price;
    trade.returnOnAccount = cash_ / position_.before - 1;
    trade.barsHeld = position_.entryBar - t;
    result_.trades.push_back(trade);
    position_.held = false;
  }

  static BacktestTrade tradeOf(const Position& p) {
    BacktestTrade trade;
    trade.side = p.side;
    trade.signalBar = p.signalBar;
    trade.signalDate = p.signalDate;
    trade.entryBar = p.entryBar;
    trade.entryDate = p.entryDate;
    trade.entryPrice = p.price;
    return trade;
  }

  std::span<const QuoteBar> bars_;
  const BacktestOptions& o_;
  BacktestResult& result_;
  double slip_;
  double cash_;
  double lastClose_ = 0;
  Position position_;
};

// The close a buy and hold starts from: the first positive one of the span
// (0, buying nothing, when there is none).
double firstClose(std::span<const QuoteBar> bars, BarSpan span) {
  for (int j = span.oldest; j >= span.newest; --j)
    if (bars[static_cast<std::size_t>(j)].close > 0) return bars[static_cast<std::size_t>(j)].close;
  return 0;
}

double buyAndHold(std::span<const QuoteBar> bars, BarSpan span, const BacktestOptions& o, double lastClose) {
  const double price = firstClose(bars, span) * (1 + o.slippageBp / 10000);
  const double staked = o.capital - o.commission;
  if (!(price > 0) || !(o.capital > 0) || !(staked > 0)) return 0;  // nothing could be bought
  return staked / price * lastClose / o.capital - 1;
}

}  // namespace

BacktestResult TradeMarks(std::span<const QuoteBar> bars, std::span<const char> marks,
                          const BacktestOptions& o, BarSpan span) {
  BacktestResult result;
  const int n = static_cast<int>(bars.size() < marks.size() ? bars.size() : marks.size());
  if (span.oldest > n - 1) span.oldest = n - 1;
  if (span.newest < 0) span.newest = 0;
  if (span.oldest < span.newest) return result;

  Account account(bars, o, result);
  result.equity.reserve(static_cast<std::size_t>(span.oldest - span.newest + 1));
  DrawdownTracker drawdown(o.capital);
  BacktestSummary& s = result.summary;
  char pending = 0;
  for (int t = span.oldest; t >= span.newest; --t) {
    account.act(pending, t);
    const double value = account.valueAtClose(t);
    if (account.holding()) ++s.barsHeld;
    result.equity.push_back({CachedDateKey(bars[static_cast<std::size_t>(t)]), value});
    drawdown.Add(value);
    pending = t > span.newest ? marks[static_cast<std::size_t>(t)] : 0;
  }
  account.finish(span.newest);

  s.bars = span.oldest - span.newest + 1;
  s.firstDate = result.equity.front().date;
  s.lastDate = result.equity.back().date;
  s.openPositions = !result.trades.empty() && result.trades.back().open ? 1 : 0;
  TradeTally tally;
  tally.Add(result.trades);
  tally.Finish(s);
  s.capital = o.capital;
  s.finalEquity = result.equity.back().value;
  FinishAccountFigures(s, drawdown);
  s.buyAndHold = buyAndHold(bars, span, o, account.lastClose());
  return result;
}

BacktestResult RunBacktest(std::span<const QuoteBar> bars, const BacktestOptions& options, BarSpan span) {
  const std::vector<char> marks = WalkForwardMarks(bars, options.isIndex, options.confirmDays);
  return TradeMarks(bars, marks, options, span);
}

BacktestResult RunBacktest(std::span<const QuoteBar> bars, const BacktestOptions& options) {
  return RunBacktest(bars, options, BarSpan{static_cast<int>(bars.size()) - 1, 0});
}

}  // namespace velmora
