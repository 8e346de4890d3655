#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Whether `name` is a temporary file that this program creates itself and
// leaves behind only when it is killed before renaming it into place: a file
// it writes in its folder (a report, "Config.ini", a local history file
// "<symbol>.csv" or "<symbol>.txt") followed by "." and the six characters
// mkstemp chose, or the probe of the folder check. Any other name is not.
bool IsStaleTemporaryName(std::string_view name);

// Removes such files from `folder` unless another program holds them (they
// are locked while written), logs "Removed N stale temporary files." when it
// removed any, and returns how many.
int RemoveStaleTemporaryFiles(const std::string& folder = ".");

}  // namespace velmora
