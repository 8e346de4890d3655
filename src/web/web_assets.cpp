#include "web/web_assets.h"

namespace velmora {

const WebAsset* FindWebAsset(std::string_view path) {
  for (const WebAsset& asset : EmbeddedWebAssets())
    if (asset.path == path) return &asset;
  return nullptr;
}

const char* WebContentType(std::string_view path) {
  const auto endsWith = [&](std::string_view ending) {
    return path.size() >= ending.size() && path.substr(path.size() - ending.size()) == ending;
  };
  if (endsWith(".html")) return "text/html; charset=utf-8";
  if (endsWith(".js")) return "text/javascript; charset=utf-8";
  if (endsWith(".css")) return "text/css; charset=utf-8";
  if (endsWith(".svg")) return "image/svg+xml";
  if (endsWith(".json")) return "application/json";
  if (endsWith(".png")) return "image/png";
  if (endsWith(".ico")) return "image/x-icon";
  if (endsWith(".txt")) return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace velmora
