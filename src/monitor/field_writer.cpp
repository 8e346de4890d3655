#include "monitor/field_writer.h"

#include <charconv>

namespace velmora {

void FieldWriter::padded(int width, const char* first, const char* last) {
  const std::ptrdiff_t length = last - first;
  if (width > length) out_.append(static_cast<std::size_t>(width - length), ' ');
  out_.append(first, static_cast<std::size_t>(length));
}

FieldWriter& FieldWriter::text(int width, std::string_view value) {
  padded(width, value.data(), value.data() + value.size());
  return *this;
}

// to_chars with a precision rounds exactly as printf does in the "C"
// locale (the exact binary value, ties to even).
FieldWriter& FieldWriter::fixed2(int width, double value) {
  char buffer[400];  // the widest double in fixed notation is 309 digits and the decimals
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  padded(width, buffer, result.ptr);
  return *this;
}

FieldWriter& FieldWriter::integer(int width, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  padded(width, buffer, result.ptr);
  return *this;
}

FieldWriter& FieldWriter::character(int width, char value) {
  padded(width, &value, &value + 1);
  return *this;
}

}  // namespace velmora
