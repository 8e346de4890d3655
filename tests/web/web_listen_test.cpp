// What the user types after --web, who counts as this machine, the token
// comparison and the JSON texts every answer is made of.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "web/web_json.h"
#include "web/web_service.h"

namespace velmora {
namespace {

TEST(WebListen, PortAloneOrWithAnAddress) {
  struct Case {
    const char* text;
    const char* address;
    int port;
  };
  for (const Case& c : {Case{"8080", "127.0.0.1", 8080}, Case{"0", "127.0.0.1", 0},
                        Case{"65535", "127.0.0.1", 65535}, Case{"0.0.0.0:8080", "0.0.0.0", 8080},
                        Case{"192.168.1.20:80", "192.168.1.20", 80}, Case{"[::1]:8080", "::1", 8080},
                        Case{"[::]:9000", "::", 9000}, Case{"localhost:0", "localhost", 0}}) {
    WebOptions options;
    options.token = "kept";
    std::string error;
    ASSERT_TRUE(ParseWebListen(c.text, options, error)) << c.text << ": " << error;
    EXPECT_EQ(options.address, c.address) << c.text;
    EXPECT_EQ(options.port, c.port) << c.text;
    EXPECT_EQ(options.token, "kept");
  }
}

TEST(WebListen, AnythingElseIsRefusedWithAReasonAndChangesNothing) {
  for (const char* text : {"", "abc", "-1", "65536", "99999999999", "8080x", " 8080", "1.2.3.4:", ":8080",
                           "::1:8080", "[::1]8080", "[::1]:", "[::1", "[zz]:80", "[1.2.3.4]:80",
                           "1.2.3.4:80:90", "-host:80", "host name:80", "+80"}) {
    WebOptions options;
    options.port = 7;
    std::string error;
    EXPECT_FALSE(ParseWebListen(text, options, error)) << text;
    EXPECT_NE(error.find(text), std::string::npos) << error;
    EXPECT_EQ(options.port, 7) << text;
    EXPECT_EQ(options.address, "127.0.0.1") << text;
  }
}

TEST(WebListen, OnlyLoopbackAddressesCountAsThisMachine) {
  for (const char* address : {"127.0.0.1", "127.1.2.3", "::1", "localhost", "::ffff:127.0.0.1"})
    EXPECT_TRUE(IsLoopbackAddress(address)) << address;
  for (const char* address : {"0.0.0.0", "::", "192.168.1.20", "10.0.0.1", "128.0.0.1", "::ffff:10.0.0.1",
                              "example.com", "localhost.example.com", ""})
    EXPECT_FALSE(IsLoopbackAddress(address)) << address;
}

TEST(WebToken, SameSecretComparesWholeTexts) {
  EXPECT_TRUE(SameSecret("s3cret", "s3cret"));
  EXPECT_TRUE(SameSecret("", ""));
  EXPECT_FALSE(SameSecret("s3cret", "s3cre"));
  EXPECT_FALSE(SameSecret("s3cre", "s3cret"));
  EXPECT_FALSE(SameSecret("s3cret", "S3cret"));
  EXPECT_FALSE(SameSecret("s3cret", ""));
  EXPECT_FALSE(SameSecret(std::string("a\0b", 3), std::string("a\0c", 3)));
  // A shorter text is not a prefix match padded with zero bytes.
  EXPECT_FALSE(SameSecret(std::string("ab\0", 3), "ab"));
}

TEST(WebJson, StringsAreEscapedAndAlwaysValidUtf8) {
  std::string out;
  AppendJsonString(out, "a\"b\\c\n\t\x01");
  EXPECT_EQ(out, R"("a\"b\\c\n\t\u0001")");
  out.clear();
  AppendJsonString(out, "caf\xc3\xa9 \xe2\x82\xac");  // valid UTF-8 stays
  EXPECT_EQ(out, "\"caf\xc3\xa9 \xe2\x82\xac\"");
  out.clear();
  AppendJsonString(out, "Z\xfcrich \xc3 \xed\xa0\x80");  // Latin-1, a cut sequence, a surrogate
  EXPECT_EQ(out, "\"Z\xef\xbf\xbdrich \xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\"");
}

TEST(WebJson, NumbersReadBackTheSameWhateverTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  (void)std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // a decimal comma where it exists
  std::string out;
  for (const double value : {33.59, -0.48, 0.0, -0.0, 1e21, 123456789.125}) {
    AppendJsonNumber(out, value);
    out += ' ';
  }
  AppendJsonNumber(out, std::numeric_limits<double>::quiet_NaN());
  out += ' ';
  AppendJsonNumber(out, std::numeric_limits<double>::infinity());
  out += ' ';
  AppendJsonInteger(out, 9000000000000LL);
  (void)std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(out, "33.59 -0.48 0.0 0.0 1e+21 123456789.125 null null 9000000000000");
}

TEST(WebJson, IsoDateOfTheBarsDateText) {
  QuoteBar bar;
  bar.SetDate("12/7/2026");
  EXPECT_EQ(IsoDateOf(bar), "2026-12-07");
  bar.SetDate("7-Dec-26");
  EXPECT_EQ(IsoDateOf(bar), "2026-12-07");
  bar.SetDate("");
  EXPECT_EQ(IsoDateOf(bar), "");
  EXPECT_EQ(IsoDateOf(QuoteBar{}), "");  // a fresh bar's blank date is no day, not today
}

}  // namespace
}  // namespace velmora
