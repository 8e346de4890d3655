#include "base/system_config.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

#include "base/app_identity.h"
#include "base/atomic_file.h"
#include "base/log.h"
#include "base/text_helpers.h"

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

bool has(const std::string& value, const char* word) { return value.find(word) != std::string::npos; }

// How a key's value is read and written.
enum class Kind {
  kText,            // copied as it is, cut to `capacity`
  kUrl,             // text whose default is the stand-in service's address with `path`
  kChoice,          // text with a fixed default (`defaultPath`), cut to `capacity`
  kInt,             // the leading integer, as atoi reads it
  kDouble,          // the leading number, as atof reads it; written "%.2lf"
  kFlag,            // on when the value contains "Yes"; written "Yes" / "No"
  kRealTimeServer,  // "MyTrack" / "Yahoo"
  kHistoryServer,   // "Yahoo_Spread_Sheet" / "Yahoo_Html" / "Edreyfus"
};

// When the writer puts a key into the file.
enum class Written {
  kAlways,     // one of the lines of a new file; updated where it stands
  kIfChanged,  // updated where it stands; added only when it is not its default
  kNever,      // read only: its line stays as the user wrote it
};

// One setting: its key, where it lives, how it reads and writes, its
// default and the range it is kept to where it is used.
struct Key {
  const char* name;  // including its "="
  Kind kind;
  Written written;
  bool blankBefore;  // an empty line before it in a new file
  std::string SystemConfig::*text;
  int SystemConfig::*integer;
  double SystemConfig::*number;
  double defaultValue;      // numbers and flags
  const char* defaultPath;  // URLs
  std::size_t capacity;     // texts
  int low;                  // kept to [low, high] where used; both 0 when unlimited
  int high;
};

constexpr Key text(const char* name, std::string SystemConfig::*field, std::size_t capacity, bool blank) {
  return {name, Kind::kText, Written::kAlways, blank, field, nullptr, nullptr, 0, nullptr, capacity, 0, 0};
}
constexpr Key url(const char* name, std::string SystemConfig::*field, const char* path) {
  return {name, Kind::kUrl, Written::kIfChanged, false, field, nullptr, nullptr, 0, path, kUrlCapacity, 0, 0};
}
// A text with a default of its own that a new file leaves out while it is
// at that default: the market-data provider settings.
constexpr Key choice(const char* name, std::string SystemConfig::*field, const char* value) {
  return {name, Kind::kChoice, Written::kIfChanged, false, field, nullptr, nullptr,
          0,    value,         kUrlCapacity,        0,     0};
}
constexpr Key integer(const char* name, int SystemConfig::*field, int value, bool blank, int low = 0,
                      int high = 0) {
  return {name,    Kind::kInt,    Written::kAlways, blank, nullptr, field,
          nullptr, double(value), nullptr,          0,     low,     high};
}
// A number a new file leaves out while it is at its default, like the
// addresses: files keep their usual layout until the user changes it.
constexpr Key optionalInteger(const char* name, int SystemConfig::*field, int value, int low, int high) {
  return {name, Kind::kInt, Written::kIfChanged, false, nullptr, field, nullptr, double(value), nullptr, 0,
          low,  high};
}
constexpr Key number(const char* name, double SystemConfig::*field, double value, bool blank) {
  return {name, Kind::kDouble, Written::kAlways, blank, nullptr, nullptr, field, value, nullptr, 0, 0, 0};
}
constexpr Key flag(const char* name, int SystemConfig::*field, bool blank) {
  return {name, Kind::kFlag, Written::kAlways, blank, nullptr, field, nullptr, 1, nullptr, 0, 0, 0};
}
// A switch a new file leaves out while it is at its default.
constexpr Key optionalFlag(const char* name, int SystemConfig::*field, int value) {
  return {
      name, Kind::kFlag, Written::kIfChanged, false, nullptr, field, nullptr, double(value), nullptr, 0, 0,
      0};
}
constexpr Key server(const char* name, Kind kind, int SystemConfig::*field) {
  return {name, kind, Written::kNever, false, nullptr, field, nullptr, 0, nullptr, 0, 0, 0};
}

