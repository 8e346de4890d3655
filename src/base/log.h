#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Appends "<stamp>: <text>\n" to "<title>.log" in the current directory.
// The file is opened and closed for each line, so it is complete on disk
// after every call; a line that cannot be written is lost silently.
//
// The log stays bounded: a line that would take the file past the size
// limit first renames it to "<title>.log.1" (an older .1 becomes .2, .2
// becomes .3, the oldest goes), then starts a new file. Rotation happens
// under the log's lock (and the file's advisory lock, for another program
// writing the same log), so no line is lost or split across two files.
void LogMessage(const char* text);
void LogMessage(const std::string& text);

// printf-style convenience over LogMessage; the text is cut at 1023 characters.
void LogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Logs "<short stamp>: <text>", prints "<program>: <text>" on stderr and
// ends the process with status 1.
[[noreturn]] void FatalExit(const char* text);

// The log file's name ("Trevanta Software.log"), fixed for the process once built.
const std::string& LogFileName();

// Rotated logs kept beside the current one (".1" newest to ".3" oldest).
inline constexpr int kKeptLogFiles = 3;
inline constexpr std::int64_t kDefaultLogMaxBytes = std::int64_t{10} * 1024 * 1024;

// The size past which the log is rotated; 0 (or less) never rotates.
// Any thread may call these.
void SetLogMaxBytes(std::int64_t bytes);
std::int64_t LogMaxBytes();

// Secrets the log never shows: every line LogMessage writes (and the line
// FatalExit prints) has each text added here replaced by "***" wherever it
// appears, whoever wrote the line (a provider's error text, a command's
// output, a URL). Texts shorter than 4 characters are not added (they would
// mask ordinary words). Any thread may call it; a secret stays for the
// process's life.
void AddLogSecret(std::string_view secret);

// `text` with every added secret masked.
std::string MaskLogSecrets(std::string_view text);

// "<title>.log.N", the N-th rotated file.
std::string RotatedLogFileName(int n);

}  // namespace velmora
