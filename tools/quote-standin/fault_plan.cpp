#include "fault_plan.h"

#include <charconv>

#include "symbols.h"

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
};

}  // namespace

const char* FaultName(FaultKind kind) {
  for (const NamedKind& k : kKinds) {
    if (k.kind == kind) return k.name;
  }
  return "none";
}

bool FaultPlan::Add(std::string_view faultText, std::string& error) {
  const std::size_t eq = faultText.find('=');
  if (eq == std::string_view::npos) {
    error = "--fault wants SYMBOL=KIND, got '" + std::string(faultText) + "'";
    return false;
  }
  const std::string_view symbol = faultText.substr(0, eq);
  const std::string_view kind = faultText.substr(eq + 1);
  if (!IsWellFormedSymbol(symbol)) {
    error = "--fault: malformed symbol '" + std::string(symbol) + "'";
    return false;
  }
  Fault& fault = faults_[UpperSymbol(symbol)];
  if (kind.substr(0, 5) == "slow=") {
    const std::string_view ms = kind.substr(5);
    int value = -1;
    const auto r = std::from_chars(ms.data(), ms.data() + ms.size(), value);
    if (r.ec != std::errc() || r.ptr != ms.data() + ms.size() || value < 0 || value > 3600000) {
      error = "--fault: slow wants milliseconds from 0 to 3600000, got '" + std::string(ms) + "'";
      return false;
    }
    fault.slowMs = value;
    return true;
  }
  for (const NamedKind& k : kKinds) {
    if (kind == k.name) {
      fault.kind = k.kind;
      return true;
    }
  }
  error = "--fault: unknown kind '" + std::string(kind) + "'";
  return false;
}

Fault FaultPlan::For(const std::string& symbol) const {
  const auto it = faults_.find(symbol);
  return it == faults_.end() ? Fault{} : it->second;
}

}  // namespace velmora::standin
