#pragma once

#include <string>
#include <string_view>

#include "net/internet_session.h"
#include "providers/provider.h"

namespace velmora {

// One GET of a provider request over the session's transport: the
// provider's header lines plus "Accept: */*", at most one redirect
// followed, the whole body read under the session's stop flag and its size
// and time limits. Anything short of a complete answer sets transferFailed
// with the reason, and a log line names `who` (provider and symbol, "Tiingo
// MSFT") and the URL with its key masked; header lines are never logged.
[[nodiscard]] ProviderAnswer FetchProviderAnswer(const ProviderRequest& request, InternetSession& session,
                                                 std::string_view who);

// The URL as a log may show it: the values of key-like query parameters
// (token=, apikey=, api_key=, key=) and any user:password@ become "***".
std::string MaskedUrl(std::string_view url);

}  // namespace velmora
