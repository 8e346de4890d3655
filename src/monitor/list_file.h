#pragma once

// The text of the list file: which of its lines name a security, and the
// edits Add and Remove make to it, leaving every other line (comments,
// descriptions, blank lines) and the file's line ends as they are.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A line of the list file that names a security: its first word and where
// the line lies in the text, its line end included.
struct ListedLine {
  std::string symbol;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// The lines of `text` that name a symbol, in order, as the list is read: a
// byte-order mark at the start is skipped; a line ends with LF, CR LF or a
// lone CR; a line longer than 511 characters is taken in pieces of 511,
// each piece a line of its own; a last line that is not ended is not taken
// (it may still be being written); lines without a word are skipped. Every
// symbol is listed, whether or not the store can take it.
std::vector<ListedLine> ListedLines(std::string_view text);

// Whether the store takes `symbol` (a name that fits and can name a file of
// its own); with `log`, a refused one is logged with the reason.
bool AcceptableListSymbol(const std::string& symbol, bool log);

// The lines of `text` whose symbols the store takes, in store order: the
// line of store entry i is element i (at most 512).
std::vector<ListedLine> AcceptedLines(std::string_view text);

// `text` with a line holding `symbol` added at the end, in the file's line
// ends. A last line without its line end gets one first, so the new line is
// a line of its own (and the unended line now counts as well).
std::string WithSymbolAdded(std::string_view text, const std::string& symbol);

// `text` without `line` (one of its ListedLines).
std::string WithLineRemoved(std::string_view text, const ListedLine& line);

}  // namespace velmora
