#pragma once

#include <optional>
#include <string>

#include "base/option_table.h"
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
  bool help = false;
  bool version = false;
  bool manualOptions = false;  // print the manual page's OPTIONS section
};

enum class OptionsResult { kRun, kHelp, kVersion, kManual, kError };

// Reads "--name value" and "--name=value" options.
[[nodiscard]] OptionsResult ParseOptions(int argc, char** argv, StandinOptions& options, std::string& error);

const char* UsageText();

// The options: --help and the manual page are written from them.
const OptionTable<StandinOptions>& StandinOptionTable();

}  // namespace velmora::standin
