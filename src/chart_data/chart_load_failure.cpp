#include "chart_data/chart_load_failure.h"

#include <initializer_list>

#include "base/text_helpers.h"
#include "net/quote_result.h"

namespace velmora {

namespace {

// The network library's texts, read without regard to letter case (the
// words are given in lower case).
bool mentions(const std::string& text, std::initializer_list<const char*> words) {
  const std::string lower = AsciiLowerCase(text);
  for (const char* word : words)
    if (lower.find(word) != std::string::npos) return true;
  return false;
}

bool timedOut(const std::string& error) {
  // "Operation timed out after ...", "Operation too slow ...", and the
  // session's own "no complete answer within 120 seconds".
  return mentions(error, {"timed out", "too slow", "timeout", "no complete answer within"});
}

// A connection that could not be made ("Connection reset by peer" is an
// answer broken off, not one of these).
bool notConnected(const std::string& error) {
  return mentions(error, {"failed to connect", "couldn't connect", "could not connect", "no connection",
                          "refused", "resolve", "unreachable", "connection timed out"});
}

// What kept the connection from being made, in a few words; empty when the
// text does not say. libcurl names a refused connection only "Couldn't
// connect to server" (its time-outs and look-ups have texts of their own),
// so that text is read as refused.
std::string connectDetail(const std::string& error) {
  if (mentions(error, {"resolve"})) return "host not found";
  if (mentions(error, {"connection timed out"})) return "no answer to the connection";
  if (mentions(error, {"refused", "couldn't connect to server"})) return "connection refused";
  if (mentions(error, {"unreachable"})) return "network unreachable";
  return {};
}

// A local failure of the HTTP client: the last exchange's record says
// which. A library error before any status line is a connection that could
// not be made unless the text speaks of a time-out or a broken reply; one
// after it cut the body short. With no error of the library the fetcher
// itself stopped an answer that had arrived (its size or time limit).
ChartLoadFailure localFailure(const TransferRecord& record) {
  ChartLoadFailure f;
  f.service = record.service;
  if (record.service.empty()) {
    f.kind = ChartFailureKind::kCannotConnect;  // the address itself could not be used
    return f;
  }
  if (!record.failed) {
    f.kind = record.answered ? ChartFailureKind::kCutShort : ChartFailureKind::kCannotConnect;
    return f;
  }
  if (!record.answered && notConnected(record.error)) {
    f.kind = ChartFailureKind::kCannotConnect;
    f.detail = connectDetail(record.error);
    return f;
  }
  f.kind = timedOut(record.error) ? ChartFailureKind::kTimedOut : ChartFailureKind::kCutShort;
  return f;
}

}  // namespace

ChartLoadFailure ClassifyChartFailure(int code, const TransferRecord& record) {
  if (code == kQuoteLocalFailure) return localFailure(record);
  ChartLoadFailure f;
  f.service = record.service;
  if (code == kQuoteNotFound) {
    f.kind = ChartFailureKind::kNotFound;
  } else if (code <= -500 && code >= -599) {
    f.kind = ChartFailureKind::kServerError;
    f.status = -code;
  }
  return f;
}

bool IsServiceFailure(const ChartLoadFailure& failure) {
  return failure.kind != ChartFailureKind::kNotFound && failure.kind != ChartFailureKind::kOther;
}

}  // namespace velmora
