#pragma once

#include "base/version.h"  // generated from the project version

namespace velmora {

// The application's title: log file name, notices, the exit question and the
// About box all use it.
inline constexpr const char* kAppTitle = "Trevanta Software";
inline constexpr const char* kAppVersion = VELMORA_VERSION;

// The stand-in quote service listens here by default, and the default
// Config.ini URLs point at it. Change it in this one place only.
inline constexpr const char* kDefaultQuoteHost = "127.0.0.1";
inline constexpr int kDefaultQuotePort = 18321;

}  // namespace velmora
