#include "chart_data/chart_load_failure.h"

#include <gtest/gtest.h>

#include "net/quote_result.h"

namespace velmora {
namespace {

// The quote layer's result code and the last exchange as the network
// library ended it (the texts are libcurl's and the session's own) tell
// the service's failures from a symbol the service does not know.
TEST(ChartLoadFailure, TellsTheServicesFailuresFromAnUnknownSymbol) {
  using K = ChartFailureKind;
  const std::string at = "127.0.0.1:8123";
  const struct {
    int code;
    bool answered;
    const char* error;  // "" when the library reported none
    K kind;
    const char* detail;
  } cases[] = {
      {kQuoteNotFound, true, "", K::kNotFound, ""},
      {-500, true, "", K::kServerError, ""},
      {kQuoteProxyError, true, "", K::kServerError, ""},
      {kQuoteFailed, true, "", K::kOther, ""},
      {kQuoteNoAuthorization, true, "", K::kOther, ""},
      {kQuoteLocalFailure, false,
       "Failed to connect to 127.0.0.1 port 8123 after 0 ms: Couldn't connect to server", K::kCannotConnect,
       "connection refused"},
      {kQuoteLocalFailure, false, "Failed to connect to 127.0.0.1 port 8123: Connection refused",
       K::kCannotConnect, "connection refused"},
      {kQuoteLocalFailure, false, "Could not resolve host: quotes.example", K::kCannotConnect,
       "host not found"},
      {kQuoteLocalFailure, false, "Connection timed out after 30001 milliseconds", K::kCannotConnect,
       "no answer to the connection"},
      // A hung service: no status line until the transfer gives up.
      {kQuoteLocalFailure, false, "Operation timed out after 120000 milliseconds with 0 bytes received",
       K::kTimedOut, ""},
      {kQuoteLocalFailure, false, "Operation too slow. Less than 1 bytes/sec transferred the last 60 seconds",
       K::kTimedOut, ""},
      {kQuoteLocalFailure, true, "no complete answer within 120 seconds", K::kTimedOut, ""},
      {kQuoteLocalFailure, false, "Recv failure: Connection reset by peer", K::kCutShort, ""},
      {kQuoteLocalFailure, false, "Empty reply from server", K::kCutShort, ""},
      {kQuoteLocalFailure, true, "transfer closed with 5120 bytes remaining to read", K::kCutShort, ""},
      // The fetcher's own size limit: an answer, then no library error.
      {kQuoteLocalFailure, true, "", K::kCutShort, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.code) + " " + c.error);
    TransferRecord record;
    record.service = at;
    record.answered = c.answered;
    record.failed = c.error[0] != '\0';
    record.error = c.error;
    const ChartLoadFailure f = ClassifyChartFailure(c.code, record);
    EXPECT_EQ(f.kind, c.kind);
    EXPECT_EQ(f.detail, c.detail);
    EXPECT_EQ(f.service, at);
    EXPECT_EQ(IsServiceFailure(f), c.kind != K::kNotFound && c.kind != K::kOther);
    EXPECT_EQ(f.status, c.kind == K::kServerError ? -c.code : 0);
  }
  // A local file that could not be read, and an address no request could
  // be made to.
  EXPECT_EQ(ClassifyChartFailure(0, TransferRecord{}).kind, K::kOther);
  EXPECT_EQ(ClassifyChartFailure(kQuoteLocalFailure, TransferRecord{}).kind, K::kCannotConnect);
}

}  // namespace
}  // namespace velmora
