#pragma once

#include <string>

#include "base/system_config.h"
#include "monitor/security_store.h"

namespace velmora {

inline constexpr const char* kSecurityListFileName = "List.dat";

// The 24 lines written to a missing list file.
extern const char* const kDefaultSecurityList[24];

// Reads the list file into `store` (cleared first): the first word of each
// line is a symbol, the rest a free description. A missing file is created
// with the default list and read; a file that can be neither opened nor
// created leaves the store empty (logged). Lines are read in pieces of at
// most 511 characters, a last line without its line feed is ignored, and
// at most 512 symbols are kept. Symbols that cannot name a file of their own
// (too long, '/', "..", control characters) are refused with a log line.
// Returns the count.
int ReadSecurityList(SecurityStore& store, const std::string& path, int realTimeServer);

// The text of the list file; a missing file is created with the default
// list first. False (logged, `text` empty) when it can be neither read nor
// created.
bool ReadSecurityListText(const std::string& path, std::string& text);

}  // namespace velmora
