// Which service a loader's requests go to, as messages name it.
#include "monitor/quote_source.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(QuoteServiceAddress, HostAndPortOfTheServiceThePassUses) {
  SystemConfig config;
  SetConfigDefaults(config);
  config.YahooHistoryQuoteSpreadSheetURL = "http://127.0.0.1:18321/table.csv";
  config.YahooHistoryQuoteURL = "http://quotes.example/q/hp";
  config.YahooRealTimeQuoteSpreadSheetURL = "http://user:secret@[::1]:8080/d/quotes.csv";

  config.HistoryQuoteServer = kHistoryYahooSpreadSheet;
  EXPECT_EQ(QuoteServiceAddress(config, true), "127.0.0.1:18321");
  config.HistoryQuoteServer = kHistoryYahooHtml;
  EXPECT_EQ(QuoteServiceAddress(config, true), "quotes.example:80");
  EXPECT_EQ(QuoteServiceAddress(config, false), "[::1]:8080");

  // Services that make no request, and a URL the client can not use, name nothing.
  config.HistoryQuoteServer = kHistoryEdreyfus;
  EXPECT_EQ(QuoteServiceAddress(config, true), "");
  config.RealTimeQuoteServer = kRealTimeMyTrack;
  EXPECT_EQ(QuoteServiceAddress(config, false), "");
  config.RealTimeQuoteServer = kRealTimeYahoo;
  config.YahooRealTimeQuoteSpreadSheetURL = "ftp://127.0.0.1/d/quotes.csv";
  EXPECT_EQ(QuoteServiceAddress(config, false), "");
}

}  // namespace
}  // namespace velmora
