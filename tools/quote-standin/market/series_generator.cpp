#include "market/series_generator.h"

#include <algorithm>
#include <cstdint>

#include "market/calendar.h"
#include "market/random_source.h"

namespace velmora::standin {

namespace {

// A symbol's character, drawn once from its seed.
struct Profile {
  double startPrice;     // cents
  double dailyGrowth;    // long-run trend per trading day
  double volatility;     // typical daily move
  double startShares;    // daily volume in 1970
  double volumeGrowth;   // per trading day
  double maxShares;      // volume level cap (in 1970 share units)
  double splitAbove;     // cents; 0: never splits
  double dividendYield;  // per quarter; 0: pays none
};

Profile makeProfile(RandomSource& rng, bool isIndex) {
  Profile p{};
  if (isIndex) {
    p.startPrice = rng.Between(5000, 50000);
    p.dailyGrowth = rng.Between(0.05, 0.09) / 252;
    p.volatility = rng.Between(0.007, 0.013);
    p.startShares = rng.Between(5e6, 2e7);
    p.volumeGrowth = 1 + rng.Between(2.5e-4, 3.5e-4);
    p.maxShares = rng.Between(1.2e9, 1.6e9);
  } else {
    p.startPrice = rng.Between(300, 6000);
    p.dailyGrowth = rng.Between(0.02, 0.12) / 252;
    p.volatility = rng.Between(0.012, 0.026);
    p.startShares = rng.Between(1e4, 2e5);
    p.volumeGrowth = 1 + rng.Between(1.5e-4, 2.5e-4);
    p.maxShares = rng.Between(2e6, 3e6);
    p.splitAbove = rng.Uniform() < 0.65 ? rng.Between(8000, 20000) : 0;
    p.dividendYield = rng.Uniform() < 0.5 ? rng.Between(0.002, 0.005) : 0;
  }
  return p;
}

// Trends, their reversals, calm stretches and choppy ones take turns, so
// that trend breaks and buy/sell signals appear in any few months of data.
enum class Regime { kUp, kDown, kCalm, kChoppy };

struct RegimeState {
  Regime regime = Regime::kCalm;
  int daysLeft = 0;
  double drift = 0;
  double volFactor = 1;
};

void nextRegime(RandomSource& rng, const Profile& p, RegimeState& s) {
  const double u = rng.Uniform();
  Regime next;
  switch (s.regime) {
    case Regime::kUp:
      next = u < 0.5 ? Regime::kDown : u < 0.8 ? Regime::kCalm : Regime::kChoppy;
      break;
    case Regime::kDown:
      next = u < 0.55 ? Regime::kUp : u < 0.85 ? Regime::kCalm : Regime::kChoppy;
      break;
    case Regime::kCalm:
      next = u < 0.45 ? Regime::kUp : u < 0.8 ? Regime::kDown : Regime::kChoppy;
      break;
    default:
      next = u < 0.45 ? Regime::kUp : u < 0.85 ? Regime::kDown : Regime::kCalm;
      break;
  }
  s.regime = next;
  switch (next) {
    case Regime::kUp:
      s.daysLeft = 15 + rng.Below(76);
      s.drift = p.volatility * rng.Between(0.12, 0.30);
      s.volFactor = 1.0;
      break;
    case Regime::kDown:
      s.daysLeft = 10 + rng.Below(51);
      s.drift = -p.volatility * rng.Between(0.12, 0.35);
      s.volFactor = 1.1;
      break;
    case Regime::kCalm:
      s.daysLeft = 10 + rng.Below(31);
      s.drift = 0;
      s.volFactor = 0.45;
      break;
    case Regime::kChoppy:
      s.daysLeft = 5 + rng.Below(21);
      s.drift = 0;
      s.volFactor = 1.5;
      break;
  }
}

constexpr double kMaxCents = 1e9;   // $10,000,000: far from int32 limits
constexpr double kMaxTarget = 5e6;  // the long-run trend levels off at $50,000
constexpr double kMaxSplitProduct = 64;

std::int32_t toCents(double v) {
  if (v < 1) return 1;
  if (v > kMaxCents) return static_cast<std::int32_t>(kMaxCents);
  return static_cast<std::int32_t>(v + 0.5);
}

// What happens before a day's open: a split (ratio > 1) or a dividend.
struct DayEvent {
  double splitRatio = 1;
  std::int32_t dividend = 0;  // cents
};

struct Walker {
  RandomSource rng;
  Profile p;
  RegimeState regime;
  double target;
  double previousClose;
  double shares;
  double splitProduct = 1;
  double pendingSplit = 1;
  int quarterDays;

