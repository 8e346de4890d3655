#include "chart_data/chart_transfer_record.h"

#include <utility>

namespace velmora {

namespace {

class RecordingConnection final : public HttpConnection {
 public:
  RecordingConnection(std::unique_ptr<HttpConnection> inner, std::shared_ptr<TransferRecord> record)
      : inner_(std::move(inner)), record_(std::move(record)) {}

  bool Send(const std::string& object, const std::string& headerBlock, const Credentials* credentials,
            std::string& error) override {
    const bool sent = inner_->Send(object, headerBlock, credentials, error);
    record_->failed = !sent;
    record_->answered = sent;
    record_->error = sent ? std::string() : error;
    if (sent) record_->status = inner_->Status();
    return sent;
  }

  int Status() const override { return inner_->Status(); }
  std::string RawHeaders() const override { return inner_->RawHeaders(); }

  long Read(char* buffer, std::size_t size, std::string& error) override {
    const long n = inner_->Read(buffer, size, error);
    if (n < 0) {
      record_->failed = true;
      record_->error = error;
    }
    return n;
  }

 private:
  std::unique_ptr<HttpConnection> inner_;
  std::shared_ptr<TransferRecord> record_;
};

}  // namespace

RecordingTransport::RecordingTransport(std::shared_ptr<HttpTransport> inner) : inner_(std::move(inner)) {}

std::unique_ptr<HttpConnection> RecordingTransport::Connect(const UrlParts& url, InternetSession& session) {
  TransferRecord& r = *record_;
  r = TransferRecord{};
  r.service = url.host + ":" + std::to_string(url.port);
  std::unique_ptr<HttpConnection> inner = inner_ != nullptr ? inner_->Connect(url, session) : nullptr;
  if (inner == nullptr) {
    r.failed = true;
    r.error = "no connection could be made";
    return nullptr;
  }
  return std::make_unique<RecordingConnection>(std::move(inner), record_);
}

}  // namespace velmora
