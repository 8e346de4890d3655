#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Writes `content` to a new file beside `path` and renames it over `path`,
// so a reader sees the old file or the new one, never a missing or
// half-written one. False (and `path` untouched) when any step fails.
// `durable` also flushes the data to disk before the rename (settings);
// files rebuilt every pass (reports, local history) can skip that cost.
// The temporary file is "." + the file's name + ".velmora-tmp-" + six
// characters chosen by mkstemp, in the same folder (a name no person gives
// a file, so a start-up clean-up can never take one of the user's own),
// locked (flock) while it exists under that name.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::string_view content,
                                       bool durable = true);

// The whole of the file at `path` appended to `text`; false when it cannot
// be opened or read (what was read stays in `text`).
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& text);

// What stands between the file's name and the random part of its temporary.
inline constexpr const char* kTemporaryInfix = ".velmora-tmp-";

// The mkstemp template of the temporary file for `path`.
std::string TemporaryTemplateFor(const std::string& path);

}  // namespace velmora
