#pragma once

// The stand-in's clock for chart tests: today at noon in New York, so that
// the service's history ends where the chart sheet's default dates do.

#include <cstdio>
#include <string>

#include "core/chart_dates.h"

namespace velmora::test {

inline std::string NoonTodayInNewYork() {
  const CalendarDate today = TodayLocalDate();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT12:00", today.year, today.month, today.day);
  return text;
}

}  // namespace velmora::test
