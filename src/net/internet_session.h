#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "base/system_config.h"
#include "net/http_transport.h"

namespace velmora {

// Every request a session sends ends after this many bytes of answer, or
// this long after it was sent, whatever the server does: history pages are
// a few hundred kilobytes and arrive within seconds, so a server that keeps
// sending (or trickles) can never hold a loader thread.
inline constexpr std::size_t kTransferByteLimit = 16u * 1024u * 1024u;  // 16 MB
inline constexpr long kTransferTimeLimitMs = 120000;                    // 120 s

// "no complete answer within 120 seconds": why a transfer that reached its
// time limit failed.
std::string TransferTimeLimitText(long ms);

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
  // The transport's handles belong to this session and its one thread.
  InternetSession(const InternetSession&) = delete;
  InternetSession& operator=(const InternetSession&) = delete;

  // False when the network library could not be set up.
  bool ok() const { return transport_ != nullptr; }
  const std::string& agent() const { return agent_; }
  HttpTransport& transport() const { return *transport_; }

  void setCredentialPrompt(CredentialPrompt prompt) { prompt_ = std::move(prompt); }
  // Asks the prompt; false when there is none or it declines.
  [[nodiscard]] bool AskCredentials(const CredentialRequest& request, Credentials& out) const;

  // Credentials accepted once for a server are sent again to it, so the
  // user is not asked on every request of a loader pass.
  void RememberCredentials(const std::string& serverKey, const Credentials& credentials);
  void ForgetCredentials(const std::string& serverKey);
  [[nodiscard]] bool KnownCredentials(const std::string& serverKey, Credentials& out) const;

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

  // The size and time limits of every transfer (kTransferByteLimit,
  // kTransferTimeLimitMs unless set); a transfer that reaches either fails
  // as a cut one does.
  std::size_t transferByteLimit() const { return transferByteLimit_; }
  long transferTimeLimitMs() const { return transferTimeLimitMs_; }
  void setTransferLimits(std::size_t maxBytes, long maxTimeMs);

  // At most this many transfers of the whole process are in flight to one
  // host:port at a time (kept to 1..16); this session's requests wait for
  // a free place. The owner passes its configuration's value.
  int maxConnectionsPerHost() const { return maxConnectionsPerHost_; }
  void setMaxConnectionsPerHost(int limit);

  // What the transport keeps between this session's requests; null until
  // its first request.
  const std::shared_ptr<TransportSessionState>& transportState() const { return transportState_; }
  void setTransportState(std::shared_ptr<TransportSessionState> state) { transportState_ = std::move(state); }

  // How many requests of this session had an answer (a status line) from a
  // server: a local failure with no new answer never reached the service.
  long answeredRequests() const { return answeredRequests_; }
  void noteAnswer() { ++answeredRequests_; }

 private:
  std::string agent_;
  std::shared_ptr<HttpTransport> transport_;
  CredentialPrompt prompt_;
  std::map<std::string, Credentials> credentials_;
  const std::atomic<bool>* stop_ = nullptr;
  long connectTimeoutMs_ = 30000;
  long stallTimeoutMs_ = 60000;
  std::size_t transferByteLimit_ = kTransferByteLimit;
  long transferTimeLimitMs_ = kTransferTimeLimitMs;
  long answeredRequests_ = 0;
  int maxConnectionsPerHost_ = kDefaultMaxConnectionsPerHost;
  std::shared_ptr<TransportSessionState> transportState_;
};

}  // namespace velmora
