#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

#include "provider_api/providers.h"

namespace velmora::standin {

enum class FaultKind {
  kNone,
  kStatus404,
  kStatus500,
  kStatus502,
  kStatus401,           // 401 unless the request carries user:secret
  kRedirect,            // 302 to the same resource under /moved
  kRedirectNoLocation,  // 302 without a Location header
  kRedirectTwice,       // 302, then 302 again, then the resource
  kHang,                // no answer until the client gives up
  kEmpty,               // 200 with no body
  kGarbage,             // 200 with random bytes
  kTruncated,           // the connection closes half-way through the body
  // The providers' own refusals (the classic endpoints answer the first
  // three and kNotFound in their plain way and ignore the rest):
  kRateLimit,  // 429 with the provider's text (Retry-After when given)
  kChallenge,  // 200 with an HTML challenge page
  kQuota,      // Tiingo's 200 quota text; elsewhere as kRateLimit
  kCrumb,      // Yahoo's 401 Invalid Crumb; Tiingo's and Finnhub's 401 bad key
  kZeros,      // Finnhub's all-zero answer; elsewhere as kNotFound
  kNulls,      // Yahoo: every fifth bar's values are null
  kNotFound,   // the provider's answer for a symbol it does not know
};

// What happens to requests for one symbol: an optional delay, then one kind.
struct Fault {
  FaultKind kind = FaultKind::kNone;
  int slowMs = 0;
  int retryAfterSeconds = -1;  // kRateLimit: the Retry-After to send; -1 none
};

const char* FaultName(FaultKind kind);

// A provider-wide fault and a symbol's: the provider's kind comes first (it
// refuses before it looks at the symbol), else the symbol's; the delays add up.
Fault CombineFaults(const Fault& providerFault, const Fault& symbolFault);

// Faults by upper-case symbol, from "--fault SYMBOL=KIND" options, and by
// provider, from "--provider-fault PROVIDER=KIND". A symbol or provider may
// get a delay ("slow=MS") and one other kind ("ratelimit=N" is ratelimit with
// Retry-After: N).
class FaultPlan {
 public:
  // False with a message for a malformed SYMBOL=KIND text.
  [[nodiscard]] bool Add(std::string_view faultText, std::string& error);
  // False with a message for a malformed PROVIDER=KIND text.
  [[nodiscard]] bool AddProviderFault(std::string_view faultText, std::string& error);
  Fault For(const std::string& symbol) const;
  Fault ForProvider(Provider provider) const { return providerFaults_[static_cast<int>(provider)]; }
  bool empty() const { return faults_.empty(); }

 private:
  std::unordered_map<std::string, Fault> faults_;
  std::array<Fault, kProviderCount> providerFaults_{};
};

}  // namespace velmora::standin
