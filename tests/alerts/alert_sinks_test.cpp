// Where alerts go without windows: the log line, Alerts.txt's rows, JSON
// lines and a command run for each alert.
#include "alerts/alert_sinks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

Alert sampleAlert() {
  Alert a;
  a.symbol = "MSFT";
  a.kind = AlertKind::kAbove;
  a.event = "above 420.50";
  a.barDate = "12/8/2026";
  a.price = 420.75;
  a.change = -3.25;
  a.changePercent = -0.78;
  a.time = "2026-12-08 15:31:07";
  return a;
}

TEST(AlertTexts, LogLineReportRowAndJsonLine) {
  const Alert a = sampleAlert();
  EXPECT_EQ(AlertLogText(a),
            "Alert: MSFT above 420.50, price 420.75, change -3.25 (-0.78%), bar of 12/8/2026.");
  EXPECT_EQ(AlertReportHeader(),
            "Time                Symbol     Event                       Price    Change  Change%\n");
  EXPECT_EQ(AlertReportRow(a),
            "2026-12-08 15:31:07 MSFT       above 420.50               420.75     -3.25   -0.78%\n");
  EXPECT_EQ(
      AlertJsonLine(a),
      "{\"symbol\":\"MSFT\",\"event\":\"above 420.50\",\"kind\":\"above\",\"price\":420.75,\"change\":-3.25,"
      "\"changePercent\":-0.78,\"barDate\":\"12/8/2026\",\"time\":\"2026-12-08 15:31:07\"}");

  // A symbol that is not UTF-8 is replaced, not refused; quotes are escaped.
  Alert odd = a;
  odd.symbol = "A\xff\"B";
  EXPECT_NE(AlertJsonLine(odd).find("\"symbol\":\"A\xEF\xBF\xBD\\\"B\""), std::string::npos);
}

TEST(AlertJsonLines, AppendOneLinePerAlertAndSayOnceWhenTheFileCanNotBeWritten) {
  test::InTempDir here;
  JsonLinesSink sink("alerts.jsonl");
  sink.Deliver(sampleAlert());
  Alert second = sampleAlert();
  second.symbol = "IBM";
  sink.Deliver(second);
  const auto lines = test::SplitLines(test::ReadFile("alerts.jsonl"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], AlertJsonLine(sampleAlert()));
  EXPECT_EQ(lines[1].rfind("{\"symbol\":\"IBM\"", 0), 0u);

  JsonLinesSink nowhere("no-such-folder/alerts.jsonl");
  nowhere.Deliver(sampleAlert());
  nowhere.Deliver(sampleAlert());
  EXPECT_EQ(
      test::LogCountOf("Can not append alerts to 'no-such-folder/alerts.jsonl' (No such file or directory)."),
      1);
}

