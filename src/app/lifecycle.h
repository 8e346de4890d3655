#pragma once

#include <string>

namespace velmora {

// The window-free steps of start-up and shutdown, shared by the desktop
// program and velmora-monitor so both keep the same order.

// Logs "<title> started.".
void LogStartLine();

// Process start: the log's size limit from Config.ini (LogMaxSizeMB), the
// first log line, then the program's own temporary files
// that an earlier run left behind when it was killed are removed (logged
// when there were any).
void StartProcess();

// Logs "<title> finished.".
void LogFinishLine();

// Deletes every "aaa*.tmp" in `folder` (the HTTP client's temporary files);
// returns how many were deleted.
int DeleteTemporaryFiles(const std::string& folder = ".");

// Process exit: temporary files go, then the final log line.
void FinishProcess();

}  // namespace velmora
