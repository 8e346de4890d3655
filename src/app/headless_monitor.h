#pragma once

#include <csignal>
#include <string>

#include "app/headless_options.h"

namespace velmora {

// Whether files can be created in `folder`; the reason when not.
bool CheckFolderWritable(const std::string& folder, std::string& reason);

// The whole life of velmora-monitor in the current folder: start-up (log,
// configuration, list, first reports, loader threads), serving until one of
// `stopSignals` arrives (they must be blocked in every thread) or the
// requested passes are written, then shutdown (stop and wait for the
// loaders, temporary files, final log line). Returns the exit status.
int RunHeadlessMonitor(const HeadlessOptions& options, const sigset_t& stopSignals);

}  // namespace velmora
