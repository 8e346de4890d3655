#include "base/system_config.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/app_identity.h"
#include "base/atomic_file.h"

namespace velmora {

namespace {

constexpr std::size_t kLineCapacity = 255;
constexpr std::size_t kEditorCapacity = 259;
constexpr std::size_t kUrlCapacity = 255;

std::string cut(const std::string& text, std::size_t capacity) {
  return text.size() > capacity ? text.substr(0, capacity) : text;
}

const char* envValue(const char* name) {
  const char* v = std::getenv(name);
  return (v != nullptr && v[0] != '\0') ? v : nullptr;
}

// An empty Editor takes "%SYSTEMROOT%\notepad" where SYSTEMROOT is set; on
// machines without it, $VISUAL, then $EDITOR, else it stays empty.
void applyEditorDefault(SystemConfig& config) {
  if (!config.Editor.empty()) return;
  if (const char* root = envValue("SYSTEMROOT")) {
    char text[kEditorCapacity + 1];
    std::snprintf(text, sizeof text, "%s\\notepad", root);
    config.Editor = text;
  } else if (const char* visual = envValue("VISUAL")) {
    config.Editor = cut(visual, kEditorCapacity);
  } else if (const char* editor = envValue("EDITOR")) {
    config.Editor = cut(editor, kEditorCapacity);
  }
}

int flagOf(const std::string& value) { return value.find("Yes") != std::string::npos ? 1 : 0; }
bool has(const std::string& value, const char* word) { return value.find(word) != std::string::npos; }

enum class Kind { Text, Int, Double, Flag, RealTimeServer, HistoryServer };

struct Key {
  const char* name;  // including its "="
  Kind kind;
  std::size_t capacity;  // for text values
};

// Table order decides which key wins when a line begins with several names.
constexpr Key kKeys[] = {
    {"Editor=", Kind::Text, kEditorCapacity},
    {"ScreenWidth=", Kind::Int, 0},
    {"ScreenHeight=", Kind::Int, 0},
    {"StartRealTimeQuoteLoader=", Kind::Flag, 0},
    {"RealTimeQuoteServer=", Kind::RealTimeServer, 0},
    {"HistoryQuoteServer=", Kind::HistoryServer, 0},
    {"YahooHistoryQuoteURL=", Kind::Text, kUrlCapacity},
    {"YahooHistoryQuoteSpreadSheetURL=", Kind::Text, kUrlCapacity},
    {"YahooRealTimeQuoteSpreadSheetURL=", Kind::Text, kUrlCapacity},
    {"ShowVolume=", Kind::Flag, 0},
    {"ShowMA=", Kind::Flag, 0},
    {"ShowBS=", Kind::Flag, 0},
    {"ShowRSI=", Kind::Flag, 0},
    {"TrendChangeConfirmDays=", Kind::Int, 0},
    {"ThresholdToEMA10=", Kind::Double, 0},
    {"ThreadLoadQuoteNum=", Kind::Int, 0},
    {"QuoteInterval=", Kind::Int, 0},
    {"bCheckVolume=", Kind::Flag, 0},
    {"bCheckRSI=", Kind::Flag, 0},
    {"bCheckStochastics=", Kind::Flag, 0},
};

// Where each key's value goes; same order as kKeys.
void store(SystemConfig& c, std::size_t keyIndex, const std::string& v) {
  switch (keyIndex) {
    case 0:
      c.Editor = cut(v, kEditorCapacity);
      break;
    case 1:
      c.ScreenWidth = std::atoi(v.c_str());
      break;
    case 2:
      c.ScreenHeight = std::atoi(v.c_str());
      break;
    case 3:
      c.StartRealTimeQuoteLoader = flagOf(v);
      break;
    case 4:
      if (has(v, "MyTrack"))
        c.RealTimeQuoteServer = kRealTimeMyTrack;
      else if (has(v, "Yahoo"))
        c.RealTimeQuoteServer = kRealTimeYahoo;
      break;
    case 5:
      if (has(v, "Yahoo_Spread_Sheet"))
        c.HistoryQuoteServer = kHistoryYahooSpreadSheet;
      else if (has(v, "Yahoo_Html"))
        c.HistoryQuoteServer = kHistoryYahooHtml;
      else if (has(v, "Edreyfus"))
        c.HistoryQuoteServer = kHistoryEdreyfus;
      break;
    case 6:
      c.YahooHistoryQuoteURL = cut(v, kUrlCapacity);
      break;
    case 7:
      c.YahooHistoryQuoteSpreadSheetURL = cut(v, kUrlCapacity);
      break;
    case 8:
      c.YahooRealTimeQuoteSpreadSheetURL = cut(v, kUrlCapacity);
      break;
    case 9:
      c.ShowVolume = flagOf(v);
      break;
    case 10:
      c.ShowMA = flagOf(v);
      break;
    case 11:
      c.ShowBS = flagOf(v);
      break;
    case 12:
      c.ShowRSI = flagOf(v);
      break;
    case 13:
      c.TrendChangeConfirmDays = std::atoi(v.c_str());
      break;
    case 14:
      c.ThresholdToEMA10 = std::atof(v.c_str());
      break;
    case 15:
      c.ThreadLoadQuoteNum = std::atoi(v.c_str());
      break;
    case 16:
      c.QuoteInterval = std::atoi(v.c_str());
      break;
    case 17:
      c.bCheckVolume = flagOf(v);
      break;
    case 18:
      c.bCheckRSI = flagOf(v);
      break;
    case 19:
      c.bCheckStochastics = flagOf(v);
      break;
    default:
      break;
  }
}

// Editors on many systems start a UTF-8 file with a byte-order mark; it is
// not part of the first key.
void skipByteOrderMark(std::FILE* f) {
  unsigned char head[3] = {};
  const std::size_t n = std::fread(head, 1, sizeof head, f);
  if (n == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) return;
  std::rewind(f);
}

// Index into kKeys of the key a line sets, or -1.
int keyOf(const std::string& line) {
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    if (line.compare(0, std::strlen(kKeys[i].name), kKeys[i].name) == 0) return static_cast<int>(i);
  }
  return -1;
}

void applyLine(SystemConfig& config, const std::string& line) {
  if (line.empty()) return;
  const int key = keyOf(line);
  if (key >= 0) store(config, static_cast<std::size_t>(key), line.substr(std::strlen(kKeys[key].name)));
}

const char* yesNo(int flag) { return flag ? "Yes" : "No"; }

}  // namespace

