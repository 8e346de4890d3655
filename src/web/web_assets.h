#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace velmora {

// A file of the page, built into the program: its path under the page's
// folder ("index.html", "app.js") and its bytes.
struct WebAsset {
  std::string_view path;
  const unsigned char* data;
  std::size_t size;
};

// Every file of the page (made at build time from the page's folder).
std::span<const WebAsset> EmbeddedWebAssets();

// The file at `path` (no leading '/'), null when there is none.
const WebAsset* FindWebAsset(std::string_view path);

// The content type told for a file, by its name's ending.
const char* WebContentType(std::string_view path);

}  // namespace velmora
