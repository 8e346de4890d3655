// Each program's options come from one table: its manual page's OPTIONS
// section is that table's, and its --help names every option the page does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/option_table.h"
#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The page's OPTIONS section: from ".SH OPTIONS" to the next ".SH".
std::string optionsSection(const std::string& page) {
  const std::size_t from = page.find(".SH OPTIONS\n");
  if (from == std::string::npos) return "";
  const std::size_t to = page.find("\n.SH ", from + 1);
  return page.substr(from, to == std::string::npos ? std::string::npos : to + 1 - from);
}

// "--name" for each "\-\-name" of the section's tag lines.
std::vector<std::string> taggedOptions(const std::string& section) {
  std::vector<std::string> names;
  const std::vector<std::string> lines = test::SplitLines(section);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i - 1] != ".TP") continue;
    for (std::size_t at = lines[i].find("\\-\\-"); at != std::string::npos;
         at = lines[i].find("\\-\\-", at + 1)) {
      std::string name = "--";
      for (std::size_t k = at + 4; k < lines[i].size(); ++k) {
        const char c = lines[i][k];
        if (c == '\\' && lines[i].compare(k, 2, "\\-") == 0) {
          name += '-';
          ++k;
        } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
          name += c;
        } else {
          break;
        }
      }
      names.push_back(name);
    }
  }
  return names;
}

TEST(ProgramOptions, ManualPageAndHelpComeFromTheProgramsTable) {
  std::vector<std::string> programs{"velmora-monitor", "velmora-analyze", "velmora-backtest"};
  for (const char* optional : {"quote-standin", "velmora"})
    if (test::FileExists(test::BinPath(optional))) programs.push_back(optional);
  for (const std::string& program : programs) {
    SCOPED_TRACE(program);
    test::TempFolder folder;
    const test::ProgramOutcome manual = test::RunProgram(program, {kManualOptionsName}, folder.path());
    ASSERT_EQ(manual.status, 0) << manual.err;
    const std::string page =
        test::ReadFile(std::string(VELMORA_SOURCE_DIR) + "/packaging/man/" + program + ".1");
    const std::string section = optionsSection(page);
    ASSERT_FALSE(section.empty());
    EXPECT_EQ(joined(manual.out), section);

    const test::ProgramOutcome help = test::RunProgram(program, {"--help"}, folder.path());
    ASSERT_EQ(help.status, 0) << help.err;
    const std::string helpText = joined(help.out);
    const std::vector<std::string> names = taggedOptions(section);
    EXPECT_GE(names.size(), 2u);
    for (const std::string& name : names) EXPECT_NE(helpText.find(name), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace velmora
