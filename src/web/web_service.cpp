#include "web/web_service.h"

namespace velmora {

bool ParseWebListen(const std::string& text, WebOptions& out, std::string& error) {
  (void)text;
  (void)out;
  error = "the web view is not built yet";
  return false;
}

std::unique_ptr<WebService> StartWebService(const WebOptions& options, const SecurityStore& store,
                                            AlertCenter* alerts, std::string& error) {
  (void)options;
  (void)store;
  (void)alerts;
  error = "the web view is not built yet";
  return nullptr;
}

}  // namespace velmora
