// velmora-monitor's command line: the alert options and how they meet the
// settings of Config.ini.
#include "app/headless_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

bool parse(std::vector<const char*> args, HeadlessOptions& options, std::string& error) {
  args.insert(args.begin(), "velmora-monitor");
  return ParseHeadlessOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(HeadlessAlertOptions, ReplaceTheConfigurationWhereGiven) {
  SystemConfig config;
  config.AlertCommand = "notify-send Velmora";
  config.AlertsJsonl = "from-config.jsonl";

  HeadlessOptions none;
  std::string error;
  ASSERT_TRUE(parse({"--passes", "1"}, none, error)) << error;
  AlertSettings settings = HeadlessAlertSettings(none, config);
  EXPECT_EQ(settings.command, "notify-send Velmora");
  EXPECT_EQ(settings.jsonLines, "from-config.jsonl");
  EXPECT_EQ(settings.commandLimitMs, 10000);

  HeadlessOptions given;
  ASSERT_TRUE(parse({"--alert-command", "'my script' --quiet", "--alerts-jsonl", "out.jsonl"}, given, error))
      << error;
  settings = HeadlessAlertSettings(given, config);
  EXPECT_EQ(settings.command, "'my script' --quiet");
  EXPECT_EQ(settings.jsonLines, "out.jsonl");

  // An empty value switches the configured one off.
  HeadlessOptions off;
  ASSERT_TRUE(parse({"--alert-command", "", "--alerts-jsonl", ""}, off, error)) << error;
  settings = HeadlessAlertSettings(off, config);
  EXPECT_EQ(settings.command, "");
  EXPECT_EQ(settings.jsonLines, "");
}

TEST(HeadlessAlertOptions, MistakesAreRefusedWithTheirReason) {
  const struct {
    std::vector<const char*> args;
    const char* error;
  } cases[] = {
      {{"--alert-command"}, "--alert-command needs a value"},
      {{"--alerts-jsonl"}, "--alerts-jsonl needs a value"},
      {{"--alert-command", "say 'open"}, "--alert-command: the quote ' is not closed"},
      {{"--alert-command", "say \\"}, "--alert-command: a backslash ends the command"},
  };
  for (const auto& c : cases) {
    HeadlessOptions options;
    std::string error;
    EXPECT_FALSE(parse(c.args, options, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

TEST(HeadlessAlertOptions, TheCommandLimitComesFromTheEnvironment) {
  HeadlessOptions options;
  std::string error;
  {
    test::ScopedVariable limit("VELMORA_ALERT_COMMAND_LIMIT_MS", "250");
    ASSERT_TRUE(parse({}, options, error)) << error;
    EXPECT_EQ(HeadlessAlertSettings(options, SystemConfig{}).commandLimitMs, 250);
  }
  for (const char* bad : {"0", "soon", "-5"}) {
    test::ScopedVariable limit("VELMORA_ALERT_COMMAND_LIMIT_MS", bad);
    HeadlessOptions refused;
    EXPECT_FALSE(parse({}, refused, error)) << bad;
    EXPECT_EQ(error,
              std::string("VELMORA_ALERT_COMMAND_LIMIT_MS must be a number of milliseconds of 1 or more, "
                          "not '") +
                  bad + "'");
  }
}

TEST(AlertConfigKeys, AreWrittenOnlyWhenSetAndReadBackAsWritten) {
  SystemConfig config;
  SetConfigDefaults(config);
  const std::string plain = FormatConfig(config);
  EXPECT_EQ(plain.find("Alert"), std::string::npos);

  config.AlertCommand = "notify-send 'Velmora alert' \"$x\"";
  config.AlertsJsonl = "alerts.jsonl";
  const std::string text = FormatConfig(config);
  EXPECT_NE(text.find("\r\nAlertCommand=notify-send 'Velmora alert' \"$x\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nAlertsJsonl=alerts.jsonl\r\n"), std::string::npos);

  test::TempFolder folder;
  test::WriteFile(folder.file("Config.ini"), text);
  SystemConfig read;
  ASSERT_TRUE(ReadConfig(read, folder.file("Config.ini")));
  EXPECT_EQ(read.AlertCommand, config.AlertCommand);
  EXPECT_EQ(read.AlertsJsonl, "alerts.jsonl");
  EXPECT_EQ(AlertSettingsFrom(read).command, config.AlertCommand);
  EXPECT_EQ(AlertSettingsFrom(read).jsonLines, "alerts.jsonl");
}

}  // namespace
}  // namespace velmora
