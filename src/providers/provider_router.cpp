#include "providers/provider_router.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "base/log.h"
#include "net/quote_result.h"
#include "providers/history_overlap.h"
#include "providers/provider_bars.h"
#include "providers/provider_fetch.h"
#include "providers/provider_standing.h"
#include "providers/provider_support.h"
#include "providers/provider_time.h"

namespace velmora {

namespace {

// A transient failure is tried twice more, after about 0.3 s and 1 s
// (each pause a quarter longer or shorter at random, so threads that failed
// together do not come back together), in slices that end at a stop.
constexpr int kMoreTries = 2;
constexpr int kRetryPauseMs[kMoreTries] = {300, 1000};
constexpr int kPauseSliceMs = 50;

// How long a provider is left alone after each kind of refusal. A spent
// quota may be an hourly, daily or monthly one: an hour costs one request
// an hour to find out, and gives an hourly quota back in time.
constexpr std::int64_t kRateLimitedSeconds = 60;  // a 429 that names no wait
constexpr std::int64_t kQuotaUsedUpSeconds = 3600;
constexpr std::int64_t kBadKeySeconds = 3600;
constexpr std::int64_t kBlockedSeconds = 900;

std::int64_t systemNow() { return static_cast<std::int64_t>(std::time(nullptr)); }
void systemSleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int jittered(int ms) {
  thread_local std::minstd_rand engine{std::random_device{}()};
  std::uniform_real_distribution<double> factor(0.75, 1.25);
  return static_cast<int>(ms * factor(engine));
}

std::string durationText(std::int64_t seconds) {
  if (seconds < 120) return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
  if (seconds < 3600) return std::to_string((seconds + 30) / 60) + " minutes";
  const std::int64_t hours = (seconds + 1800) / 3600;
  return std::to_string(hours) + (hours == 1 ? " hour" : " hours");
}

std::string withReason(const char* what, const std::string& reason) {
  return reason.empty() ? std::string(what) : std::string(what) + " (" + reason + ")";
}

bool servesPeriod(const ProviderAbilities& a, char period) {
  return period == 'w' ? a.weekly : (period == 'm' ? a.monthly : a.daily);
}

// The quote of `mapped` in an answer: the one that names it, or the only one.
const ProviderQuote* quoteOf(const std::vector<ProviderQuote>& quotes, const std::string& mapped) {
  for (const ProviderQuote& q : quotes) {
    if (q.symbol.size() == mapped.size() &&
        std::equal(q.symbol.begin(), q.symbol.end(), mapped.begin(), [](char x, char y) {
          return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
        }))
      return &q;
  }
  return quotes.size() == 1 && quotes[0].symbol.empty() ? &quotes[0] : nullptr;
}

// One request's way through the candidates: what the last of them that
// failed said, whether any said "not found", and whether any was skipped
// while cooled (and whether for its budget or rate).
struct Tally {
  int failure = 0;
  bool notFound = false;
  bool skipped = false;
  bool skippedForRate = false;

  void skip(bool forRate) {
    skipped = true;
    skippedForRate = skippedForRate || forRate;
  }
  void add(int code) {
    if (code == kQuoteNotFound) {
      notFound = true;
    } else {
      failure = code;
    }
  }
  int result() const {
    if (failure != 0) return failure;
    if (notFound && !skipped) return kQuoteNotFound;
    return skippedForRate ? kQuoteRateLimited : kQuoteFailed;
  }
};

// One candidate of one request.
struct Ask {
  ProviderId id = ProviderId::kClassic;
  const QuoteProvider* provider = nullptr;
  const char* symbol = "";  // the list's
  std::string mapped;       // the provider's
  std::string who;          // "Tiingo MSFT", for the log
};

struct HistoryJob {
  char period = 'd';
  ProviderDate from, to;
  bool incremental = false;  // ask from askFrom and merge with `known`
  ProviderDate askFrom;
  const QuoteBar* known = nullptr;
  int knownCount = 0;
  int capacity = 0;
  QuoteBar* bars = nullptr;
};

enum class Try { kAnswered, kRefused, kStopped };

}  // namespace

struct ProviderRouter::State {
  State(ProviderPlan p, Providers ps, std::string statePath)
      : plan(std::move(p)), providers(std::move(ps)), budget(std::move(statePath)) {}

  ProviderPlan plan;
  Providers providers;
  RateBudget budget;

  ProviderStanding standing;

  std::mutex mutex;  // the clock and the sleeper; never held while fetching or sleeping
  std::function<std::int64_t()> clock = systemNow;
  std::function<void(int)> sleep = systemSleep;

