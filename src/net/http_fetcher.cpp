#include "net/http_fetcher.h"

#include <cstdio>

#include "base/log.h"
#include "net/quote_result.h"
#include "net/temp_file.h"

namespace velmora {

namespace {

std::string serverKey(const UrlParts& parts) { return parts.host + ":" + std::to_string(parts.port); }

}  // namespace

HttpFetcher::~HttpFetcher() {
  if (!tempFile_.empty()) std::remove(tempFile_.c_str());
  Close();
}

int HttpFetcher::Open(const char* url, InternetSession& session) {
  const char* requested = url != nullptr ? url : "";
  url_ = requested;
  stop_ = session.stopFlag();
  byteLimit_ = session.transferByteLimit();
  timeLimitMs_ = session.transferTimeLimitMs();
  UrlParts parts;
  if (!SplitUrl(requested, parts)) {
    LogFormat("Invalid URL '%s'.", requested);
    return kHttpLocalFailure;
  }
  int status = 0;
  if (!connectAndSend(parts, session, status)) return kHttpLocalFailure;
  session.noteAnswer();

  if (status == kHttpUnauthorized) {
    session.ForgetCredentials(serverKey(parts));
    Credentials credentials;
    if (!session.AskCredentials(CredentialRequest{parts.host, requested}, credentials)) {
      LogMessage("No authorization.");
      return kHttpUnauthorized;
    }
    if (!send(&credentials, status)) return kHttpLocalFailure;  // asked once: no further retry
    if (status != kHttpUnauthorized) session.RememberCredentials(serverKey(parts), credentials);
  }

  if (status == 301 || status == 302 || status == 303) {
    std::string location;
    if (!FindNewLocation(connection_->RawHeaders(), location)) {
      LogMessage("Can not find new location.");
      return kHttpLocalFailure;
    }
    Close();
    LogFormat("Warning: '%s' is redirected to '%s'.", requested, location.c_str());
    UrlParts next;
    if (!SplitUrl(location.c_str(), next)) {
      LogFormat("Invalid URL '%s'.", location.c_str());
      return kHttpLocalFailure;
    }
    // Only one redirect is followed: whatever the new place answers is final.
    if (!connectAndSend(next, session, status)) return kHttpLocalFailure;
  }

  if (status != kHttpOk) {
    LogFormat("Warnning: got status code %d when opening URL:", status);
    LogMessage(requested);
  }
  return status;
}

bool HttpFetcher::connectAndSend(const UrlParts& parts, InternetSession& session, int& status) {
  server_ = parts.host;
  object_ = parts.object;
  port_ = parts.port;
  connection_ = session.ok() ? session.transport().Connect(parts, session) : nullptr;
  if (!connection_) {
    LogFormat("Can not open connection to '%s'.", server_.c_str());
    return false;
  }
  Credentials known;
  const bool haveKnown = session.KnownCredentials(serverKey(parts), known);
  return send(haveKnown ? &known : nullptr, status);
}

bool HttpFetcher::send(const Credentials* credentials, int& status) {
  std::string error;
  // The time limit counts from the moment each request goes out.
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs_);
  if (!connection_->Send(object_, kRequestHeaders, credentials, error)) {
    logTransferFailure(error);
    return false;
  }
  status = connection_->Status();
  readPos_ = readLength_ = 0;  // the body of this answer starts afresh
  bodyBytes_ = 0;
  bodyEnded_ = bodyFailed_ = false;
  return true;
}

// A failed transfer is logged with the URL that was asked for, e.g.
// "Transfer from 'http://host/table.csv?s=MSFT&...' failed: <reason>". Every
// quote URL carries its symbol in the query (s=MSFT), so the line tells which
// security's page or record was lost and from where; after a redirect the
// warning line before it names the new place. A stop the owner asked for is
// no failure of the transfer and keeps its own short line.
void HttpFetcher::logTransferFailure(const std::string& reason) const {
  const std::string text = reason.substr(0, 1024);
  if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
    LogMessage(text);
    return;
  }
  LogMessage("Transfer from '" + url_.substr(0, 1024) + "' failed: " + text);
}

// The body ends here as a cut one does; what was read is kept, and the
// connection goes at once so nothing more is received.
void HttpFetcher::failBody(const std::string& reason) {
  logTransferFailure(reason);
  bodyEnded_ = true;
  bodyFailed_ = true;
  connection_.reset();
}

void HttpFetcher::Close() {
  connection_.reset();
  readPos_ = readLength_ = 0;
  bodyEnded_ = true;
}

bool HttpFetcher::fill() {
  if (bodyEnded_ || !connection_) return false;
  if (std::chrono::steady_clock::now() >= deadline_) {
    failBody(TransferTimeLimitText(timeLimitMs_));
    return false;
  }
  std::string error;
  const long n = connection_->Read(readBuffer_, kReadAhead, error);
  if (n < 0) {
    // A read error ends the body where it stands; what was read is kept.
    failBody(error);
    return false;
  }
  if (n == 0) {
    bodyEnded_ = true;
    return false;
  }
  bodyBytes_ += static_cast<std::size_t>(n);
  if (bodyBytes_ > byteLimit_) {
    failBody("the answer is larger than " + std::to_string(byteLimit_) + " bytes");
    return false;
  }
  readPos_ = 0;
  readLength_ = static_cast<std::size_t>(n);
  return true;
}

bool HttpFetcher::ReadLine(int capacity, char* buffer) {
  if (buffer == nullptr || capacity < 3) return false;
  const int limit = capacity - 2;
  int n = 0;
  while (n < limit) {
    if (readPos_ >= readLength_ && !fill()) break;
    const char c = readBuffer_[readPos_++];
    if (c == '\r') continue;
    buffer[n++] = c;
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  return n > 0;
}

bool HttpFetcher::TempFileName() {
  // A failed creation leaves the name empty, to be tried again next time.
  return !tempFile_.empty() || CreateTempFile(tempFile_);
}

}  // namespace velmora
