#include "server/authorization.h"

namespace velmora::standin {

bool AuthorizationIs(const std::string& header, std::string_view scheme, std::string_view credentials) {
  if (header.size() <= scheme.size() || header[scheme.size()] != ' ') return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    const char c = header[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != scheme[i]) return false;
  }
  std::size_t at = scheme.size();
  while (at < header.size() && header[at] == ' ') ++at;
  return std::string_view(header).substr(at) == credentials;
}

}  // namespace velmora::standin