TEST(AlertCommandLine, SplitsLikeAShellWithoutExpandingAnything) {
  const struct {
    const char* text;
    std::vector<std::string> args;
  } cases[] = {
      {"notify-send  Velmora", {"notify-send", "Velmora"}},
      {"  \t ", {}},
      {"cmd 'two words' \"and three words\"", {"cmd", "two words", "and three words"}},
      {"cmd '$HOME \\n' \"a \\\"q\\\" \\\\ \\n\"", {"cmd", "$HOME \\n", "a \"q\" \\ \\n"}},
      {"cmd a\\ b \\'c", {"cmd", "a b", "'c"}},
      {"cmd pre'fix'post \"\"", {"cmd", "prefixpost", ""}},
      {"cmd *.txt ~ $PATH `x`", {"cmd", "*.txt", "~", "$PATH", "`x`"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args;
    std::string error;
    EXPECT_TRUE(SplitCommandLine(c.text, args, error)) << c.text;
    EXPECT_EQ(args, c.args) << c.text;
  }
  for (const char* bad : {"cmd 'open", "cmd \"open", "cmd \"esc\\\"", "cmd end\\"}) {
    std::vector<std::string> args;
    std::string error;
    EXPECT_FALSE(SplitCommandLine(bad, args, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

class AlertCommand : public test::InTempDir, public ::testing::Test {
 protected:
  // A script that writes its arguments and the alert's variables to a file.
  void SetUp() override {
    test::WriteFile(
        "record.sh",
        "#!/bin/sh\n"
        "printf '%s|' \"$@\" >> record.txt\n"
        "printf '%s|%s|%s|%s|%s\\n' \"$VELMORA_ALERT_SYMBOL\" \"$VELMORA_ALERT_EVENT\" "
        "\"$VELMORA_ALERT_PRICE\" \"$VELMORA_ALERT_CHANGE\" \"$VELMORA_ALERT_TIME\" >> record.txt\n"
        "echo said on stdout\n"
        "echo said on stderr >&2\n");
    ASSERT_EQ(::chmod("record.sh", 0755), 0);
  }
};

TEST_F(AlertCommand, RunsWithTheAlertInItsEnvironmentAndItsOutputInTheLog) {
  CommandSink sink({"./record.sh", "one arg", "$HOME"}, 5000ms);
  sink.Deliver(sampleAlert());
  EXPECT_EQ(test::ReadFile("record.txt"),
            "one arg|$HOME|MSFT|above 420.50|420.75|-3.25|2026-12-08 15:31:07\n");
  EXPECT_TRUE(test::LogHas("Alert command: said on stdout"));
  EXPECT_TRUE(test::LogHas("Alert command: said on stderr"));
}

TEST_F(AlertCommand, ThatCanNotStartOrFailsIsLogged) {
  CommandSink missing({"./no-such-program", "x"}, 5000ms);
  missing.Deliver(sampleAlert());
  EXPECT_TRUE(
      test::LogHas("Alert command './no-such-program x' could not start: No such file or directory."));

  CommandSink failing({"sh", "-c", "exit 3"}, 5000ms);
  failing.Deliver(sampleAlert());
  EXPECT_TRUE(test::LogHas("Alert command 'sh -c exit 3' ended with status 3."));

  // The command's own output may not be a line; it is logged all the same.
  CommandSink partial({"printf", "no end"}, 5000ms);
  partial.Deliver(sampleAlert());
  EXPECT_TRUE(test::LogHas("Alert command: no end"));
}

TEST_F(AlertCommand, ThatHangsIsKilledWithWhatItStartedAtItsTimeLimit) {
  // The shell starts a sleeper that holds the output open: both go.
  CommandSink hang({"sh", "-c", "echo started; sleep 30 & sleep 30"}, 300ms);
  const auto started = std::chrono::steady_clock::now();
  hang.Deliver(sampleAlert());
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 5s);
  EXPECT_TRUE(test::LogHas("Alert command: started"));
  EXPECT_TRUE(
      test::LogHas("Alert command 'sh -c echo started; sleep 30 & sleep 30' did not end within 300 ms and "
                   "was killed."));
}

TEST_F(AlertCommand, ThatLeavesAProgramRunningIsNotWaitedFor) {
  CommandSink detached({"sh", "-c", "sleep 6 & echo left"}, 10000ms);
  const auto started = std::chrono::steady_clock::now();
  detached.Deliver(sampleAlert());
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_TRUE(test::LogHas("Alert command: left"));
}

// The processes whose command line holds `marker`, ended ones aside.
int runningWith(const std::string& marker) {
  int n = 0;
  std::error_code ec;
  for (const auto& dir : std::filesystem::directory_iterator("/proc", ec)) {
    std::string command = test::ReadFile(dir.path() / "cmdline");
    std::replace(command.begin(), command.end(), '\0', ' ');
    const std::string stat = test::ReadFile(dir.path() / "stat");
    const std::size_t close = stat.rfind(')');
    if (command.find(marker) != std::string::npos && close != std::string::npos && close + 2 < stat.size() &&
        stat[close + 2] != 'Z')
      ++n;
  }
  return n;
}

bool eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 400 && !done(); ++i) std::this_thread::sleep_for(20ms);
  return done();
}

bool logHasOne(const std::string& head, const std::string& tail) {
  for (const std::string& t : test::LogTexts())
    if (t.rfind(head, 0) == 0 && t.size() >= tail.size() &&
        t.compare(t.size() - tail.size(), tail.size(), tail) == 0)
      return true;
  return false;
}

// Whatever a command starts ends with it: at its limit, whether the command
// itself has ended by then or not, and when the sink goes. Its output,
// however long its lines, reaches the log cut to size and counted.
TEST(AlertCommandThreads, EndsEverythingItStartedAtItsLimitAndAtShutdownWithItsOutputBounded) {
  test::InTempDir here;
  const struct {
    std::string script;
    std::string marker;
    std::vector<std::string> said;
  } cases[] = {
      // Ends after 1 MB without a line end; a sleeper it left holds the output.
      {"sleep 301.123 & head -c 1000000 /dev/zero | tr '\\0' x",
       "sleep 301.123",
       {"Alert command: " + std::string(500, 'x'), "Alert command: ... and 999500 more bytes not logged.",
        "Alert command 'sh -c sleep 301.123 & head -c 1000000 /dev/zero | tr '\\0' x' left processes "
        "running; they were killed after 1000 ms."}},
      // Runs past its limit; one sleeper left the command's session.
      {"setsid sleep 301.124 & exec sleep 301.124",
       "sleep 301.124",
       {"Alert command 'sh -c setsid sleep 301.124 & exec sleep 301.124' did not end within 1000 ms and was "
        "killed."}},
  };
  for (const auto& c : cases) {
    {
      CommandSink sink({"sh", "-c", c.script}, 1000ms);
      sink.Deliver(sampleAlert());
      EXPECT_TRUE(eventually([&] { return runningWith(c.marker) == 0; })) << c.script;
      for (const std::string& line : c.said)
        EXPECT_TRUE(eventually([&] { return test::LogHas(line); })) << line;
    }
    EXPECT_EQ(runningWith(c.marker), 0) << c.script;
  }
  EXPECT_TRUE(logHasOne("Alert command 'sh -c setsid sleep 301.124 & exec sleep 301.124': process ",
                        " (sleep) left the command's session; it is ended as well."));

  // What a command left running is not waited for, but ends with the sink.
  auto sink =
      std::make_unique<CommandSink>(std::vector<std::string>{"sh", "-c", "sleep 301.125 & echo left"}, 60s);
  sink->Deliver(sampleAlert());
  EXPECT_EQ(runningWith("sleep 301.125"), 1);
  sink.reset();
  EXPECT_EQ(runningWith("sleep 301.125"), 0);
  EXPECT_TRUE(
      test::LogHas("Alert command 'sh -c sleep 301.125 & echo left' left processes running; they were "
                   "stopped at shutdown."));
}

}  // namespace
}  // namespace velmora
