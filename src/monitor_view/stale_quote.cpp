#include "monitor_view/stale_quote.h"

#include <cstdio>

namespace velmora {

std::string StaleQuoteTip(const QuoteFreshness& freshness, std::time_t now) {
  const std::time_t since = freshness.lastRefreshed != 0 ? freshness.lastRefreshed : freshness.failingSince;
  std::tm at{};
  std::tm today{};
  localtime_r(&since, &at);
  localtime_r(&now, &today);
  // Digits only: the same text whatever the locale.
  char when[80];
  if (at.tm_year == today.tm_year && at.tm_yday == today.tm_yday)
    std::snprintf(when, sizeof when, "%02d:%02d:%02d", at.tm_hour, at.tm_min, at.tm_sec);
  else
    std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", at.tm_year + 1900, at.tm_mon + 1,
                  at.tm_mday, at.tm_hour, at.tm_min, at.tm_sec);
  std::string tip = "Not refreshed since ";
  tip += when;
  tip += " (" + std::to_string(freshness.missedPasses) + " passes)";
  if (!freshness.reason.empty()) tip += ": " + freshness.reason;
  if (tip.back() != '.') tip += '.';
  return tip;
}

}  // namespace velmora
