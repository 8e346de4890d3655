#pragma once

namespace velmora {

// Turns the table markup of an HTML file into comma-separated lines: a
// <table or <tr tag and </table> start a new line, a <td tag separates cells,
// other tags vanish, commas in the text are dropped (1,234 -> 1234). Tags
// are compared case-sensitively. False when a file cannot be opened.
[[nodiscard]] bool ConvertHtmlTableToCsv(const char* htmlPath, const char* csvPath);

// Replaces the HTML page at `path` by CSV text: the header line, then the
// history rows that followed it up to the footnote line (only the header
// when the page has no table). False when a file cannot be made, read or
// written.
[[nodiscard]] bool ExtractHistoryTable(const char* path);

}  // namespace velmora