SystemConfig& systemConfig() {
  static SystemConfig config;
  return config;
}

std::string DefaultQuoteUrl(const char* path) {
  char text[kUrlCapacity + 1];
  std::snprintf(text, sizeof text, "http://%s:%d%s", kDefaultQuoteHost, kDefaultQuotePort, path);
  return text;
}

void SetConfigDefaults(SystemConfig& config) {
  config = SystemConfig{};
  config.YahooHistoryQuoteURL = DefaultQuoteUrl("/q/hp");
  config.YahooHistoryQuoteSpreadSheetURL = DefaultQuoteUrl("/table.csv");
  config.YahooRealTimeQuoteSpreadSheetURL = DefaultQuoteUrl("/d/quotes.csv");
  applyEditorDefault(config);
}

bool ReadConfig(SystemConfig& config, const std::string& path) {
  SetConfigDefaults(config);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  skipByteOrderMark(f);
  // LF is dropped wherever it stands; CR ends a line; text after the last CR
  // is never used. The line buffer holds 255 characters: longer lines are cut.
  std::string line;
  line.reserve(kLineCapacity);
  int ch;
  while ((ch = std::fgetc(f)) != EOF) {
    if (ch == '\n') continue;
    if (ch == '\r') {
      applyLine(config, line);
      line.clear();
      continue;
    }
    if (line.size() < kLineCapacity) line.push_back(static_cast<char>(ch));
  }
  std::fclose(f);
  applyEditorDefault(config);
  return true;
}

std::string FormatConfig(const SystemConfig& c) {
  char text[2048];
  const char* e = "\r\n";
  std::snprintf(text, sizeof text,
                "%s"
                "Editor=%s%s"
                "%s"
                "ScreenWidth=%d%s"
                "ScreenHeight=%d%s"
                "%s"
                "StartRealTimeQuoteLoader=%s%s"
                "%s"
                "ShowVolume=%s%s"
                "ShowMA=%s%s"
                "ShowBS=%s%s"
                "ShowRSI=%s%s"
                "%s"
                "QuoteInterval=%d%s"
                "%s"
                "TrendChangeConfirmDays=%d%s"
                "%s"
                "ThresholdToEMA10=%.2lf%s"
                "%s"
                "ThreadLoadQuoteNum=%d%s"
                "bCheckVolume=%s%s"
                "bCheckRSI=%s%s"
                "bCheckStochastics=%s%s",
                e, cut(c.Editor, kEditorCapacity).c_str(), e, e, c.ScreenWidth, e, c.ScreenHeight, e, e,
                yesNo(c.StartRealTimeQuoteLoader), e, e, yesNo(c.ShowVolume), e, yesNo(c.ShowMA), e,
                yesNo(c.ShowBS), e, yesNo(c.ShowRSI), e, e, c.QuoteInterval, e, e, c.TrendChangeConfirmDays,
                e, e, c.ThresholdToEMA10, e, e, c.ThreadLoadQuoteNum, e, yesNo(c.bCheckVolume), e,
                yesNo(c.bCheckRSI), e, yesNo(c.bCheckStochastics), e);
  return text;
}

