#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "quotes/http_transport.h"

namespace velmora {

// What a credential prompt is told about the refused request.
struct CredentialRequest {
  std::string server;  // host name
  std::string url;     // the requested URL
};

// The internet session of one loader thread or one chart preparation:
// agent name, the way to ask the user for credentials, the owner's stop
// flag and the limits every transfer runs under. Proxy settings come from
// the environment (http_proxy, https_proxy, no_proxy), as the system sets
// them. A session is used by one thread at a time.
class InternetSession {
 public:
  // Answers a 401 once per request: true with the credentials to retry,
  // false to give up. The desktop program shows a dialog; a program without
  // windows sets none and every 401 stands.
  using CredentialPrompt = std::function<bool(const CredentialRequest&, Credentials&)>;

  explicit InternetSession(std::shared_ptr<HttpTransport> transport = DefaultHttpTransport());

  // False when the network library could not be set up.
  bool ok() const { return transport_ != nullptr; }
  const std::string& agent() const { return agent_; }
  HttpTransport& transport() const { return *transport_; }

  void setCredentialPrompt(CredentialPrompt prompt) { prompt_ = std::move(prompt); }
  // Asks the prompt; false when there is none or it declines.
  bool AskCredentials(const CredentialRequest& request, Credentials& out) const;

  // Credentials accepted once for a server are sent again to it, so the
  // user is not asked on every request of a loader pass.
  void RememberCredentials(const std::string& serverKey, const Credentials& credentials);
  void ForgetCredentials(const std::string& serverKey);
  bool KnownCredentials(const std::string& serverKey, Credentials& out) const;

  // The owner's stop request; a transfer in flight is aborted soon after the
  // flag turns true. Null: never stopped.
  void setStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }
  const std::atomic<bool>* stopFlag() const { return stop_; }
  bool StopRequested() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

  // A dead server can never hold a transfer for long: connecting gives up
  // after connectTimeoutMs, and a transfer that receives nothing for
  // stallTimeoutMs is aborted.
  long connectTimeoutMs() const { return connectTimeoutMs_; }
  long stallTimeoutMs() const { return stallTimeoutMs_; }
  void setTimeouts(long connectTimeoutMs, long stallTimeoutMs);

 private:
  std::string agent_;
  std::shared_ptr<HttpTransport> transport_;
  CredentialPrompt prompt_;
  std::map<std::string, Credentials> credentials_;
  const std::atomic<bool>* stop_ = nullptr;
  long connectTimeoutMs_ = 30000;
  long stallTimeoutMs_ = 60000;
};

}  // namespace velmora
