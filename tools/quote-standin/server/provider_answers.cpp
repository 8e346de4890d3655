#include "server/provider_answers.h"

#include <nlohmann/json.hpp>

namespace velmora::standin {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kTextType = "text/plain";
constexpr const char* kChallengeType = "text/html";

ProviderReply jsonReply(int status, const Json& body) {
  ProviderReply reply;
  reply.status = status;
  reply.body = body.dump();
  return reply;
}

ProviderReply textReply(int status, const char* text) {
  ProviderReply reply;
  reply.status = status;
  reply.contentType = kTextType;
  reply.body = text;
  return reply;
}

Json yahooError(const char* code, const std::string& description) {
  return Json{{"chart", {{"result", nullptr}, {"error", {{"code", code}, {"description", description}}}}}};
}

ProviderReply rateLimited(ProviderEndpoint endpoint, int retryAfterSeconds) {
  ProviderReply reply;
  switch (ProviderOf(endpoint)) {
    case Provider::kYahoo:
      reply = textReply(429, "Too Many Requests");
      break;
    case Provider::kTiingo:
      reply = textReply(429, "You have exceeded your allocated number of requests per hour.");
      break;
    case Provider::kFinnhub:
      reply =
          jsonReply(429, Json{{"error", "API limit reached. Please try again later. Remaining Limit: 0"}});
      break;
  }
  reply.retryAfterSeconds = retryAfterSeconds;
  return reply;
}

}  // namespace

const char* ChallengePage() {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Just a moment...</title></head>\n"
         "<body><h1>Checking your browser before accessing the site.</h1>\n"
         "<p>Please enable JavaScript and cookies to continue.</p></body></html>\n";
}

ProviderReply ProviderNotFound(ProviderEndpoint endpoint, const std::string& ticker) {
  switch (endpoint) {
    case ProviderEndpoint::kYahooChart:
      return jsonReply(404, yahooError("Not Found", "No data found, symbol may be delisted"));
    case ProviderEndpoint::kTiingoPrices:
      return jsonReply(404, Json{{"detail", "Error: Ticker '" + ticker + "' not found"}});
    case ProviderEndpoint::kTiingoIex:
      return jsonReply(200, Json::array());
    default:
      return jsonReply(
          200,
          Json{{"c", 0}, {"d", nullptr}, {"dp", nullptr}, {"h", 0}, {"l", 0}, {"o", 0}, {"pc", 0}, {"t", 0}});
  }
}

ProviderReply ProviderBadKey(ProviderEndpoint endpoint) {
  switch (ProviderOf(endpoint)) {
    case Provider::kYahoo:
      return jsonReply(401,
                       Json{{"finance",
                             {{"result", nullptr},
                              {"error", {{"code", "Unauthorized"}, {"description", "Invalid Crumb"}}}}}});
    case Provider::kTiingo:
      return jsonReply(401, Json{{"detail", "Invalid token."}});
    default:
      return jsonReply(401, Json{{"error", "Invalid API key"}});
  }
}

ProviderReply FinnhubNoAccess() {
  return jsonReply(403, Json{{"error", "You don't have access to this resource."}});
}

ProviderReply ProviderBadRequest(ProviderEndpoint endpoint, const std::string& message) {
  switch (ProviderOf(endpoint)) {
    case Provider::kYahoo:
      return jsonReply(400, yahooError("Bad Request", message));
    case Provider::kTiingo:
      return jsonReply(400, Json{{"detail", "Error: " + message}});
    default:
      return jsonReply(400, Json{{"error", message}});
  }
}

bool ProviderFaultReply(ProviderEndpoint endpoint, const Fault& fault, const std::string& ticker,
                        ProviderReply& reply) {
  switch (fault.kind) {
    case FaultKind::kRateLimit:
      reply = rateLimited(endpoint, fault.retryAfterSeconds);
      return true;
    case FaultKind::kQuota:
      reply = ProviderOf(endpoint) == Provider::kTiingo
                  ? textReply(200,
                              "You have run over your 500 symbol look up for this month. Please upgrade at "
                              "https://api.tiingo.com/pricing to have your limits increased.")
                  : rateLimited(endpoint, -1);
      return true;
    case FaultKind::kChallenge:
      reply = textReply(200, ChallengePage());
      reply.contentType = kChallengeType;
      return true;
    case FaultKind::kCrumb:
      reply = ProviderBadKey(endpoint);
      return true;
    case FaultKind::kZeros:
    case FaultKind::kNotFound:
      reply = ProviderNotFound(endpoint, ticker);
      return true;
    default:
      return false;
  }
}

}  // namespace velmora::standin