// Every key of Config.ini, in the order of a new file. No name is the
// beginning of another, so the order does not decide which key a line sets.
constexpr Key kKeys[] = {
    text("Editor=", &SystemConfig::Editor, kEditorCapacity, true),
    integer("ScreenWidth=", &SystemConfig::ScreenWidth, 0, true),
    integer("ScreenHeight=", &SystemConfig::ScreenHeight, 0, false),
    flag("StartRealTimeQuoteLoader=", &SystemConfig::StartRealTimeQuoteLoader, true),
    flag("ShowVolume=", &SystemConfig::ShowVolume, true),
    flag("ShowMA=", &SystemConfig::ShowMA, false),
    flag("ShowBS=", &SystemConfig::ShowBS, false),
    flag("ShowRSI=", &SystemConfig::ShowRSI, false),
    integer("QuoteInterval=", &SystemConfig::QuoteInterval, 0, true, 0, kMaxQuoteIntervalSeconds),
    integer("TrendChangeConfirmDays=", &SystemConfig::TrendChangeConfirmDays, 2, true, 0, 5),
    number("ThresholdToEMA10=", &SystemConfig::ThresholdToEMA10, 20.0, true),
    integer("ThreadLoadQuoteNum=", &SystemConfig::ThreadLoadQuoteNum, 1, true, 1, 16),
    flag("bCheckVolume=", &SystemConfig::bCheckVolume, false),
    flag("bCheckRSI=", &SystemConfig::bCheckRSI, false),
    flag("bCheckStochastics=", &SystemConfig::bCheckStochastics, false),
    url("YahooHistoryQuoteURL=", &SystemConfig::YahooHistoryQuoteURL, "/q/hp"),
    url("YahooHistoryQuoteSpreadSheetURL=", &SystemConfig::YahooHistoryQuoteSpreadSheetURL, "/table.csv"),
    url("YahooRealTimeQuoteSpreadSheetURL=", &SystemConfig::YahooRealTimeQuoteSpreadSheetURL,
        "/d/quotes.csv"),
    optionalInteger("MaxConnectionsPerHost=", &SystemConfig::MaxConnectionsPerHost,
                    kDefaultMaxConnectionsPerHost, 1, 16),
    optionalFlag("bCheckBacktest=", &SystemConfig::bCheckBacktest, 0),
    choice("HistoryProvider=", &SystemConfig::HistoryProvider, kClassicProviderName),
    choice("QuoteProvider=", &SystemConfig::QuoteProvider, kClassicProviderName),
    choice("FallbackProviders=", &SystemConfig::FallbackProviders, ""),
    choice("YahooChartURL=", &SystemConfig::YahooChartURL, kDefaultYahooChartUrl),
    choice("TiingoURL=", &SystemConfig::TiingoURL, kDefaultTiingoUrl),
    choice("FinnhubURL=", &SystemConfig::FinnhubURL, kDefaultFinnhubUrl),
    choice("YahooUserAgent=", &SystemConfig::YahooUserAgent, kDefaultYahooUserAgent),
    choice("AlertCommand=", &SystemConfig::AlertCommand, ""),
    choice("AlertsJsonl=", &SystemConfig::AlertsJsonl, ""),
    choice("Web=", &SystemConfig::Web, ""),
    optionalInteger("LogMaxSizeMB=", &SystemConfig::LogMaxSizeMB, kDefaultLogMaxSizeMB, 0, kMaxLogMaxSizeMB),
    optionalFlag("OpenStartPage=", &SystemConfig::OpenStartPage, 1),
    server("RealTimeQuoteServer=", Kind::kRealTimeServer, &SystemConfig::RealTimeQuoteServer),
    server("HistoryQuoteServer=", Kind::kHistoryServer, &SystemConfig::HistoryQuoteServer),
};

const Key* keyOf(const std::string& line) {
  for (const Key& key : kKeys)
    if (line.compare(0, std::strlen(key.name), key.name) == 0) return &key;
  return nullptr;
}

const Key& keyOfField(const int SystemConfig::*field) {
  for (const Key& key : kKeys)
    if (key.integer == field) return key;
  return kKeys[0];  // every caller names a field of the table
}

void setDefault(SystemConfig& c, const Key& key) {
  switch (key.kind) {
    case Kind::kText:
      c.*key.text = std::string();
      break;
    case Kind::kUrl:
      c.*key.text = DefaultQuoteUrl(key.defaultPath);
      break;
    case Kind::kChoice:
      c.*key.text = key.defaultPath;
      break;
    case Kind::kDouble:
      c.*key.number = key.defaultValue;
      break;
    default:
      c.*key.integer = static_cast<int>(key.defaultValue);
      break;
  }
}

