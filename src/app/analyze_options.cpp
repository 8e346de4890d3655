#include "app/analyze_options.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "app/analyze_csv.h"
#include "core/compute_indicators.h"
#include "quotes/local_history_reader.h"

namespace velmora {

namespace {

// A whole decimal integer of at least `minimum`.
bool readInt(std::string_view text, int minimum, int& value) {
  int v = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), v);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || v < minimum) return false;
  value = v;
  return true;
}

// "K,N,S": three periods of at least 1.
bool readStoch(std::string_view text, AnalyzeOptions& o) {
  const std::size_t a = text.find(',');
  const std::size_t b = a == std::string_view::npos ? a : text.find(',', a + 1);
  if (b == std::string_view::npos) return false;
  return readInt(text.substr(0, a), 1, o.stochLookback) &&
         readInt(text.substr(a + 1, b - a - 1), 1, o.stochSmoothing) &&
         readInt(text.substr(b + 1), 1, o.stochSlowing);
}

// An option with a value, given as "--name VALUE" or "--name=VALUE".
bool takeValue(std::string_view arg, std::string_view name, int argc, const char* const* argv, int& i,
               std::string_view& value, bool& missing) {
  if (arg == name) {
    if (i + 1 >= argc) {
      missing = true;
      return true;
    }
    value = argv[++i];
    return true;
  }
  if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
    value = arg.substr(name.size() + 1);
    return true;
  }
  return false;
}

bool valueOption(std::string_view arg, int argc, const char* const* argv, int& i, AnalyzeOptions& o,
                 std::string& error) {
  std::string_view value;
  bool missing = false;
  bool ok = true;
  std::string_view name;
  if (takeValue(arg, "--rsi", argc, argv, i, value, missing)) {
    name = "--rsi";
    ok = missing || readInt(value, 1, o.rsiPeriod);
  } else if (takeValue(arg, "--stoch", argc, argv, i, value, missing)) {
    name = "--stoch";
    ok = missing || readStoch(value, o);
  } else if (takeValue(arg, "--confirm-days", argc, argv, i, value, missing)) {
    name = "--confirm-days";
    ok = missing || readInt(value, 0, o.confirmDays);
  } else {
    error = "unknown option '" + std::string(arg) + "'";
    return false;
  }
  if (missing) error = std::string(name) + " needs a value";
  if (!ok) error = "bad value '" + std::string(value) + "' for " + std::string(name);
  return !missing && ok;
}

bool startsWithCaret(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t first = slash == std::string::npos ? 0 : slash + 1;
  return first < path.size() && path[first] == '^';
}

}  // namespace

bool ParseAnalyzeOptions(int argc, const char* const* argv, AnalyzeOptions& o, std::string& error) {
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!onlyFiles && arg == "--") {
      onlyFiles = true;
    } else if (!onlyFiles && (arg == "--help" || arg == "-h")) {
      o.help = true;
    } else if (!onlyFiles && arg == "--index") {
      o.index = true;
    } else if (!onlyFiles && arg == "--oldest-first") {
      o.oldestFirst = true;
    } else if (!onlyFiles && arg == "--segments") {
      o.segments = true;
    } else if (!onlyFiles && arg.size() > 1 && arg[0] == '-') {
      if (!valueOption(arg, argc, argv, i, o, error)) return false;
    } else if (o.file.empty()) {
      o.file = std::string(arg);
    } else {
      error = "only one FILE may be given";
      return false;
    }
  }
  if (!o.help && o.file.empty()) {
    error = "no FILE given";
    return false;
  }
  return true;
}

const char* AnalyzeUsageText() {
  return "Usage: velmora-analyze [--rsi N] [--stoch K,N,S] [--confirm-days N] [--index]\n"
         "                       [--oldest-first] [--segments] FILE\n";
}

const char* AnalyzeHelpText() {
  return "Usage: velmora-analyze [--rsi N] [--stoch K,N,S] [--confirm-days N] [--index]\n"
         "                       [--oldest-first] [--segments] FILE\n"
         "\n"
         "Reads FILE as a local history file (lines of date,open,high,low,close,volume,\n"
         "newest or oldest first, at most 1095 kept), analyses the bars a chart of that\n"
         "file analyses (every entry read but the last) with a full computation, and\n"
         "prints one CSV header line and one line per bar, newest first.\n"
         "\n"
         "  --rsi N            RSI period (default 14)\n"
         "  --stoch K,N,S      stochastic look-back, %K smoothing and slowing (default 14,3,3)\n"
         "  --confirm-days N   bars after a break that confirm a trend change (default 2)\n"
         "  --index            treat the security as a market index (also when the file\n"
         "                     name begins with '^'): no average-distance filter\n"
         "  --oldest-first     print the oldest bar first\n"
         "  --segments         append the trend segments: a blank line, the line\n"
         "                     \"segmentCount,current\" and its values, a blank line, then a\n"
         "                     header and one line per segment still kept (at most 64),\n"
         "                     oldest first\n"
         "  --help             show this text\n"
         "\n"
         "Columns: index (0 = newest bar), date and time as stored, prices, volume, change\n"
         "and percent, breakState and trend (0 up, 1 inside, 2 down), trendChanged,\n"
         "barsSinceChange, the two break levels, RSI with its averages, the stochastic\n"
         "lines, six averages each with its above flag (Y/N), toEma10Percent,\n"
         "volumeAvg50 and the signal mark (B, S or empty). Numbers are printed in their\n"
         "shortest exact form.\n"
         "\n"
         "Exit status: 0 on success, 1 when FILE gives no bars, 2 on bad options.\n";
}

int RunAnalyze(const AnalyzeOptions& o) {
  auto series = std::make_unique<QuoteSeries>();
  const int result = ReadLocalHistoryFile(o.file.c_str(), kHistoryCapacity, series->data());
  if (result < 1) {
    std::FILE* probe = std::fopen(o.file.c_str(), "r");
    if (probe == nullptr) {
      std::fprintf(stderr, "velmora-analyze: cannot open '%s': %s\n", o.file.c_str(), std::strerror(errno));
    } else {
      std::fclose(probe);
      std::fprintf(stderr, "velmora-analyze: '%s' holds fewer than two dated lines; nothing to analyse\n",
                   o.file.c_str());
    }
    return 1;
  }
  series->count = result;
  SignalState state;
  const bool isIndex = o.index || startsWithCaret(o.file);
  computeIndicators(false, isIndex, o.rsiPeriod, o.stochLookback, o.stochSmoothing, o.stochSlowing,
                    result - 1, 0, BarsOf(*series), state, o.confirmDays);
  std::string out;
  AppendBarsCsv(BarsOf(*series), o.oldestFirst, out);
  if (o.segments) AppendSegmentsCsv(state, out);
  const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
  if (std::fflush(stdout) != 0 || !written) {
    std::fprintf(stderr, "velmora-analyze: cannot write the output\n");
    return 1;
  }
  return 0;
}

}  // namespace velmora
