#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

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
};

// What happens to requests for one symbol: an optional delay, then one kind.
struct Fault {
  FaultKind kind = FaultKind::kNone;
  int slowMs = 0;
};

const char* FaultName(FaultKind kind);

// Faults by upper-case symbol, from "--fault SYMBOL=KIND" options. A symbol
// may get a delay ("slow=MS") and one other kind.
class FaultPlan {
 public:
  // False with a message for a malformed SYMBOL=KIND text.
  [[nodiscard]] bool Add(std::string_view faultText, std::string& error);
  Fault For(const std::string& symbol) const;
  bool empty() const { return faults_.empty(); }

 private:
  std::unordered_map<std::string, Fault> faults_;
};

}  // namespace velmora::standin
