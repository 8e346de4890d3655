#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Whether `name` is a temporary file that this program creates itself and
// leaves behind only when it is killed before renaming it into place: "."
// + the name of a file it writes + ".velmora-tmp-" + the six characters
// mkstemp chose, or the probe of the folder check. Any other name is not,
// so a user's "Status.txt.backup" or "MSFT.csv.201226" is never touched.
bool IsStaleTemporaryName(std::string_view name);

// Removes such files from `folder` unless another program holds them (they
// are locked while written), logs "Removed N stale temporary files." and a
// line naming each when it removed any, and returns how many.
int RemoveStaleTemporaryFiles(const std::string& folder = ".");

}  // namespace velmora