  std::vector<ProviderId> candidates(ProviderId primary, bool history, char period) const;
  bool prepare(ProviderId id, const char* symbol, Ask& a) const;
  bool skipCooled(ProviderId id, Tally& tally);
  bool cool(ProviderId id, std::int64_t seconds, bool forRate);
  bool pause(int ms, InternetSession& session);

  template <typename Result, typename Read>
  Try ask(const Ask& a, const ProviderRequest& request, Read read, InternetSession& session, Result& result,
          ProviderAnswer& answer, int& tries);
  Try historyFrom(const Ask& a, const HistoryJob& job, InternetSession& session, ProviderOutcome& outcome,
                  ProviderAnswer& answer, int& tries, int& next);
  int settle(const Ask& a, const ProviderOutcome& outcome, const ProviderAnswer& answer, int tries);
  void noteNotFound(const Ask& a);

  std::int64_t now() {
    std::lock_guard<std::mutex> lock(mutex);
    return clock();
  }
};

std::vector<ProviderId> ProviderRouter::State::candidates(ProviderId primary, bool history,
                                                          char period) const {
  std::vector<ProviderId> list;
  const auto consider = [&](ProviderId id) {
    if (id == ProviderId::kClassic || std::find(list.begin(), list.end(), id) != list.end()) return;
    const QuoteProvider* p = providers[static_cast<int>(id)].get();
    if (p == nullptr) return;
    const ProviderAbilities abilities = p->abilities();
    if (history ? !servesPeriod(abilities, period) : !abilities.quotes()) return;
    if (abilities.needsKey && plan.settings[static_cast<int>(id)].key.empty()) return;
    list.push_back(id);
  };
  consider(primary);
  for (const ProviderId id : plan.fallback) consider(id);
  return list;
}

bool ProviderRouter::State::prepare(ProviderId id, const char* symbol, Ask& a) const {
  a.id = id;
  a.provider = providers[static_cast<int>(id)].get();
  a.symbol = symbol;
  a.mapped = a.provider->MapSymbol(symbol);
  a.who = std::string(ProviderName(id)) + " " + symbol;
  return !a.mapped.empty();
}

bool ProviderRouter::State::skipCooled(ProviderId id, Tally& tally) {
  bool forRate = false;
  if (!standing.Cooled(id, now(), forRate)) return false;
  tally.skip(forRate);
  return true;
}

bool ProviderRouter::State::cool(ProviderId id, std::int64_t seconds, bool forRate) {
  return standing.Cool(id, now(), seconds, forRate);
}

// False when the session's stop ended the pause.
bool ProviderRouter::State::pause(int ms, InternetSession& session) {
  std::function<void(int)> sleeper;
  {
    std::lock_guard<std::mutex> lock(mutex);
    sleeper = sleep;
  }
  while (ms > 0) {
    if (session.StopRequested()) return false;
    const int slice = std::min(ms, kPauseSliceMs);
    sleeper(slice);
    ms -= slice;
  }
  return !session.StopRequested();
}

// One request to one candidate, tried again while it fails transiently;
// every try takes its place in the budget first.
template <typename Result, typename Read>
Try ProviderRouter::State::ask(const Ask& a, const ProviderRequest& request, Read read,
                               InternetSession& session, Result& result, ProviderAnswer& answer, int& tries) {
  for (tries = 1;; ++tries) {
    if (session.StopRequested()) return Try::kStopped;
    const BudgetGrant grant = budget.TryTake(a.id, a.mapped);
    if (!grant.taken) {
      if (cool(a.id, grant.waitSeconds, true))
        LogFormat("%s: out of its request budget (%s); left alone for %s.", a.who.c_str(),
                  grant.limit.c_str(),
                  durationText(std::min<std::int64_t>(grant.waitSeconds, kLongestCoolingSeconds)).c_str());
      return Try::kRefused;
    }
    answer = FetchProviderAnswer(request, session, a.who);
    if (session.StopRequested()) return Try::kStopped;
    result = read(answer);
    if (result.outcome.status != ProviderStatus::kTransient || tries > kMoreTries) return Try::kAnswered;
    if (!pause(jittered(kRetryPauseMs[tries - 1]), session)) return Try::kStopped;
  }
}

// Logs and acts on a candidate's outcome other than ok; its result code.
int ProviderRouter::State::settle(const Ask& a, const ProviderOutcome& outcome, const ProviderAnswer& answer,
                                  int tries) {
  const std::string what = withReason(ProviderStatusText(outcome.status), outcome.reason);
  const auto coolFor = [&](std::int64_t seconds, bool forRate, const char* doing) {
    if (cool(a.id, seconds, forRate))
      LogFormat("%s: %s; %sleft alone for %s.", a.who.c_str(), what.c_str(), doing,
                durationText(std::clamp<std::int64_t>(seconds, 1, kLongestCoolingSeconds)).c_str());
  };
  const std::int64_t told = outcome.retryAfterSeconds;
  switch (outcome.status) {
    case ProviderStatus::kOk:
      return kQuoteFailed;  // not reached: ok is the caller's
    case ProviderStatus::kNotFound:
      LogFormat("%s: %s.", a.who.c_str(), what.c_str());
      noteNotFound(a);
      return kQuoteNotFound;
    case ProviderStatus::kRateLimited:
      coolFor(told > 0 ? told : kRateLimitedSeconds, true, "");
      return kQuoteRateLimited;
    case ProviderStatus::kQuotaUsedUp:
      coolFor(told > 0 ? told : kQuotaUsedUpSeconds, true, "");
      return kQuoteRateLimited;
    case ProviderStatus::kBadKey:
      coolFor(kBadKeySeconds, false, "refusing the key, ");
      return kQuoteNoAuthorization;
    case ProviderStatus::kBlocked:
      coolFor(kBlockedSeconds, false, "");
      return kQuoteFailed;
    case ProviderStatus::kTransient:
      LogFormat("%s: %s after %d tries.", a.who.c_str(), what.c_str(), tries);
      if (!answer.transferFailed && answer.status >= 500 && answer.status <= 599) return -answer.status;
      return kQuoteLocalFailure;
    case ProviderStatus::kBadData:
      LogFormat("%s: %s.", a.who.c_str(), what.c_str());
      return kQuoteFailed;
  }
  return kQuoteFailed;
}

// When every symbol of a pass answers "not found", the provider is
// refusing this client, not the symbols delisted: said once, and the
// provider is cooled as a blocked one.
void ProviderRouter::State::noteNotFound(const Ask& a) {
  bool firstTime = false;
  const std::size_t count = standing.NoteNotFound(a.id, a.mapped, firstTime);
  if (count == 0) return;
  const bool starts = cool(a.id, kBlockedSeconds, false);
  if (firstTime) {
    LogFormat(
        "%s answered not found for %zu different symbols and has found none: it seems to block this client; "
        "left alone for %s.",
        ProviderName(a.id), count, durationText(kBlockedSeconds).c_str());
  } else if (starts) {
    LogFormat("%s: still not found for every symbol; left alone for %s.", a.who.c_str(),
              durationText(kBlockedSeconds).c_str());
  }
}

// One candidate's history into job.bars. With known bars, only the days
// from a week before the file's newest are asked for; when they do not
// agree with the file, the whole range is asked for again.
Try ProviderRouter::State::historyFrom(const Ask& a, const HistoryJob& job, InternetSession& session,
                                       ProviderOutcome& outcome, ProviderAnswer& answer, int& tries,
                                       int& next) {
  ProviderHistory h;
  const auto read = [&](const ProviderAnswer& x) { return a.provider->ReadHistory(x); };
  const ProviderDate first = job.incremental ? job.askFrom : job.from;
  Try t = ask(a, a.provider->HistoryRequest(a.mapped, first, job.to, job.period), read, session, h, answer,
              tries);
  outcome = h.outcome;
  if (t != Try::kAnswered || outcome.status != ProviderStatus::kOk) return t;
  // The request's day is the earlier of the range's end and this machine's.
  const ProviderDate today = LocalDateAt(now());
  const ProviderDate latest = LatestBarDate(job.to.key() < today.key() ? job.to : today, job.period);
  // An answer without one bar to store (every bar null, undated, of the
  // future or spoilt) is no history: it never stands in for the file's.
  const auto store = [&] {
    next = StoreProviderBars(h.bars, a.symbol, job.capacity, job.bars, latest);
    if (next <= 1)
      outcome = MakeOutcome(ProviderStatus::kBadData,
                            outcome.reason.empty() ? "no usable bar" : "no usable bar, " + outcome.reason);
    return next > 1;
  };
  if (!store()) return t;
  const QuoteBar* known = nullptr;
  int knownCount = 0;
  if (job.incremental) {
    const OverlapCheck check =
        CheckOverlap(job.bars + 1, next - 1, job.known, job.knownCount, job.askFrom.key());
    if (check.agrees) {
      known = job.known;
      knownCount = job.knownCount;
    } else {
      LogFormat("%s: full reload, %s.", a.who.c_str(), check.reason.c_str());
      t = ask(a, a.provider->HistoryRequest(a.mapped, job.from, job.to, job.period), read, session, h, answer,
              tries);
      outcome = h.outcome;
      if (t != Try::kAnswered || outcome.status != ProviderStatus::kOk || !store()) return t;
    }
  }
  next = ExtendWithKnownBars(job.bars, next, job.capacity, known, knownCount, job.from.key(), job.to.key());
  if (h.hasQuote) standing.KeepQuote(a.id, a.symbol, h.quote, now());
  return t;
}

ProviderRouter::ProviderRouter(ProviderPlan plan, Providers providers, std::string statePath)
    : state_(std::make_unique<State>(std::move(plan), std::move(providers), std::move(statePath))) {}

ProviderRouter::~ProviderRouter() = default;

const ProviderPlan& ProviderRouter::plan() const { return state_->plan; }

RateBudget& ProviderRouter::budget() { return state_->budget; }

void ProviderRouter::setClock(std::function<std::int64_t()> nowSeconds, std::function<void(int ms)> sleep) {
  state_->budget.setClock(nowSeconds);
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->clock = nowSeconds ? std::move(nowSeconds) : std::function<std::int64_t()>(systemNow);
  state_->sleep = sleep ? std::move(sleep) : std::function<void(int)>(systemSleep);
}

int ProviderRouter::LoadHistory(const char* symbol, char period, ProviderDate from, ProviderDate to,
                                const QuoteBar* known, int knownCount, InternetSession& session, int capacity,
                                QuoteBar* bars) {
  if (symbol == nullptr || bars == nullptr || capacity < 2) return kQuoteFailed;
  State& s = *state_;
  HistoryJob job{period, from, to, false, from, nullptr, 0, capacity, bars};
  // The file's bars may live in the very array the answer goes to.
  std::vector<QuoteBar> knownCopy;
  if (known != nullptr && knownCount > 0 && known < bars + capacity && bars < known + knownCount) {
    knownCopy.assign(known, known + knownCount);
    known = knownCopy.data();
  }
  if (period == 'd' && known != nullptr && knownCount > 0) {
    int newest = known[0].DateKey();
    for (int i = 1; i < knownCount; ++i) newest = std::max(newest, known[i].DateKey());
    job.askFrom = AddCalendarDays(ProviderDateFromKey(newest), -kOverlapDays);
    // A file wholly outside the range, or one that would be asked for from
    // the range's start anyway, is no help.
    job.incremental = newest >= from.key() && newest <= to.key() && job.askFrom.key() > from.key();
    job.known = known;
    job.knownCount = knownCount;
  }
  Tally tally;
  for (const ProviderId id : s.candidates(s.plan.history, true, period)) {
    Ask a;
    if (!s.prepare(id, symbol, a) || s.skipCooled(id, tally)) continue;
    ProviderOutcome outcome;
    ProviderAnswer answer;
    int tries = 0;
    int next = 1;
    const Try t = s.historyFrom(a, job, session, outcome, answer, tries, next);
    if (t == Try::kStopped) return kQuoteLocalFailure;
    if (t == Try::kRefused) {
      tally.skip(true);
      continue;
    }
    if (outcome.status == ProviderStatus::kOk) {
      s.standing.NoteFound(id);
      return next;
    }
    tally.add(s.settle(a, outcome, answer, tries));
  }
  return tally.result();
}

int ProviderRouter::LoadQuote(const char* symbol, InternetSession& session, const RealTimePlaces& places) {
  if (symbol == nullptr || places.bar == nullptr) return kQuoteFailed;
  State& s = *state_;
  Tally tally;
  for (const ProviderId id : s.candidates(s.plan.quotes, false, 'd')) {
    Ask a;
    if (!s.prepare(id, symbol, a) || s.skipCooled(id, tally)) continue;
    const ProviderDate latest = LatestBarDate(LocalDateAt(s.now()), 'd');
    ProviderQuote kept;
    if (s.standing.TakeQuote(id, symbol, s.now(), kept) &&
        ApplyProviderQuote(kept, symbol, *places.bar, latest))
      return 1;
    ProviderQuotes got;
    ProviderAnswer answer;
    int tries = 0;
    const auto read = [&](const ProviderAnswer& x) { return a.provider->ReadQuotes(x); };
    const Try t = s.ask(a, a.provider->QuoteRequest({a.mapped}), read, session, got, answer, tries);
    if (t == Try::kStopped) return kQuoteLocalFailure;
    if (t == Try::kRefused) {
      tally.skip(true);
      continue;
    }
    ProviderOutcome outcome = got.outcome;
    if (outcome.status == ProviderStatus::kOk) {
      const ProviderQuote* quote = quoteOf(got.quotes, a.mapped);
      if (quote == nullptr) {
        outcome = ProviderOutcome{ProviderStatus::kNotFound, -1, "no quote of the symbol in the answer"};
      } else if (!ApplyProviderQuote(*quote, symbol, *places.bar, latest)) {
        outcome = ProviderOutcome{ProviderStatus::kBadData, -1, "no plausible quote"};
      } else {
        s.standing.NoteFound(id);
        return 1;
      }
    }
    tally.add(s.settle(a, outcome, answer, tries));
  }
  return tally.result();
}

}  // namespace velmora
