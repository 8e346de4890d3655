#include "monitor/list_file.h"

#include <cstring>

#include "base/log.h"
#include "base/text_helpers.h"
#include "monitor/security_entry.h"
#include "monitor/security_store.h"
#include "monitor/symbol_check.h"

namespace velmora {

namespace {

// The reader takes a line in pieces of this many characters at most.
constexpr std::size_t kPieceLength = 511;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The first word of text[begin, end).
std::string firstWord(std::string_view text, std::size_t begin, std::size_t end) {
  while (begin < end && isSpace(text[begin])) ++begin;
  std::size_t stop = begin;
  while (stop < end && !isSpace(text[stop])) ++stop;
  return std::string(text.substr(begin, stop - begin));
}

// Where the piece from `begin` ends (after its line end), and whether it
// is taken: a piece cut short by the end of the text is not, unless it is a
// full 511 characters.
std::size_t pieceEnd(std::string_view text, std::size_t begin, bool& taken) {
  const std::size_t limit = std::min(text.size(), begin + kPieceLength);
  for (std::size_t i = begin; i < limit; ++i) {
    if (text[i] == '\n') {
      taken = true;
      return i + 1;
    }
    if (text[i] == '\r') {
      // CR LF ends the line after the LF (which may lie just past the
      // piece); a lone CR ends it by itself.
      taken = true;
      return i + 1 < text.size() && text[i + 1] == '\n' ? i + 2 : i + 1;
    }
  }
  taken = limit - begin == kPieceLength;
  return limit;
}

}  // namespace

std::vector<ListedLine> ListedLines(std::string_view text) {
  std::vector<ListedLine> lines;
  std::size_t at = text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
  while (at < text.size()) {
    bool taken = false;
    const std::size_t end = pieceEnd(text, at, taken);
    if (!taken) break;
    std::string word = firstWord(text, at, end);
    if (!word.empty()) lines.push_back({std::move(word), at, end});
    at = end;
  }
  return lines;
}

bool AcceptableListSymbol(const std::string& symbol, bool log) {
  if (symbol.size() > static_cast<std::size_t>(kMaxSymbolLength)) {
    if (log)
      LogFormat("Symbol '%s' is longer than %d characters and is not monitored.",
                PrintableSymbol(symbol.c_str()).c_str(), kMaxSymbolLength);
    return false;
  }
  if (!IsFileSafeSymbol(symbol.c_str())) {
    if (log)
      LogFormat("Symbol '%s' can not name a file in this folder and is not monitored.",
                PrintableSymbol(symbol.c_str()).c_str());
    return false;
  }
  return true;
}

std::vector<ListedLine> AcceptedLines(std::string_view text) {
  std::vector<ListedLine> accepted;
  for (ListedLine& line : ListedLines(text)) {
    if (accepted.size() >= static_cast<std::size_t>(kMaxSecurities)) break;
    if (AcceptableListSymbol(line.symbol, false)) accepted.push_back(std::move(line));
  }
  return accepted;
}

std::string WithSymbolAdded(std::string_view text, const std::string& symbol) {
  const std::string end = DominantLineEnd(text, "\n");
  std::string out(text);
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += end;
  out += symbol;
  out += end;
  return out;
}

std::string WithLineRemoved(std::string_view text, const ListedLine& line) {
  std::string out(text.substr(0, line.begin));
  if (line.end < text.size()) out += text.substr(line.end);
  return out;
}

}  // namespace velmora
