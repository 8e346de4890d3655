#include "base/system_config.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

void applyLine(SystemConfig& config, const std::string& line) {
  if (line.empty()) return;
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    const std::size_t len = std::strlen(kKeys[i].name);
    if (line.compare(0, len, kKeys[i].name) == 0) {
      store(config, i, line.substr(len));
      return;
    }
  }
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

bool WriteConfig(const SystemConfig& config, const std::string& path) {
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
  return std::max(loadShared(config.QuoteInterval), 0);
}

}  // namespace velmora
