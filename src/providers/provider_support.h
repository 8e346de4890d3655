#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "providers/provider.h"

namespace velmora {

// Pieces the three provider adapters share: reading JSON fields without
// exceptions, the header block, the checks every bar passes, and the base
// URL and header values of a request.

ProviderOutcome MakeOutcome(ProviderStatus status, std::string reason);

// A provider's answer read as JSON, discarded when it is no JSON or nests
// containers deeper than kJsonDepthLimit: the parse stops at the first level
// too deep, so an answer of millions of '[' costs no more than its bytes.
// No answer of any provider nests beyond a few levels.
inline constexpr int kJsonDepthLimit = 64;
nlohmann::json ParseJsonAnswer(std::string_view body);

// A member of a JSON object; null when `value` is no object or lacks it.
const nlohmann::json* JsonMember(const nlohmann::json* value, const char* name);

// A JSON value where a number belongs.
enum class JsonNumber {
  kAbsent,  // no such member, or null
  kNumber,  // a finite number, in `out`
  kWrong,   // a string, an object, an infinite number...
};
JsonNumber ReadJsonNumber(const nlohmann::json* value, double& out);
// A price or count member of an object: 0 when null or absent; false when
// it is given as no number or below zero.
[[nodiscard]] bool ReadJsonPrice(const nlohmann::json* object, const char* name, double& out);
// The text of a string member, else "".
std::string JsonText(const nlohmann::json* value);

// The value of the last `name:` line of the final answer's header block
// (after a redirect the block holds two answers), name in any letter case,
// blanks trimmed; empty when there is none.
std::string HeaderValue(std::string_view headers, std::string_view name);

// Retry-After as a number of seconds (at most a day); -1 when absent or an
// HTTP date.
int RetryAfterSeconds(std::string_view headers);

// The body after leading blanks and line ends (and a byte-order mark).
std::string_view BodyStart(std::string_view body);

// Whether the first kilobyte of a body holds `text` (in any letter case):
// the providers' plain-text and JSON refusals are short.
bool BodyContains(std::string_view body, std::string_view text);

// How a bar as read stands: sound; inconsistent in itself (a high below the
// low, the open or the close, or a low above them) and so left out; or
// numbers that are no prices at all (zero or 0.00 once rounded to cents,
// negative, infinite, absurd) so that the whole answer is bad data.
enum class BarCheck { kSound, kSkip, kBad };
BarCheck CheckBar(const ProviderBar& bar);

// Oldest first; of two bars of one date the later in the answer stays.
void SortBarsByDate(std::vector<ProviderBar>& bars);

// Joins the outcome of the rows: "null rows skipped: 3", ... (empty when
// every row was used).
std::string SkippedRowsReason(int nullRows, int inconsistentRows);

// The configured base URL without a trailing '/', else the provider's own.
std::string BaseUrl(const ProviderSettings& settings, ProviderId id);

// A header value with control characters dropped, so no setting can add a
// header line of its own.
std::string HeaderSafe(std::string_view value);

// A provider's own words for the log: control characters dropped, `key`
// (the provider's key, when it has one) shown as "***", at most 80 bytes.
std::string ReasonText(std::string_view text, std::string_view key = {});

// "YYYY-MM-DD".
std::string IsoDateText(ProviderDate date);

}  // namespace velmora
