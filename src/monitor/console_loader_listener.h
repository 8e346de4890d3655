#pragma once

#include <array>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "monitor/loader_listener.h"
#include "monitor/security_store.h"

namespace velmora {

// The loader listener of the program without windows: failures to start a
// thread go to the log, credential prompts are declined (nobody is there to
// answer), and with `progress` the status texts and a running count of the
// securities whose history is loaded are printed, one line each.
class ConsoleLoaderListener : public LoaderListener {
 public:
  ConsoleLoaderListener(const SecurityStore& store, bool progress, std::FILE* out = stdout);

  void StatusText(int threadIndex, const std::string& text) override;
  void SecurityUpdated(int index) override;
  void ThreadStartFailed(int threadIndex) override;
  bool AskCredentials(const CredentialRequest& request, Credentials& out,
                      const std::atomic<bool>& stop) override;

  // Prints one line when printing progress.
  void Print(const std::string& line);
  // Prints one line whether or not progress is printed, never in the middle
  // of a progress line.
  void Announce(const std::string& line);
  int loadedCount() const { return loaded_.load(); }

 private:
  const SecurityStore& store_;
  const bool progress_;
  std::FILE* out_;
  std::mutex printLock_;
  std::array<std::atomic<bool>, kMaxSecurities> counted_{};
  std::atomic<int> loaded_{0};
};

}  // namespace velmora
