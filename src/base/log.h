#pragma once

#include <string>

namespace velmora {

// Appends "<stamp>: <text>\n" to "<title>.log" in the current directory.
// The file is opened and closed for each line, so it is complete on disk
// after every call; a line that cannot be written is lost silently.
void LogMessage(const char* text);
void LogMessage(const std::string& text);

// printf-style convenience over LogMessage; the text is cut at 1023 characters.
void LogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Logs "<short stamp>: <text>", prints "<program>: <text>" on stderr and
// ends the process with status 1.
[[noreturn]] void FatalExit(const char* text);

// The log file's name ("Trevanta Software.log"), fixed for the process once built.
const std::string& LogFileName();

}  // namespace velmora
