#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Appends right-aligned fields to a text the way "%*s", "%*.2lf", "%*lld"
// and "%*c" print them in the "C" locale, byte for byte, without going
// through printf for each field: the local history files write some 170 KB
// of such fields per security.
class FieldWriter {
 public:
  explicit FieldWriter(std::string& out) : out_(out) {}

  FieldWriter& text(int width, std::string_view value);
  FieldWriter& fixed2(int width, double value);  // "%*.2lf"
  FieldWriter& integer(int width, std::int64_t value);
  FieldWriter& character(int width, char value);
  FieldWriter& raw(std::string_view value) {
    out_.append(value);
    return *this;
  }

 private:
  void padded(int width, const char* first, const char* last);

  std::string& out_;
};

}  // namespace velmora
