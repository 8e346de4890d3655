#include "app/lifecycle.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/stale_temporaries.h"
#include "base/app_identity.h"
#include "base/log.h"
#include "base/system_config.h"

namespace velmora {

void LogStartLine() { LogFormat("%s started.", kAppTitle); }

void StartProcess() {
  // The log's size limit holds from the first line on.
  ApplyConfiguredLogSize();
  LogStartLine();
  RemoveStaleTemporaryFiles();
}

void LogFinishLine() { LogFormat("%s finished.", kAppTitle); }

int DeleteTemporaryFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int deleted = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const bool matches =
        name.size() >= 7 && name.compare(0, 3, "aaa") == 0 && name.compare(name.size() - 4, 4, ".tmp") == 0;
    std::error_code removeError;
    if (matches && it->is_regular_file(removeError) && fs::remove(it->path(), removeError)) ++deleted;
  }
  return deleted;
}

void FinishProcess() {
  DeleteTemporaryFiles();
  LogFinishLine();
}

}  // namespace velmora
