#include "providers/provider_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "quotes/plausible_number.h"

namespace velmora {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// Nesting deeper than the limit ends the parse from within.
struct TooDeep {};

}  // namespace

ProviderOutcome MakeOutcome(ProviderStatus status, std::string reason) {
  ProviderOutcome outcome;
  outcome.status = status;
  outcome.reason = std::move(reason);
  return outcome;
}

nlohmann::json ParseJsonAnswer(std::string_view body) {
  using nlohmann::json;
  // The depth a container starts at is the number of containers around it.
  const json::parser_callback_t limit = [](int depth, json::parse_event_t event, json&) {
    if (depth >= kJsonDepthLimit &&
        (event == json::parse_event_t::object_start || event == json::parse_event_t::array_start))
      throw TooDeep{};
    return true;
  };
  try {
    return json::parse(body, limit, false);
  } catch (const TooDeep&) {
    return json(json::value_t::discarded);
  }
}

const nlohmann::json* JsonMember(const nlohmann::json* value, const char* name) {
  if (value == nullptr || !value->is_object()) return nullptr;
  const auto it = value->find(name);
  return it == value->end() ? nullptr : &*it;
}

JsonNumber ReadJsonNumber(const nlohmann::json* value, double& out) {
  if (value == nullptr || value->is_null()) return JsonNumber::kAbsent;
  if (!value->is_number()) return JsonNumber::kWrong;
  const double number = value->get<double>();
  if (!std::isfinite(number)) return JsonNumber::kWrong;
  out = number;
  return JsonNumber::kNumber;
}

bool ReadJsonPrice(const nlohmann::json* object, const char* name, double& out) {
  double value = 0;
  const JsonNumber read = ReadJsonNumber(JsonMember(object, name), value);
  if (read == JsonNumber::kWrong || value < 0) return false;
  out = value;
  return true;
}

std::string JsonText(const nlohmann::json* value) {
  return value != nullptr && value->is_string() ? value->get<std::string>() : std::string();
}

std::string HeaderValue(std::string_view headers, std::string_view name) {
  std::string value;
  std::size_t from = 0;
  while (from < headers.size()) {
    std::size_t end = headers.find('\n', from);
    if (end == std::string_view::npos) end = headers.size();
    const std::string_view line = headers.substr(from, end - from);
    from = end + 1;
    if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
      value.clear();  // the status line of the next answer
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !sameText(trimmed(line.substr(0, colon)), name)) continue;
    value.assign(trimmed(line.substr(colon + 1)));
  }
  return value;
}

int RetryAfterSeconds(std::string_view headers) {
  const std::string value = HeaderValue(headers, "Retry-After");
  if (value.empty()) return -1;
  long long seconds = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return -1;  // an HTTP date, or noise
    seconds = std::min<long long>(seconds * 10 + (c - '0'), 86400);
  }
  return static_cast<int>(seconds);
}

std::string_view BodyStart(std::string_view body) {
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  while (!body.empty() &&
         (body.front() == ' ' || body.front() == '\t' || body.front() == '\r' || body.front() == '\n'))
    body.remove_prefix(1);
  return body;
}

bool BodyContains(std::string_view body, std::string_view text) {
  body = body.substr(0, 1024);
  if (text.empty() || body.size() < text.size()) return text.empty();
  for (std::size_t i = 0; i + text.size() <= body.size(); ++i)
    if (sameText(body.substr(i, text.size()), text)) return true;
  return false;
}

BarCheck CheckBar(const ProviderBar& bar) {
  if (!IsStorablePrice(bar.open) || !IsStorablePrice(bar.high) || !IsStorablePrice(bar.low) ||
      !IsStorablePrice(bar.close) || !IsStorablePrice(bar.adjClose) || !IsPlausibleVolume(bar.volume))
    return BarCheck::kBad;
  return HighLowHold(bar.open, bar.high, bar.low, bar.close) ? BarCheck::kSound : BarCheck::kSkip;
}

void SortBarsByDate(std::vector<ProviderBar>& bars) {
  const auto byDate = [](const ProviderBar& a, const ProviderBar& b) { return a.date.key() < b.date.key(); };
  if (!std::is_sorted(bars.begin(), bars.end(), byDate)) std::stable_sort(bars.begin(), bars.end(), byDate);
  // Of a run of one date the last (the later in the answer) stays.
  std::size_t out = 0;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    if (i + 1 < bars.size() && bars[i + 1].date.key() == bars[i].date.key()) continue;
    bars[out++] = bars[i];
  }
  bars.resize(out);
}

std::string SkippedRowsReason(int nullRows, int inconsistentRows) {
  std::string reason;
  if (nullRows > 0) reason = "null rows skipped: " + std::to_string(nullRows);
  if (inconsistentRows > 0) {
    if (!reason.empty()) reason += ", ";
    reason += "rows whose high and low do not hold their prices skipped: " + std::to_string(inconsistentRows);
  }
  return reason;
}

std::string BaseUrl(const ProviderSettings& settings, ProviderId id) {
  std::string base = settings.baseUrl.empty() ? DefaultProviderBaseUrl(id) : settings.baseUrl;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

std::string HeaderSafe(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) out += c;
  return out;
}

std::string ReasonText(std::string_view text, std::string_view key) {
  // The provider's own words may quote the key it was sent (Tiingo's and
  // Finnhub's errors do): a reason shown in the log or the status bar never
  // does. Control characters go first, so none can split the key.
  std::string shown = HeaderSafe(text.substr(0, 4096));
  if (!key.empty())
    for (std::size_t at = shown.find(key); at != std::string::npos; at = shown.find(key, at + 3))
      shown.replace(at, key.size(), "***");
  if (shown.size() > 80) shown.resize(80);
  return shown;
}

std::string IsoDateText(ProviderDate date) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

}  // namespace velmora
