#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Writes `content` to a new file beside `path` and renames it over `path`,
// so a reader sees the old file or the new one, never a missing or
// half-written one. False (and `path` untouched) when any step fails.
// `durable` also flushes the data to disk before the rename (settings);
// files rebuilt every pass (reports, local history) can skip that cost.
bool WriteFileAtomically(const std::string& path, std::string_view content, bool durable = true);

}  // namespace velmora
