#pragma once

#include <string>

#include "providers/provider.h"

namespace velmora::testing_answers {

// An answer as the fetcher hands it over: status, header block, body.
inline ProviderAnswer Answer(int status, std::string body, std::string headers = "") {
  ProviderAnswer answer;
  answer.status = status;
  answer.body = std::move(body);
  answer.headers = headers.empty() ? "HTTP/1.1 " + std::to_string(status) + " X\r\n\r\n" : std::move(headers);
  return answer;
}

inline ProviderAnswer FailedTransfer(std::string error) {
  ProviderAnswer answer;
  answer.transferFailed = true;
  answer.error = std::move(error);
  return answer;
}

}  // namespace velmora::testing_answers
