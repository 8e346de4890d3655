#include "net/quote_result.h"

namespace velmora {

const char* QuoteResultText(int code) {
  switch (code) {
    case kQuoteOk:
      return "OK";
    case kQuoteNotFound:
      return "Not Found";
    case kQuoteProxyError:
      return "Proxy Error";
    case kQuoteFailed:
      return "Failed";
    default:
      return "";
  }
}

}  // namespace velmora