// A switch reads "Yes" or "No" as the program writes it, and also 1/0,
// true/false and on/off in any case; any other value containing "Yes" is on
// (older files wrote words after it). -1: none of these.
int readSwitch(const std::string& v) {
  const std::string word = AsciiLowerCase(TrimWhiteSpace(v));
  for (const char* on : {"yes", "1", "true", "on"})
    if (word == on) return 1;
  for (const char* off : {"no", "0", "false", "off"})
    if (word == off) return 0;
  return has(v, "Yes") ? 1 : -1;
}

bool startsWithInteger(const std::string& v) {
  std::size_t i = v.find_first_not_of(" \t");
  if (i != std::string::npos && (v[i] == '+' || v[i] == '-')) ++i;
  return i != std::string::npos && i < v.size() && v[i] >= '0' && v[i] <= '9';
}

bool startsWithNumber(const std::string& v) {
  char* end = nullptr;
  (void)std::strtod(v.c_str(), &end);
  return end != v.c_str();
}

// Stores the value of `key`; false when it could not be read (the value
// then reads as 0, or as off, as the program always read such values).
bool store(SystemConfig& c, const Key& key, const std::string& v) {
  switch (key.kind) {
    case Kind::kText:
    case Kind::kUrl:
    case Kind::kChoice:
      c.*key.text = cut(v, key.capacity);
      break;
    case Kind::kInt:
      c.*key.integer = std::atoi(v.c_str());
      return startsWithInteger(v);
    case Kind::kDouble:
      c.*key.number = std::atof(v.c_str());
      return startsWithNumber(v);
    case Kind::kFlag: {
      const int on = readSwitch(v);
      c.*key.integer = on == 1 ? 1 : 0;
      return on >= 0;
    }
    case Kind::kRealTimeServer:
      if (has(v, "MyTrack"))
        c.*key.integer = kRealTimeMyTrack;
      else if (has(v, "Yahoo"))
        c.*key.integer = kRealTimeYahoo;
      break;
    case Kind::kHistoryServer:
      if (has(v, "Yahoo_Spread_Sheet"))
        c.*key.integer = kHistoryYahooSpreadSheet;
      else if (has(v, "Yahoo_Html"))
        c.*key.integer = kHistoryYahooHtml;
      else if (has(v, "Edreyfus"))
        c.*key.integer = kHistoryEdreyfus;
      break;
  }
  return true;
}

// "Key=value" with the current value, as the writer puts it.
std::string formatLine(const SystemConfig& c, const Key& key) {
  char value[64] = "";
  switch (key.kind) {
    case Kind::kText:
    case Kind::kUrl:
    case Kind::kChoice:
      return std::string(key.name) + cut(c.*key.text, key.capacity);
    case Kind::kInt:
      std::snprintf(value, sizeof value, "%d", c.*key.integer);
      break;
    case Kind::kDouble:
      std::snprintf(value, sizeof value, "%.2lf", c.*key.number);
      break;
    case Kind::kFlag:
      std::snprintf(value, sizeof value, "%s", c.*key.integer ? "Yes" : "No");
      break;
    default:  // the service choices are never written
      break;
  }
  return std::string(key.name) + value;
}

bool atDefault(const SystemConfig& c, const Key& key) {
  SystemConfig defaults;
  setDefault(defaults, key);
  return key.text != nullptr ? c.*key.text == defaults.*key.text
                             : formatLine(c, key) == formatLine(defaults, key);
}

// What a line that could not be used says in the log, or "" for a line
// that is fine (or blank, or a comment starting with '#' or ';').
std::string applyLine(SystemConfig& config, const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos || line[first] == '#' || line[first] == ';') return std::string();
  const Key* key = keyOf(line);
  if (key == nullptr) return "\"" + line + "\" names no setting; the line is ignored.";
  if (store(config, *key, line.substr(std::strlen(key->name)))) return std::string();
  switch (key->kind) {
    case Kind::kFlag:
      return "\"" + line + "\" is not Yes or No; read as No.";
    default:
      return "\"" + line + "\" is not a number; read as 0.";
  }
}

