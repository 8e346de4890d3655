#pragma once

#include <csignal>
#include <string>

#include "app/headless_options.h"
#include "monitor/loader_pool.h"
#include "monitor/security_store.h"

namespace velmora {

// The name of the file that probes whether the folder can be written is
// this followed by the six characters mkstemp chooses.
inline constexpr const char* kWriteCheckPrefix = ".velmora-write-check-";

// Whether files can be created in `folder`; the reason when not.
[[nodiscard]] bool CheckFolderWritable(const std::string& folder, std::string& reason);

// Securities of the store whose history is loaded.
int LoadedSecurityCount(const SecurityStore& store);

// The stderr line of a --passes run that loaded nothing: the securities
// that failed and the first failure's symbol and reason.
std::string NothingLoadedLine(const LoaderPool& pool);

// The line printed on a terminal for each completed report pass:
// "pass 3: 510 loaded, 2 failed, 41.2 s" (the securities whose history is
// loaded so far, the history loads that failed, the pass's seconds).
std::string PassLine(int pass, int loaded, int failed, double seconds);

// The whole life of velmora-monitor in the current folder: start-up (log,
// configuration, list, first reports, loader threads), serving until one of
// `stopSignals` arrives (they must be blocked in every thread) or the
// requested passes are written, then shutdown (stop and wait for the
// loaders, temporary files, final log line). The web view, when asked for,
// starts once the loaders run and stops first. Returns the exit status.
int RunHeadlessMonitor(const HeadlessOptions& options, const sigset_t& stopSignals);

}  // namespace velmora
