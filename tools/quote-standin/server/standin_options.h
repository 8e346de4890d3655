#pragma once

#include <optional>
#include <string>

#include "market/market_clock.h"
#include "provider_api/provider_splits.h"
#include "server/fault_plan.h"

namespace velmora::standin {

inline constexpr int kDefaultBacklog = 1024;

struct StandinOptions {
  int port = 0;  // set from kDefaultQuotePort
  std::string bind = "127.0.0.1";
  std::string dataDir;
  FaultPlan faults;  // --fault and --provider-fault
  SplitPlan providerSplits;
  std::string requiredKey;
  int latencyMs = 0;
  int pageSize = 200;
  std::optional<MarketTime> now;
  std::string requestLog;
  // Connections the system queues for the server while every worker is busy
  // (the rest wait for the client's retry a second later).
  int backlog = kDefaultBacklog;
};

enum class OptionsResult { kRun, kHelp, kVersion, kError };

// Reads "--name value" and "--name=value" options.
[[nodiscard]] OptionsResult ParseOptions(int argc, char** argv, StandinOptions& options, std::string& error);

const char* UsageText();

}  // namespace velmora::standin