  Walker(std::uint64_t seed, bool isIndex) : rng(seed), p(makeProfile(rng, isIndex)) {
    target = p.startPrice;
    previousClose = p.startPrice;
    shares = p.startShares;
    quarterDays = 1 + rng.Below(63);
    nextRegime(rng, p, regime);
  }

  PriceBar step(int day, DayEvent& event) {
    if (--regime.daysLeft <= 0) nextRegime(rng, p, regime);
    double base = previousClose;
    if (pendingSplit > 1) {
      event.splitRatio = pendingSplit;
      base /= pendingSplit;
      target /= pendingSplit;
      splitProduct *= pendingSplit;
      pendingSplit = 1;
    }
    if (p.dividendYield > 0 && --quarterDays <= 0) {
      quarterDays = 63;
      event.dividend = std::max<std::int32_t>(1, toCents(base * p.dividendYield));
      base -= event.dividend;
    }
    const double vol = p.volatility * regime.volFactor;
    double gap = 0.2 * vol * rng.Normal();
    if (rng.Uniform() < 0.03) gap = rng.Sign() * rng.Between(1.5, 5.0) * vol;
    const double open = base * (1 + gap);
    // A gentle pull towards the long-run trend keeps fifty years of prices sane.
    const double pull = std::clamp(0.003 * (target / open - 1), -0.006, 0.006);
    double r = regime.drift + pull + vol * rng.Normal();
    if (rng.Uniform() < 0.004) r += rng.Sign() * rng.Between(3.0, 6.0) * vol;
    r = std::clamp(r, -0.25, 0.25);
    const double close = open * (1 + r);
    const double high = std::max(open, close) * (1 + vol * 0.7 * rng.Uniform());
    const double low = std::min(open, close) * (1 - vol * 0.7 * rng.Uniform());

    PriceBar bar;
    bar.day = day;
    bar.open = toCents(open);
    bar.close = toCents(close);
    bar.high = std::max({toCents(high), bar.open, bar.close});
    bar.low = std::min({toCents(low), bar.open, bar.close});
    const double activity = 0.55 + 0.5 * rng.Uniform() + 8 * (r < 0 ? -r : r);
    const double volume = shares * splitProduct * activity;
    bar.volume = static_cast<std::int64_t>(std::clamp(volume, 100.0, 2.0e9));

    shares = std::min(shares * p.volumeGrowth, p.maxShares);
    target = std::min(target * (1 + p.dailyGrowth), kMaxTarget);
    if (p.splitAbove > 0 && bar.close > p.splitAbove && rng.Uniform() < 0.05) {
      const double u = rng.Uniform();
      const double ratio = u < 0.7 ? 2.0 : u < 0.85 ? 1.5 : 3.0;
      if (splitProduct * ratio <= kMaxSplitProduct) pendingSplit = ratio;
    }
    previousClose = bar.close;
    return bar;
  }
};

// Adjusted close: the close times every later split and dividend factor,
// the way the historical quote services computed it.
void fillAdjustedCloses(std::vector<PriceBar>& bars, const std::vector<DayEvent>& events) {
  double factor = 1;
  for (std::size_t i = bars.size(); i-- > 0;) {
    bars[i].adjClose = toCents(bars[i].close * factor);
    if (i == 0) break;
    factor /= events[i].splitRatio;
    if (events[i].dividend > 0) factor *= 1 - static_cast<double>(events[i].dividend) / bars[i - 1].close;
  }
}

}  // namespace

PriceSeries GenerateSeries(std::string_view symbol, int quoteDay) {
  PriceSeries series;
  series.isIndex = !symbol.empty() && symbol[0] == '^';
  series.seed = Mix64(HashText(symbol));
  series.movesIntraday = true;
  if (quoteDay < kFirstGeneratedDay) return series;

  Walker walker(series.seed, series.isIndex);
  std::vector<PriceBar> bars;
  std::vector<DayEvent> events;
  bars.reserve(static_cast<std::size_t>((quoteDay - kFirstGeneratedDay) / 7 * 5 + 8));
  events.reserve(bars.capacity());
  for (int day = kFirstGeneratedDay; day <= quoteDay; ++day) {
    if (!IsTradingDay(day)) continue;
    DayEvent event;
    bars.push_back(walker.step(day, event));
    events.push_back(event);
  }
  fillAdjustedCloses(bars, events);
  for (std::size_t i = 0; i < bars.size(); ++i) {
    if (events[i].splitRatio > 1 || events[i].dividend > 0) {
      series.actions.push_back({bars[i].day, events[i].splitRatio, events[i].dividend});
    }
  }

  series.hasQuote = true;
  series.quote = bars.back();
  bars.pop_back();
  series.previousClose = bars.empty() ? 0 : bars.back().close;
  series.daily = std::move(bars);
  FillPeriodBars(series);
  return series;
}

}  // namespace velmora::standin
