// The monitor's report pass, and the first complete pass of 512 securities
// loaded by 16 threads from the real quote-standin.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/system_config.h"
#include "monitor/list_reload.h"
#include "monitor/loader_pool.h"
#include "monitor/report_writer.h"
#include "monitor/security_store.h"

extern char** environ;

namespace {

using namespace velmora;
namespace fs = std::filesystem;

// A fresh folder made the current one for the benchmark's life.
class BenchFolder {
 public:
  BenchFolder() : previous_(fs::current_path()) {
    char pattern[] = "/tmp/velmora-bench-XXXXXX";
    path_ = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    fs::current_path(path_);
  }
  ~BenchFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    if (path_ != "/tmp") fs::remove_all(path_, ec);
  }

 private:
  fs::path previous_;
  std::string path_;
};

std::string symbolOf(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "B%03d", i);
  return text;
}

void fillStore(SecurityStore& store, int count, bool withBars) {
  store.Clear();
  for (int i = 0; i < count; ++i) {
    SecurityData data;
    (void)InitSecurityEntry(data, symbolOf(i).c_str(), kRealTimeYahoo);  // fixed, well-formed test symbols
    if (withBars) {
      for (int b = 0; b < kMonitoredBars; ++b) {
        QuoteBar& bar = data.bars[b];
        bar.close = 100.0 + i * 0.5 + b;
        bar.open = bar.close - 0.75;
        bar.high = bar.close + 1.25;
        bar.low = bar.close - 1.5;
        bar.ema5 = bar.close * 0.99;
        bar.rsi = 55.5;
        bar.trendChanged = (i + b) % 23 == 0;
        bar.SetTime("3:59pm");
        if ((i + b) % 7 == 0) bar.SetMark((i & 1) ? "B" : "S");
      }
      data.bars.count = kMonitoredBars;
      data.historyLoaded = 1;
    }
    (void)store.Append(data);  // fixed, well-formed test symbols
  }
}

// One report pass (the five files) over a full store.
void BM_ReportPass512(benchmark::State& state) {
  BenchFolder folder;
  static SecurityStore store;
  fillStore(store, kMaxSecurities, true);
  for (auto _ : state) benchmark::DoNotOptimize(WriteReports(store));
}
BENCHMARK(BM_ReportPass512)->Unit(benchmark::kMillisecond);

// The store rebuilt from a list of 512 read again with the first security
// gone and a new one at the end: what the window thread does while the
// loader threads wait for a changed List.dat.
void BM_ListRebuild512(benchmark::State& state) {
  static SecurityStore store;
  std::string list;
  for (int i = 1; i < kMaxSecurities; ++i) list += symbolOf(i) + "  -- a description\r\n";
  list += "NEW\r\n";
  for (auto _ : state) {
    state.PauseTiming();
    fillStore(store, kMaxSecurities, true);
    state.ResumeTiming();
    benchmark::DoNotOptimize(RebuildStore(store, list, kRealTimeYahoo));
  }
}
BENCHMARK(BM_ListRebuild512)->Unit(benchmark::kMillisecond);

// The real quote-standin on a free port, stopped on destruction.
class Standin {
 public:
  explicit Standin(const std::vector<std::string>& extra) {
    const std::string program = (fs::read_symlink("/proc/self/exe").parent_path() / "quote-standin").string();
    std::vector<std::string> argv{program, "--port", "0"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (pid_ > 0 && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    ::close(out[0]);
    const auto colon = line.rfind(':');
    if (line.find("listening on") != std::string::npos && colon != std::string::npos)
      port_ = std::atoi(line.c_str() + colon + 1);
  }
  ~Standin() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// From starting 16 threads on 512 securities to the first report pass that
// covers the whole list. Argument: the stand-in's latency per answer in ms.
void BM_FirstCompletePass512On16Threads(benchmark::State& state) {
  const int latency = static_cast<int>(state.range(0));
  std::vector<std::string> extra;
  if (latency > 0) extra = {"--latency", std::to_string(latency)};
  Standin standin(extra);
  if (standin.port() <= 0) {
    state.SkipWithError("quote-standin did not start");
    return;
  }
  BenchFolder folder;
  SystemConfig config;
  SetConfigDefaults(config);
  const std::string base = "http://127.0.0.1:" + std::to_string(standin.port());
  config.YahooRealTimeQuoteSpreadSheetURL = base + "/d/quotes.csv";
  config.YahooHistoryQuoteSpreadSheetURL = base + "/table.csv";
  config.YahooHistoryQuoteURL = base + "/q/hp";
  config.QuoteInterval = 0;
  static SecurityStore store;
  LoaderEnvironment env;
  env.config = &config;
  for (auto _ : state) {
    fillStore(store, kMaxSecurities, false);
    LoaderPool pool(store, env);
    pool.AssignSecurityRanges(store.count(), 16);
    const auto start = std::chrono::steady_clock::now();
    pool.StartLoaderThreads(nullptr);
    while (pool.CompleteReportPasses() < 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    pool.StopLoaderThreads();
  }
}
BENCHMARK(BM_FirstCompletePass512On16Threads)
    ->Arg(0)
    ->Arg(20)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
