#pragma once

#include <string>

namespace velmora {

// printf-style append to `out` (no length limit).
void Appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace velmora
