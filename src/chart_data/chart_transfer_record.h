#pragma once

// What a chart's load learnt about its last exchange with a quote service:
// the service's host and port, and how the exchange ended. A chart load
// puts a RecordingTransport between its session and the network library;
// when the load fails, the record tells a service that could not be
// reached, that kept silent or that cut its answer short from a symbol the
// service does not know.

#include <memory>
#include <string>

#include "net/http_transport.h"

namespace velmora {

struct TransferRecord {
  std::string service;    // "host:port" of the last request; empty: none was made
  bool failed = false;    // the last exchange ended in an error of the network library
  bool answered = false;  // a status line had arrived (a failure then cut the body)
  int status = 0;         // the last status a server answered
  std::string error;      // the library's text of the failure
};

// Passes every request on to `inner` and keeps the record of the last one.
// Belongs to one session and so to one thread.
class RecordingTransport final : public HttpTransport {
 public:
  explicit RecordingTransport(std::shared_ptr<HttpTransport> inner);

  [[nodiscard]] std::unique_ptr<HttpConnection> Connect(const UrlParts& url,
                                                        InternetSession& session) override;

  const TransferRecord& last() const { return *record_; }

 private:
  std::shared_ptr<HttpTransport> inner_;
  // Shared with the connections, which may outlive a request.
  std::shared_ptr<TransferRecord> record_ = std::make_shared<TransferRecord>();
};

}  // namespace velmora
