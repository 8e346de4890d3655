#include "server/fault_plan.h"

#include <charconv>

#include "market/symbols.h"

namespace velmora::standin {

namespace {

struct NamedKind {
  const char* name;
  FaultKind kind;
};

constexpr NamedKind kKinds[] = {
    {"404", FaultKind::kStatus404},
    {"500", FaultKind::kStatus500},
    {"502", FaultKind::kStatus502},
    {"401", FaultKind::kStatus401},
    {"redirect", FaultKind::kRedirect},
    {"redirect-no-location", FaultKind::kRedirectNoLocation},
    {"redirect-twice", FaultKind::kRedirectTwice},
    {"hang", FaultKind::kHang},
    {"empty", FaultKind::kEmpty},
    {"garbage", FaultKind::kGarbage},
    {"truncated", FaultKind::kTruncated},
    {"ratelimit", FaultKind::kRateLimit},
    {"challenge", FaultKind::kChallenge},
    {"quota", FaultKind::kQuota},
    {"crumb", FaultKind::kCrumb},
    {"zeros", FaultKind::kZeros},
    {"nulls", FaultKind::kNulls},
    {"notfound", FaultKind::kNotFound},
};

[[nodiscard]] bool readBounded(std::string_view text, int hi, int& value) {
  int v = -1;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < 0 || v > hi) return false;
  value = v;
  return true;
}

// Applies one KIND text to `fault`: "slow=MS" sets the delay, any other kind
// replaces the kind. `option` names the option in the message.
[[nodiscard]] bool applyKind(std::string_view kind, const char* option, Fault& fault, std::string& error) {
  if (kind.substr(0, 5) == "slow=") {
    const std::string_view ms = kind.substr(5);
    if (!readBounded(ms, 3600000, fault.slowMs)) {
      error =
          std::string(option) + ": slow wants milliseconds from 0 to 3600000, got '" + std::string(ms) + "'";
      return false;
    }
    return true;
  }
  if (kind.substr(0, 10) == "ratelimit=") {
    const std::string_view seconds = kind.substr(10);
    if (!readBounded(seconds, 86400, fault.retryAfterSeconds)) {
      error = std::string(option) + ": ratelimit wants seconds from 0 to 86400, got '" +
              std::string(seconds) + "'";
      return false;
    }
    fault.kind = FaultKind::kRateLimit;
    return true;
  }
  for (const NamedKind& k : kKinds) {
    if (kind == k.name) {
      fault.kind = k.kind;
      fault.retryAfterSeconds = -1;
      return true;
    }
  }
  error = std::string(option) + ": unknown kind '" + std::string(kind) + "'";
  return false;
}

}  // namespace

const char* FaultName(FaultKind kind) {
  for (const NamedKind& k : kKinds) {
    if (k.kind == kind) return k.name;
  }
  return "none";
}

Fault CombineFaults(const Fault& providerFault, const Fault& symbolFault) {
  Fault fault = providerFault.kind != FaultKind::kNone ? providerFault : symbolFault;
  fault.slowMs = providerFault.slowMs + symbolFault.slowMs;
  return fault;
}

bool FaultPlan::Add(std::string_view faultText, std::string& error) {
  const std::size_t eq = faultText.find('=');
  if (eq == std::string_view::npos) {
    error = "--fault wants SYMBOL=KIND, got '" + std::string(faultText) + "'";
    return false;
  }
  const std::string_view symbol = faultText.substr(0, eq);
  if (!IsWellFormedSymbol(symbol)) {
    error = "--fault: malformed symbol '" + std::string(symbol) + "'";
    return false;
  }
  return applyKind(faultText.substr(eq + 1), "--fault", faults_[UpperSymbol(symbol)], error);
}

bool FaultPlan::AddProviderFault(std::string_view faultText, std::string& error) {
  const std::size_t eq = faultText.find('=');
  Provider provider{};
  if (eq == std::string_view::npos || !ParseProviderName(faultText.substr(0, eq), provider)) {
    error = "--provider-fault wants PROVIDER=KIND with PROVIDER yahoo, tiingo or finnhub, got '" +
            std::string(faultText) + "'";
    return false;
  }
  return applyKind(faultText.substr(eq + 1), "--provider-fault", providerFaults_[static_cast<int>(provider)],
                   error);
}

Fault FaultPlan::For(const std::string& symbol) const {
  const auto it = faults_.find(symbol);
  return it == faults_.end() ? Fault{} : it->second;
}

}  // namespace velmora::standin
