#include "base/option_table.h"

namespace velmora {

namespace {

// roff takes '-' for a hyphen; an option's dashes are "\-".
std::string roffDashes(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '-') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

void AppendOptionHelp(std::string& out, const char* name, const char* value, const char* help, int column) {
  std::string head = std::string("  ") + name;
  if (value != nullptr) head += std::string(" ") + value;
  const std::string indent(static_cast<std::size_t>(column), ' ');
  std::string_view text = help;
  if (static_cast<int>(head.size()) < column) {
    out += head + std::string(static_cast<std::size_t>(column) - head.size(), ' ');
  } else {
    out += head + "\n" + indent;
  }
  for (std::size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1))
    out += std::string(text.substr(0, end)) + "\n" + indent;
  out += std::string(text) + "\n";
}

void AppendOptionManual(std::string& out, const char* name, const char* value, const char* tag,
                        const char* manual) {
  out += ".TP\n";
  if (tag != nullptr)
    out += tag;
  else if (value == nullptr)
    out += ".B " + roffDashes(name);
  else
    out += ".BI " + roffDashes(name) + " \" " + roffDashes(value) + "\"";
  out += "\n";
  out += manual;
  if (*manual != '\0' && manual[std::char_traits<char>::length(manual) - 1] != '\n') out += "\n";
}

bool SplitOptionValue(std::string_view arg, std::string_view& name, std::string_view& value) {
  if (arg.substr(0, 2) != "--") return false;
  const std::size_t eq = arg.find('=');
  if (eq == std::string_view::npos) return false;
  name = arg.substr(0, eq);
  value = arg.substr(eq + 1);
  return true;
}

}  // namespace velmora
