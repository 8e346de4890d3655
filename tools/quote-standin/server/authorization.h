#pragma once

#include <string>
#include <string_view>

namespace velmora::standin {

// Whether an Authorization header is "SCHEME CREDENTIALS": the scheme
// ("basic", "token", given in lower case) in any letter case, one or more
// blanks, then exactly the credentials.
bool AuthorizationIs(const std::string& header, std::string_view scheme, std::string_view credentials);

}  // namespace velmora::standin
