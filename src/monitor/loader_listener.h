#pragma once

#include <atomic>
#include <string>

#include "net/internet_session.h"

namespace velmora {

// How loader threads reach the window side (or, without windows, the log
// and the terminal). Every call comes from a loader thread except
// ThreadStartFailed, which comes from the caller of StartLoaderThreads.
// Implementations must not block on the thread that stops the loaders.
class LoaderListener {
 public:
  virtual ~LoaderListener() = default;

  // The status-bar text: progress of thread `threadIndex` (0-based).
  virtual void StatusText(int threadIndex, const std::string& text) = 0;

  // Security `index` of the store has new bars (its monitor row repaints).
  virtual void SecurityUpdated(int index) = 0;

  // Thread `threadIndex` could not be created.
  virtual void ThreadStartFailed(int threadIndex) = 0;

  // A quote service refused authorization: true with credentials to retry.
  // Must give up and return false soon after `stop` turns true, so a
  // shutdown never waits on an open prompt.
  virtual bool AskCredentials(const CredentialRequest& request, Credentials& out,
                              const std::atomic<bool>& stop) = 0;

  // True once the side this listener serves is shutting down: no loader
  // thread is started for it any more.
  virtual bool Closing() const { return false; }
};

// Does nothing and declines every prompt.
class SilentLoaderListener : public LoaderListener {
 public:
  void StatusText(int, const std::string&) override {}
  void SecurityUpdated(int) override {}
  void ThreadStartFailed(int) override {}
  bool AskCredentials(const CredentialRequest&, Credentials&, const std::atomic<bool>&) override {
    return false;
  }
};

}  // namespace velmora
