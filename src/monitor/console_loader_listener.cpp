#include "monitor/console_loader_listener.h"

#include "base/log.h"

namespace velmora {

ConsoleLoaderListener::ConsoleLoaderListener(const SecurityStore& store, bool progress, std::FILE* out)
    : store_(store), progress_(progress), out_(out) {}

void ConsoleLoaderListener::StatusText(int, const std::string& text) { Print(text); }

void ConsoleLoaderListener::SecurityUpdated(int index) {
  if (index < 0 || index >= kMaxSecurities || !store_.entry(index).historyLoaded()) return;
  if (counted_[static_cast<std::size_t>(index)].exchange(true)) return;
  const int loaded = loaded_.fetch_add(1) + 1;
  char text[64];
  std::snprintf(text, sizeof text, "Securities loaded: %d of %d", loaded, store_.count());
  Print(text);
}

void ConsoleLoaderListener::ThreadStartFailed(int) { LogMessage("Can not start thread to load quote."); }

bool ConsoleLoaderListener::AskCredentials(const CredentialRequest&, Credentials&, const std::atomic<bool>&) {
  return false;
}

void ConsoleLoaderListener::Print(const std::string& line) {
  if (progress_) Announce(line);
}

void ConsoleLoaderListener::Announce(const std::string& line) {
  if (out_ == nullptr) return;
  std::lock_guard<std::mutex> hold(printLock_);
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

}  // namespace velmora
