#include "net/internet_session.h"

#include <algorithm>
#include <cstdio>

#include "base/app_identity.h"

namespace velmora {

std::string TransferTimeLimitText(long ms) {
  char text[80];
  if (ms % 1000 == 0) {
    std::snprintf(text, sizeof text, "no complete answer within %ld seconds", ms / 1000);
  } else {
    std::snprintf(text, sizeof text, "no complete answer within %ld ms", ms);
  }
  return text;
}

InternetSession::InternetSession(std::shared_ptr<HttpTransport> transport)
    : agent_(kAppTitle), transport_(std::move(transport)) {}

bool InternetSession::AskCredentials(const CredentialRequest& request, Credentials& out) const {
  if (!prompt_) return false;
  return prompt_(request, out);
}

void InternetSession::RememberCredentials(const std::string& serverKey, const Credentials& credentials) {
  credentials_[serverKey] = credentials;
}

void InternetSession::ForgetCredentials(const std::string& serverKey) { credentials_.erase(serverKey); }

bool InternetSession::KnownCredentials(const std::string& serverKey, Credentials& out) const {
  const auto it = credentials_.find(serverKey);
  if (it == credentials_.end()) return false;
  out = it->second;
  return true;
}

void InternetSession::setTimeouts(long connectTimeoutMs, long stallTimeoutMs) {
  connectTimeoutMs_ = connectTimeoutMs > 0 ? connectTimeoutMs : 1;
  stallTimeoutMs_ = stallTimeoutMs > 0 ? stallTimeoutMs : 1;
}

void InternetSession::setTransferLimits(std::size_t maxBytes, long maxTimeMs) {
  transferByteLimit_ = maxBytes > 0 ? maxBytes : 1;
  transferTimeLimitMs_ = maxTimeMs > 0 ? maxTimeMs : 1;
}

void InternetSession::setMaxConnectionsPerHost(int limit) {
  maxConnectionsPerHost_ = std::clamp(limit, 1, 16);
}

}  // namespace velmora
