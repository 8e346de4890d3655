#pragma once

#include <string>

#include "provider_api/providers.h"
#include "server/fault_plan.h"

namespace velmora::standin {

inline constexpr const char* kJsonType = "application/json";

// One answer of a provider endpoint.
struct ProviderReply {
  int status = 200;
  const char* contentType = kJsonType;
  std::string body;
  int retryAfterSeconds = -1;  // a Retry-After header when 0 or more
};

// The provider's answer for a symbol it does not know (`ticker` as asked,
// for Tiingo's text): Yahoo's 404, Tiingo's 404 (for its quotes an empty
// list), Finnhub's all-zero quote.
ProviderReply ProviderNotFound(ProviderEndpoint endpoint, const std::string& ticker);
// A missing or wrong key: Tiingo's and Finnhub's 401 (Yahoo needs none; it
// gets its Invalid Crumb).
ProviderReply ProviderBadKey(ProviderEndpoint endpoint);
// Finnhub's 403 for a symbol its key does not cover.
ProviderReply FinnhubNoAccess();
// A request the endpoint cannot read, in the provider's way of saying so.
ProviderReply ProviderBadRequest(ProviderEndpoint endpoint, const std::string& message);
// The answer of one of the providers' own fault kinds (kRateLimit to
// kNotFound); false for a kind that leaves the answer to the data (kNulls).
[[nodiscard]] bool ProviderFaultReply(ProviderEndpoint endpoint, const Fault& fault,
                                      const std::string& ticker, ProviderReply& reply);

// The HTML page a bot wall shows in place of the data.
const char* ChallengePage();

}  // namespace velmora::standin
