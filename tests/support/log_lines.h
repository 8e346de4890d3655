#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "base/log.h"
#include "support/test_support.h"

namespace velmora::test {

// The texts of the log in the current directory, time stamps removed.
inline std::vector<std::string> LogTexts() {
  std::vector<std::string> texts;
  for (const std::string& line : SplitLines(ReadFile(LogFileName()))) {
    const auto at = line.find(": ");
    texts.push_back(at == std::string::npos ? line : line.substr(at + 2));
  }
  return texts;
}

inline bool LogHas(const std::string& text) {
  for (const std::string& t : LogTexts())
    if (t == text) return true;
  return false;
}

inline int LogIndexOf(const std::string& text) {
  const auto texts = LogTexts();
  const auto it = std::find(texts.begin(), texts.end(), text);
  return it == texts.end() ? -1 : static_cast<int>(it - texts.begin());
}

inline int LogCountOf(const std::string& text) {
  const auto texts = LogTexts();
  return static_cast<int>(std::count(texts.begin(), texts.end(), text));
}

// Runs each test in a fresh current directory, so the log and temporary
// files of one test never meet another's.
class InTempDir {
 protected:
  TempFolder folder_;
  ScopedCurrentDir here_{folder_.path()};
};

}  // namespace velmora::test