namespace {

// The lines the writer owns, each with its current value, in the order of a
// fresh file. The three quote-service addresses are owned too, but only
// written where the file names them or where they differ from the defaults,
// so a file that never named them keeps its usual lines.
struct OwnedLine {
  int key;  // index into kKeys
  std::string text;
  bool optional;
};

std::vector<OwnedLine> ownedLines(const SystemConfig& c) {
  char number[64];
  auto line = [](int key, const std::string& value, bool optional = false) {
    return OwnedLine{key, std::string(kKeys[key].name) + value, optional};
  };
  auto integer = [&number](int value) {
    std::snprintf(number, sizeof number, "%d", value);
    return std::string(number);
  };
  SystemConfig defaults;
  SetConfigDefaults(defaults);
  std::snprintf(number, sizeof number, "%.2lf", c.ThresholdToEMA10);
  const std::string threshold = number;
  return {
      line(0, cut(c.Editor, kEditorCapacity)),
      line(1, integer(c.ScreenWidth)),
      line(2, integer(c.ScreenHeight)),
      line(3, yesNo(c.StartRealTimeQuoteLoader)),
      line(9, yesNo(c.ShowVolume)),
      line(10, yesNo(c.ShowMA)),
      line(11, yesNo(c.ShowBS)),
      line(12, yesNo(c.ShowRSI)),
      line(16, integer(c.QuoteInterval)),
      line(13, integer(c.TrendChangeConfirmDays)),
      line(14, threshold),
      line(15, integer(c.ThreadLoadQuoteNum)),
      line(17, yesNo(c.bCheckVolume)),
      line(18, yesNo(c.bCheckRSI)),
      line(19, yesNo(c.bCheckStochastics)),
      line(6, cut(c.YahooHistoryQuoteURL, kUrlCapacity),
           c.YahooHistoryQuoteURL == defaults.YahooHistoryQuoteURL),
      line(7, cut(c.YahooHistoryQuoteSpreadSheetURL, kUrlCapacity),
           c.YahooHistoryQuoteSpreadSheetURL == defaults.YahooHistoryQuoteSpreadSheetURL),
      line(8, cut(c.YahooRealTimeQuoteSpreadSheetURL, kUrlCapacity),
           c.YahooRealTimeQuoteSpreadSheetURL == defaults.YahooRealTimeQuoteSpreadSheetURL),
  };
}

// The lines of an existing file: ended by CR, LF or CR LF (a file edited on
// another system keeps its lines), a last line without an end included.
std::vector<std::string> splitLines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\r' || ch == '\n') {
      lines.push_back(line);
      line.clear();
      if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line.push_back(ch);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool readWhole(const std::string& path, std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

}  // namespace

std::string MergeConfig(std::string_view existing, const SystemConfig& config) {
  const std::vector<OwnedLine> owned = ownedLines(config);
  std::vector<bool> written(owned.size(), false);
  std::string text;
  for (const std::string& line : splitLines(existing)) {
    const int key = keyOf(line);
    const auto own =
        std::find_if(owned.begin(), owned.end(), [key](const OwnedLine& o) { return o.key == key; });
    if (key >= 0 && own != owned.end()) {
      text += own->text;
      written[static_cast<std::size_t>(own - owned.begin())] = true;
    } else {
      text += line;
    }
    text += "\r\n";
  }
  for (std::size_t i = 0; i < owned.size(); ++i) {
    if (written[i] || owned[i].optional) continue;
    text += owned[i].text;
    text += "\r\n";
  }
  return text;
}

bool WriteConfig(const SystemConfig& config, const std::string& path) {
  // Lines the writer does not own (comments, the service choices, keys of
  // newer versions) stay where they are; a new or empty file gets the
  // usual layout.
  std::string existing;
  if (readWhole(path, existing) && existing.find_first_not_of("\r\n") != std::string::npos)
    return WriteFileAtomically(path, MergeConfig(existing, config));
  return WriteFileAtomically(path, FormatConfig(config));
}

namespace {
int loadShared(const int& field) {
  return std::atomic_ref<int>(const_cast<int&>(field)).load(std::memory_order_relaxed);
}
}  // namespace

void StoreSharedSetting(int& field, int value) {
  std::atomic_ref<int>(field).store(value, std::memory_order_relaxed);
}

int EffectiveThreadCount(const SystemConfig& config) { return std::clamp(config.ThreadLoadQuoteNum, 1, 16); }
int EffectiveConfirmDays(const SystemConfig& config) {
  return std::clamp(loadShared(config.TrendChangeConfirmDays), 0, 5);
}
int EffectiveQuoteIntervalSeconds(const SystemConfig& config) {
  return std::clamp(loadShared(config.QuoteInterval), 0, kMaxQuoteIntervalSeconds);
}

}  // namespace velmora
