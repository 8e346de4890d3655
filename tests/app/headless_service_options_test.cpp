// velmora-monitor as a service: the web view's options and key, the token,
// --quiet and the line printed per pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/headless_monitor.h"
#include "app/headless_options.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::ScopedVariable;
using test::TempFolder;
using test::WriteFile;

bool parse(std::vector<const char*> args, HeadlessOptions& options, std::string& error) {
  args.insert(args.begin(), "velmora-monitor");
  return ParseHeadlessOptions(static_cast<int>(args.size()), args.data(), options, error);
}

// The listen text is read by the web layer; until it is built these cases
// have nothing to check.
bool webListenIsBuilt() {
  WebOptions probe;
  std::string error;
  return ParseWebListen("8421", probe, error) || error != "the web view is not built yet";
}

TEST(HeadlessServiceWebOptions, ListenFormsAndTheConfiguredKey) {
  if (!webListenIsBuilt()) GTEST_SKIP() << "the web layer is a stub";
  ScopedVariable noToken(kWebTokenVariable, "");
  SystemConfig config;
  SetConfigDefaults(config);
  std::string error;

  // Neither the key nor the option: no web view.
  HeadlessOptions none;
  ASSERT_TRUE(parse({}, none, error)) << error;
  WebOptions web;
  EXPECT_EQ(HeadlessWebChoice(none, config, web, error), WebChoice::kOff);

  // A port alone is loopback; an address and port are taken as given.
  HeadlessOptions portOnly;
  ASSERT_TRUE(parse({"--web", "8421"}, portOnly, error)) << error;
  ASSERT_EQ(HeadlessWebChoice(portOnly, config, web, error), WebChoice::kOn);
  EXPECT_EQ(web.address, "127.0.0.1");
  EXPECT_EQ(web.port, 8421);
  EXPECT_EQ(web.folder, ".");
  EXPECT_EQ(WebViewUrl(web.address, web.port), "http://127.0.0.1:8421/");

  HeadlessOptions everywhere;
  ASSERT_TRUE(parse({"--web", "0.0.0.0:9000"}, everywhere, error)) << error;
  ASSERT_EQ(HeadlessWebChoice(everywhere, config, web, error), WebChoice::kOn);
  EXPECT_EQ(web.address, "0.0.0.0");
  EXPECT_EQ(web.port, 9000);

  // Web= of Config.ini serves when no option is given; the option wins,
  // and "off" switches a configured view off for one run.
  config.Web = "127.0.0.1:8500";
  ASSERT_EQ(HeadlessWebChoice(none, config, web, error), WebChoice::kOn);
  EXPECT_EQ(web.port, 8500);
  ASSERT_EQ(HeadlessWebChoice(portOnly, config, web, error), WebChoice::kOn);
  EXPECT_EQ(web.port, 8421);
  HeadlessOptions off;
  ASSERT_TRUE(parse({"--web", "off"}, off, error)) << error;
  EXPECT_EQ(HeadlessWebChoice(off, config, web, error), WebChoice::kOff);
  config.Web = "off";
  EXPECT_EQ(HeadlessWebChoice(none, config, web, error), WebChoice::kOff);

  // A bad key is the web view's failure, named with the key.
  config.Web = "eighty";
  EXPECT_EQ(HeadlessWebChoice(none, config, web, error), WebChoice::kBad);
  EXPECT_EQ(error.rfind("Config.ini Web=eighty: ", 0), 0u) << error;
  HeadlessOptions missing;
  EXPECT_FALSE(parse({"--web"}, missing, error));
  EXPECT_EQ(error, "--web needs a value");
}