// Each problem of a file is logged once however often the file is read
// (start-up reads it more than once).
void logOnce(const std::string& text) {
  static std::mutex lock;
  static std::set<std::string> logged;
  std::lock_guard<std::mutex> hold(lock);
  if (logged.insert(text).second) LogMessage(text);
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

// The line end most lines of `text` have (CR LF, LF or CR), so a save keeps
// the file as its editor wrote it; CR LF for a file of one line without one.
const char* lineEndOf(std::string_view text) { return DominantLineEnd(text, "\r\n"); }

int loadShared(const int& field) {
  return std::atomic_ref<int>(const_cast<int&>(field)).load(std::memory_order_relaxed);
}

// A setting kept inside the range its key gives, where it is used.
int effective(const SystemConfig& config, int SystemConfig::*field) {
  const Key& key = keyOfField(field);
  return std::clamp(loadShared(config.*field), key.low, key.high);
}

// Defaults, then every line of the file, whatever ends its lines (CR LF, LF
// or CR; the last line counts without an end). A line longer than 255
// characters is cut there. `report` logs, once each, the lines that name
// no setting or hold a value that cannot be read, with their numbers.
bool readConfig(SystemConfig& config, const std::string& path, bool report) {
  SetConfigDefaults(config);
  std::string text;
  if (!ReadWholeFile(path, text)) {
    // A file that exists but cannot be read is no missing file: say so.
    if (report && !text.empty()) logOnce(path + ": can not be read to its end; the rest keeps its defaults.");
    if (text.empty()) return false;
  }
  int number = 0;
  for (std::string line : splitLines(text)) {
    ++number;
    if (line.size() > kLineCapacity) line.resize(kLineCapacity);
    const std::string problem = applyLine(config, line);
    if (report && !problem.empty()) logOnce(path + " line " + std::to_string(number) + ": " + problem);
  }
  applyEditorDefault(config);
  return true;
}

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
  for (const Key& key : kKeys) setDefault(config, key);
  applyEditorDefault(config);
}

bool ReadConfig(SystemConfig& config, const std::string& path) { return readConfig(config, path, true); }

std::string FormatConfig(const SystemConfig& config) {
  std::string text;
  for (const Key& key : kKeys) {
    if (key.written == Written::kNever || (key.written == Written::kIfChanged && atDefault(config, key)))
      continue;
    if (key.blankBefore) text += "\r\n";
    text += formatLine(config, key) + "\r\n";
  }
  return text;
}

std::string MergeConfig(std::string_view existing, const SystemConfig& config) {
  const char* const end = lineEndOf(existing);
  std::vector<const Key*> written;
  std::string text;
  for (const std::string& line : splitLines(existing)) {
    const Key* key = keyOf(line);
    if (key != nullptr && key->written != Written::kNever) {
      text += formatLine(config, *key);
      written.push_back(key);
    } else {
      text += line;
    }
    text += end;
  }
  for (const Key& key : kKeys) {
    if (key.written == Written::kNever || std::find(written.begin(), written.end(), &key) != written.end())
      continue;
    if (key.written == Written::kIfChanged && atDefault(config, key)) continue;
    text += formatLine(config, key) + end;
  }
  return text;
}

bool WriteConfig(const SystemConfig& config, const std::string& path) {
  // Lines the writer does not own (comments, the service choices, keys of
  // newer versions) stay where they are; a new or empty file gets the
  // usual layout.
  std::string existing;
  if (ReadWholeFile(path, existing) && existing.find_first_not_of("\r\n") != std::string::npos)
    return WriteFileAtomically(path, MergeConfig(existing, config));
  return WriteFileAtomically(path, FormatConfig(config));
}

void StoreSharedSetting(int& field, int value) {
  std::atomic_ref<int>(field).store(value, std::memory_order_relaxed);
}

int EffectiveThreadCount(const SystemConfig& config) {
  return effective(config, &SystemConfig::ThreadLoadQuoteNum);
}
int EffectiveConfirmDays(const SystemConfig& config) {
  return effective(config, &SystemConfig::TrendChangeConfirmDays);
}
int EffectiveQuoteIntervalSeconds(const SystemConfig& config) {
  return effective(config, &SystemConfig::QuoteInterval);
}
int EffectiveMaxConnectionsPerHost(const SystemConfig& config) {
  return effective(config, &SystemConfig::MaxConnectionsPerHost);
}

int EffectiveLogMaxSizeMB(const SystemConfig& config) {
  return effective(config, &SystemConfig::LogMaxSizeMB);
}

void ApplyLogSizeSetting(const SystemConfig& config) {
  std::int64_t bytes = std::int64_t{EffectiveLogMaxSizeMB(config)} * 1024 * 1024;
  if (const char* text = envValue(kLogMaxBytesVariable)) {
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (*end == '\0' && value >= 0) bytes = value;
  }
  SetLogMaxBytes(bytes);
}

void ApplyConfiguredLogSize() {
  SystemConfig settings;
  (void)readConfig(settings, kConfigFileName, false);  // no file: the default limit; the start-up reports
  ApplyLogSizeSetting(settings);
}

}  // namespace velmora
