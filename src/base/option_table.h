#pragma once

// A program's command line as one table: each option's name, value, help
// text, manual-page paragraph and what it sets. One parser reads every
// program's arguments from its table, and one renderer writes both its
// --help lines and its manual page's OPTIONS section, so the three cannot
// drift apart.

#include <span>
#include <string>
#include <string_view>

namespace velmora {

// One option of a program whose options are held in `Options`.
template <class Options>
struct Option {
  const char* name = "";        // "--passes"
  char letter = 0;              // 'h': "-h" is the same option
  const char* value = nullptr;  // "N": it takes a value; none: a switch
  // --help's description, its lines split by '\n' (indented by the renderer).
  const char* help = "";
  // The manual page's paragraph (roff) under the option's tag; none: the
  // page does not list it.
  const char* manual = nullptr;
  // The manual page's tag line when ".B name" or ".BI name " VALUE"" will not do.
  const char* manualTag = nullptr;
  // Stores the value (empty for a switch); false with the reason in `error`.
  bool (*set)(Options& options, std::string_view value, std::string& error) = nullptr;
  // The message when no value follows; none: "NAME needs a value".
  const char* missing = nullptr;
  int block = 0;        // which block of --help lists it
  bool last = false;    // the arguments after it are not read (--help of a service)
  bool hidden = false;  // for the build and the tests: no --help line
};

// A program's options and what its other arguments are.
template <class Options>
struct OptionTable {
  std::span<const Option<Options>> options;
  // FILE or FOLDER: an argument that is not an option (and every argument
  // after "--"); none: such an argument is an unknown option.
  bool (*operand)(Options& options, std::string_view text, std::string& error) = nullptr;
  // What follows the name when no value follows it.
  const char* needsValue = " needs a value";
};

// Appends one option's --help lines: "  NAME VALUE" padded to `column`
// (or alone on its line when longer), then the description.
void AppendOptionHelp(std::string& out, const char* name, const char* value, const char* help, int column);

// Appends one option's manual entry: ".TP", its tag and `manual`.
void AppendOptionManual(std::string& out, const char* name, const char* value, const char* tag,
                        const char* manual);

// "--name=value" split at its '=': true with both halves set.
[[nodiscard]] bool SplitOptionValue(std::string_view arg, std::string_view& name, std::string_view& value);

// The option `arg` names in `table` ("--name" or "-l"), or none.
template <class Options>
const Option<Options>* FindOption(const OptionTable<Options>& table, std::string_view arg) {
  for (const Option<Options>& o : table.options)
    if (arg == o.name || (o.letter != 0 && arg.size() == 2 && arg[0] == '-' && arg[1] == o.letter)) return &o;
  return nullptr;
}

// Reads argv[1..argc) into `options`: "--name VALUE", "--name=VALUE",
// switches, and operands where the table takes them. False with a one-line
// reason in `error` at the first argument that does not do.
template <class Options>
[[nodiscard]] bool ParseCommandLine(const OptionTable<Options>& table, int argc, const char* const* argv,
                                    Options& options, std::string& error) {
  bool onlyOperands = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (table.operand != nullptr && !onlyOperands && arg == "--") {
      onlyOperands = true;
      continue;
    }
    if (table.operand != nullptr && (onlyOperands || arg.size() < 2 || arg[0] != '-')) {
      if (!table.operand(options, arg, error)) return false;
      continue;
    }
    std::string_view name = arg;
    std::string_view value;
    const bool joined = SplitOptionValue(arg, name, value);
    const Option<Options>* o = FindOption(table, name);
    if (o == nullptr || (joined && o->value == nullptr)) {
      error = "unknown option '" + std::string(arg) + "'";
      return false;
    }
    if (o->value != nullptr && !joined) {
      if (i + 1 >= argc) {
        error = o->missing != nullptr ? o->missing : std::string(o->name) + table.needsValue;
        return false;
      }
      value = argv[++i];
    }
    if (!o->set(options, value, error)) return false;
    if (o->last) return true;
  }
  return true;
}

// The --help lines of the options of `block`, in the table's order.
template <class Options>
std::string OptionHelp(const OptionTable<Options>& table, int column, int block = 0) {
  std::string out;
  for (const Option<Options>& o : table.options)
    if (!o.hidden && o.block == block) AppendOptionHelp(out, o.name, o.value, o.help, column);
  return out;
}

// The manual page's OPTIONS section, from ".SH OPTIONS" to the next section.
template <class Options>
std::string OptionManual(const OptionTable<Options>& table) {
  std::string out = ".SH OPTIONS\n";
  for (const Option<Options>& o : table.options)
    if (o.manual != nullptr) AppendOptionManual(out, o.name, o.value, o.manualTag, o.manual);
  return out;
}

// The hidden option every program has: prints OptionManual, for the test
// that holds the installed manual page to the table.
inline constexpr const char* kManualOptionsName = "--manual-options";

}  // namespace velmora
