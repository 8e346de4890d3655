#include "quotes/html_history.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/log_lines.h"

namespace velmora {
namespace {

using test::ReadFile;
using test::WriteFile;

class HtmlConversion : public test::InTempDir, public ::testing::Test {
 protected:
  std::string Convert(const std::string& html) {
    WriteFile("page.html", html);
    EXPECT_TRUE(ConvertHtmlTableToCsv("page.html", "page.csv"));
    return ReadFile("page.csv");
  }
};

TEST_F(HtmlConversion, RowsBecomeLinesAndCellsCommaSeparated) {
  EXPECT_EQ(Convert("<tr><td>3-Dec-04</td><td>1,234</td></tr>"), "\n3-Dec-04,1234");
  EXPECT_EQ(Convert("<table border=0><tr class=\"r\"><td align=right>1</td><td>2</td></tr></table>x"),
            "\n\n1,2\nx");
  // Header cells that are no td cells are not separated.
  EXPECT_EQ(Convert("<tr><th>Date</th><th>Open</th></tr>"), "\nDateOpen");
}

TEST_F(HtmlConversion, TagsAreCaseSensitive) {
  EXPECT_EQ(Convert("<tr><td>a</td><TD>b</TD></tr>"), "\nab");
  EXPECT_EQ(Convert("<TR><td>a</td></TR><TABLE></TABLE>"), "a");
}

TEST_F(HtmlConversion, BrokenTagsPassThroughRaw) {
  EXPECT_EQ(Convert("<td>1</td><td>2</td><td"), "1,2<td");  // unterminated at the end
  EXPECT_EQ(Convert("<td>a<b<td>c"), "a<b,c");              // "<b" was no tag: the next "<" starts one
  EXPECT_EQ(Convert("<"), "<");
  const std::string huge = "<td " + std::string(2000, 'x') + ",y>";
  EXPECT_EQ(Convert("<td>1" + huge + "2"), "1" + huge + "2");     // too long for the tag buffer: unchanged
  const std::string fits = "<td" + std::string(1020, 'x') + ">";  // exactly 1024 characters
  EXPECT_EQ(Convert("<td>1" + fits + "2"), "1,2");
}

TEST_F(HtmlConversion, MissingFilesFail) {
  EXPECT_FALSE(ConvertHtmlTableToCsv("absent.html", "out.csv"));
  WriteFile("page.html", "x");
  EXPECT_FALSE(ConvertHtmlTableToCsv("page.html", "no/such/folder/out.csv"));
}

TEST_F(HtmlConversion, ExtractKeepsHeaderAndRowsUpToTheFootnote) {
  WriteFile("page.html",
            "<html><body><p>Prices</p>\n<table><tr><td>Date</td><td>Open</td><td>High</td><td>Low</td>"
            "<td>Close</td><td>Volume</td><td>Adj Close</td></tr>\n"
            "<tr><td>6-Dec-05</td><td>10.00</td><td>11.00</td><td>9.50</td><td>10.50</td>"
            "<td>1,234,500</td><td>10.50</td></tr>\n"
            "<tr><td colspan=7>* Close price adjusted for dividends and splits.</td></tr>\n"
            "<tr><td>5-Dec-05</td><td>1</td></tr></table></body></html>\n");
  ASSERT_TRUE(ExtractHistoryTable("page.html"));
  EXPECT_EQ(ReadFile("page.html"),
            "Date,Open,High,Low,Close,Volume\n"
            "\n"
            "6-Dec-05,10.00,11.00,9.50,10.50,1234500,10.50\n"
            "\n");
  // The converter's own temporary file is gone again.
  int left = 0;
  for (const auto& entry : std::filesystem::directory_iterator("."))
    left += entry.path().filename() != "page.html";
  EXPECT_EQ(left, 0);
}

TEST_F(HtmlConversion, ExtractWithoutTableLeavesOnlyTheHeader) {
  WriteFile("page.html", "<html>Symbol not found</html>");
  ASSERT_TRUE(ExtractHistoryTable("page.html"));
  EXPECT_EQ(ReadFile("page.html"), "Date,Open,High,Low,Close,Volume\n");
  EXPECT_FALSE(ExtractHistoryTable("absent.html"));
}

}  // namespace
}  // namespace velmora
