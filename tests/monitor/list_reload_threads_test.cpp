// The watch list read again while the loader threads run, and the list
// file's lines as Add and Remove edit them. The suite with "Threads" in its
// name also runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/list_file.h"
#include "monitor/list_reload.h"
#include "monitor/loader_pool.h"
#include "monitor/security_list.h"
#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using test::WaitUntil;

std::vector<std::string> symbolsOf(std::string_view text) {
  std::vector<std::string> symbols;
  for (const ListedLine& line : ListedLines(text)) symbols.push_back(line.symbol);
  return symbols;
}

TEST(ListFile, LinesAndEditsKeepTheFilesOwnLineEnds) {
  using V = std::vector<std::string>;
  struct Case {
    std::string text;
    V symbols;
  };
  const std::vector<Case> cases = {
      {"A -- one\r\nB\r\n", V{"A", "B"}},
      {"A\rB\r# note\r", V{"A", "B", "#"}},  // CR alone, as old Mac editors save
      {"\xEF\xBB\xBF"
       "A\n\n  \nB\nC",
       V{"A", "B"}},                                       // the unended last line is not taken
      {"A" + std::string(510, ' ') + "B\n", V{"A", "B"}},  // pieces of 511 characters
      {"", V{}},
  };
  for (const Case& c : cases) EXPECT_EQ(symbolsOf(c.text), c.symbols) << c.text;

  // Add keeps the line ends and ends an unended last line first.
  EXPECT_EQ(WithSymbolAdded("A -- x\r\nB\r\n", "NFLX"), "A -- x\r\nB\r\nNFLX\r\n");
  EXPECT_EQ(WithSymbolAdded("A\nB", "NFLX"), "A\nB\nNFLX\n");
  EXPECT_EQ(WithSymbolAdded("", "NFLX"), "NFLX\n");
  // Remove takes the line of one entry and leaves comments and the rest.
  const std::string text = "\r\nMSFT -- Microsoft\r\n../bad\r\nIBM\r\nMSFT again\r\n";
  const std::vector<ListedLine> accepted = AcceptedLines(text);
  ASSERT_EQ(accepted.size(), 3u);  // "../bad" can name no file: the store has no entry for it
  EXPECT_EQ(WithLineRemoved(text, accepted[2]), "\r\nMSFT -- Microsoft\r\n../bad\r\nIBM\r\n");
  EXPECT_EQ(WithLineRemoved(text, accepted[0]), "\r\n../bad\r\nIBM\r\nMSFT again\r\n");
}

class ListReloadThreads : public ::testing::Test {
 protected:
  ListReloadThreads() { SetConfigDefaults(config_); }

  void start(const std::string& list) {
    test::WriteFile(kSecurityListFileName, list);
    ASSERT_EQ(ReadSecurityList(store_, kSecurityListFileName, kRealTimeYahoo) > 0, true);
    LoaderEnvironment env;
    env.config = &config_;
    env.sources = &service_;
    env.clock = &clock_;
    env.writeReports = [](const SecurityStore&) {};
    pool_ = std::make_unique<LoaderPool>(store_, env);
    pool_->AssignSecurityRanges(store_.count(), 2);
  }
  int indexOf(const char* symbol) const { return FindSecurity(store_, symbol); }

  test::TempFolder folder_;
  test::ScopedCurrentDir here_{folder_.path()};
  SystemConfig config_;
  SecurityStore store_;
  test::FakeQuoteService service_;
  test::FakeClock clock_;
  test::RecordingListener listener_;
  std::unique_ptr<LoaderPool> pool_;
};

TEST_F(ListReloadThreads, AddedSecuritiesLoadRemovedOnesGoAndTheRestKeepTheirState) {
  start("IBM\nMSFT\nAAPL\n");
  ASSERT_EQ(pool_->StartLoaderThreads(&listener_), 1);
  ASSERT_TRUE(WaitUntil([&] {
    return store_.entry(0).historyLoaded() && store_.entry(1).historyLoaded() &&
           store_.entry(2).historyLoaded();
  }));
  const double msftClose = store_.entry(1).Snapshot().bars[1].close;

  // MSFT moves first, IBM goes, NFLX comes.
  test::WriteFile(kSecurityListFileName, "MSFT -- Microsoft\r\n\r\nAAPL\r\nNFLX\r\n");
  const ListReload reload = ReloadSecurityList(store_, *pool_, config_, kSecurityListFileName);
  ASSERT_TRUE(reload.read);
  EXPECT_EQ(reload.newIndexOfOld, (std::vector<int>{-1, 0, 1}));
  EXPECT_EQ(reload.added, (std::vector<std::string>{"NFLX"}));
  EXPECT_EQ(reload.removed, (std::vector<std::string>{"IBM"}));
  EXPECT_EQ(ListReloadText(reload), "List.dat reloaded: 1 added (NFLX), 1 removed (IBM); 3 securities.");
  EXPECT_EQ(store_.count(), 3);
  EXPECT_EQ(indexOf("IBM"), -1);
  // The kept ones keep what was loaded, and are not loaded again.
  EXPECT_TRUE(store_.entry(0).historyLoaded());
  EXPECT_EQ(store_.entry(0).Snapshot().bars[1].close, msftClose);
  EXPECT_GT(pool_->RunningThreadCount(), 0);
  ASSERT_TRUE(WaitUntil([&] { return store_.entry(indexOf("NFLX")).historyLoaded(); }));
  EXPECT_EQ(service_.historyCalls("MSFT"), 1);
  EXPECT_EQ(service_.historyCalls("AAPL"), 1);

  // A list that can not be read leaves the store as it is.
  std::remove(kSecurityListFileName);
  EXPECT_FALSE(ReloadSecurityList(store_, *pool_, config_, kSecurityListFileName).read);
  EXPECT_EQ(store_.count(), 3);
  EXPECT_FALSE(test::FileExists(kSecurityListFileName));
}

TEST(ListReload, DuplicatesPairInOrderAndAMoveIsANewOrder) {
  SecurityStore store;
  test::FillStore(store, {"A", "B", "A"});
  SecurityData marked = store.entry(2).Snapshot();
  marked.historyLoaded = 1;
  store.entry(2).PublishHistory(marked);
  (void)store.entry(2).NoteQuoteMissed(100, "Not Found");
  const ListReload reload = RebuildStore(store, "B\nA\nA\n", kRealTimeYahoo);
  EXPECT_EQ(reload.newIndexOfOld, (std::vector<int>{1, 0, 2}));
  EXPECT_TRUE(reload.reordered);
  EXPECT_TRUE(store.entry(2).historyLoaded());
  EXPECT_EQ(store.entry(2).freshness().reason, "Not Found");
  EXPECT_EQ(ListReloadText(reload), "List.dat reloaded: new order; 3 securities.");
  EXPECT_EQ(ListReloadText(RebuildStore(store, "B\nA\nA\n", kRealTimeYahoo)),
            "List.dat reloaded: no change; 3 securities.");
}

}  // namespace
}  // namespace velmora