TEST(HeadlessServiceWebOptions, TokenFromTheFileOrTheEnvironment) {
  TempFolder folder;
  const std::string file = folder.file("token");
  ScopedVariable fromEnvironment(kWebTokenVariable, "env-token");
  SystemConfig config;
  SetConfigDefaults(config);
  config.Web = "127.0.0.1:8421";
  const bool built = webListenIsBuilt();
  std::string error;
  WebOptions web;

  HeadlessOptions envOnly;
  ASSERT_TRUE(parse({}, envOnly, error)) << error;
  EXPECT_EQ(envOnly.webToken, "env-token");
  if (built) {
    ASSERT_EQ(HeadlessWebChoice(envOnly, config, web, error), WebChoice::kOn);
    EXPECT_EQ(web.token, "env-token");
  }

  // The first line, its trailing blanks and line end removed; the file wins
  // over the environment.
  WriteFile(file, "  s3cret token \t\r\nsecond line\n");
  HeadlessOptions fromFile;
  ASSERT_TRUE(parse({"--web-token-file", file.c_str()}, fromFile, error)) << error;
  EXPECT_EQ(fromFile.webToken, "  s3cret token");
  if (built) {
    ASSERT_EQ(HeadlessWebChoice(fromFile, config, web, error), WebChoice::kOn);
    EXPECT_EQ(web.token, "  s3cret token");
  }

  // A file that can not be read, or whose first line is blank, would serve
  // without the token the user meant: refused.
  const struct {
    const char* content;  // null: no file
    const char* error;
  } cases[] = {
      {nullptr, "can not read"},
      {"", "holds no token"},
      {" \t\r\ntoken on the second line\n", "holds no token"},
  };
  for (const auto& c : cases) {
    const std::string path = folder.file(c.content == nullptr ? "missing" : "blank");
    if (c.content != nullptr) WriteFile(path, c.content);
    HeadlessOptions options;
    EXPECT_FALSE(parse({"--web-token-file", path.c_str()}, options, error)) << path;
    EXPECT_EQ(error.rfind("--web-token-file: ", 0), 0u) << error;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_NE(error.find(path), std::string::npos) << error;
  }
  HeadlessOptions folderAsFile;
  EXPECT_FALSE(parse({"--web-token-file", folder.path().c_str()}, folderAsFile, error));
  EXPECT_EQ(error.rfind("--web-token-file: ", 0), 0u) << error;
}

TEST(HeadlessServiceOptions, QuietAndTheUsageText) {
  HeadlessOptions options;
  std::string error;
  ASSERT_TRUE(parse({"--quiet", "--passes", "2"}, options, error)) << error;
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(options.passes, 2);
  HeadlessOptions plain;
  ASSERT_TRUE(parse({}, plain, error)) << error;
  EXPECT_FALSE(plain.quiet);
  EXPECT_FALSE(plain.webGiven);

  const std::string usage = HeadlessUsage();
  for (const char* word : {"--web [ADDR:]PORT", "--web-token-file FILE", "--quiet", "VELMORA_WEB_TOKEN",
                           "6 the web view could not start", "LogMaxSizeMB"})
    EXPECT_NE(usage.find(word), std::string::npos) << word;
}

TEST(HeadlessServicePassLine, CountsAndOneDecimalOfSeconds) {
  EXPECT_EQ(PassLine(3, 510, 2, 41.24), "pass 3: 510 loaded, 2 failed, 41.2 s");
  EXPECT_EQ(PassLine(1, 0, 0, 0.04), "pass 1: 0 loaded, 0 failed, 0.0 s");
  EXPECT_EQ(PassLine(12, 3, 0, 3600.06), "pass 12: 3 loaded, 0 failed, 3600.1 s");
  // A clock that went backwards never shows a negative time.
  EXPECT_EQ(PassLine(2, 1, 1, -0.5), "pass 2: 1 loaded, 1 failed, 0.0 s");
}

TEST(HeadlessServiceWebUrl, BracketsAnIPv6Address) {
  EXPECT_EQ(WebViewUrl("0.0.0.0", 8421), "http://0.0.0.0:8421/");
  EXPECT_EQ(WebViewUrl("::1", 8080), "http://[::1]:8080/");
}

}  // namespace
}  // namespace velmora
