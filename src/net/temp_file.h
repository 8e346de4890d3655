#pragma once

#include <string>

namespace velmora {

// Creates a new, empty, uniquely named file "aaa<unique>.tmp" in the current
// directory and gives its full path. The program deletes leftovers of this
// pattern at exit. False (and `path` untouched) when no file can be made.
[[nodiscard]] bool CreateTempFile(std::string& path);

}  // namespace velmora
