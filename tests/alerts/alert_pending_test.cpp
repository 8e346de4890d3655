// Alerts.pending: what an earlier run still owed some output, read back
// line by line and delivered at the next start to those outputs, once.
#include "alerts/alert_pending.h"

#include <gtest/gtest.h>

#include "alerts/alert_center.h"
#include "alerts/alert_memory.h"
#include "support/log_lines.h"

namespace velmora {
namespace {

PendingAlert owed(const std::string& symbol, std::vector<std::string> outputs) {
  return {{symbol, AlertKind::kAbove, "above 1.00", "12/7/2026", 420.75, -3.25, -0.78, "2026-12-08 15:31:07"},
          "above:1.00",
          20261207,
          std::move(outputs)};
}

TEST(AlertPendingThreads, ANewCenterDeliversWhatIsOwedToThoseOutputsOnceAndSkipsDamagedLines) {
  test::InTempDir here;
  const std::string text =
      FormatPendingAlerts({owed("MSFT", {"json-lines", "command"}), owed("IBM", {"command", "pager"})});
  const std::size_t start = text.find('\n') + 1;  // the MSFT line, with its line end
  const std::string line = text.substr(start, text.find('\n', start) + 1 - start);
  const auto with = [&](const std::string& from, const std::string& to) {
    std::string changed = line;
    return changed.replace(changed.find(from), from.size(), to);
  };
  std::string damaged = line.substr(0, line.size() / 2) + "\n\x01\xff\n";
  for (const auto& [from, to] : {std::pair{"[\"json-lines\",\"command\"]", "[]"},
                                 {"\"above\"", "\"sideways\""},
                                 {"20261207", "7"},
                                 {"420.75", "\"420.75\""},
                                 {"\"above:1.00\"", "\"a b\""}})
    damaged += with(from, to);
  test::WriteFile(kAlertPendingFile, text + damaged);
  AlertSettings settings;
  settings.jsonLines = "alerts.jsonl";
  settings.command = "sh -c 'echo \"$VELMORA_ALERT_SYMBOL $VELMORA_ALERT_EVENT\" >> command.txt'";
  for (int run = 0; run < 2; ++run) MakeAlertCenter(settings);  // the second finds nothing owed

  EXPECT_EQ(test::SplitLines(test::ReadFile("command.txt")),
            (std::vector<std::string>{"MSFT above 1.00", "IBM above 1.00"}));
  EXPECT_EQ(test::SplitLines(test::ReadFile("alerts.jsonl")).size(), 1u);
  EXPECT_FALSE(test::FileExists(kAlertPendingFile));
  EXPECT_TRUE(test::LogHas("Alerts.pending: 7 lines can not be read and are skipped."));
  EXPECT_TRUE(
      test::LogHas("Alerts.pending: 1 alert owed to 'pager' is dropped: this run has no such output."));
  EXPECT_TRUE(test::LogHas("2 alerts of an earlier run go out to the alert command now."));
  // Never raised again, even had Alerts.state not been written after them.
  AlertMemory memory;
  memory.Load(kAlertStateFile);
  EXPECT_TRUE(memory.Contains("IBM", "above:1.00", 20261207));
}

}  // namespace
}  // namespace velmora
