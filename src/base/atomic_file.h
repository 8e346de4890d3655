#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Writes `content` to a new file beside `path` and renames it over `path`,
// so a reader sees the old file or the new one, never a missing or
// half-written one. False (and `path` untouched) when any step fails.
// `durable` also flushes the data to disk before the rename (settings);
// files rebuilt every pass (reports, local history) can skip that cost.
// The temporary file is `path` + "." + six characters chosen by mkstemp,
// locked (flock) while it exists under that name.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::string_view content,
                                       bool durable = true);

// The whole of the file at `path` appended to `text`; false when it cannot
// be opened or read (what was read stays in `text`).
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& text);

// What WriteFileAtomically appends to `path` for its temporary file.
inline constexpr const char* kTemporarySuffixTemplate = ".XXXXXX";

}  // namespace velmora
