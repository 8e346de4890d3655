#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Transfers in flight to one host:port across the process unless
// MaxConnectionsPerHost says otherwise: enough for a loader pool, few enough
// that 16 threads do not hammer one real service.
inline constexpr int kDefaultMaxConnectionsPerHost = 8;

// The log is rotated past this many megabytes unless LogMaxSizeMB says
// otherwise (0: never).
inline constexpr int kDefaultLogMaxSizeMB = 10;

// The process-wide settings; each field is named like its Config.ini key.
// Flags are 0/1.
struct SystemConfig {
  std::string Editor;  // at most 259 characters
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int StartRealTimeQuoteLoader = 1;
  int RealTimeQuoteServer = 0;                   // 0 "Yahoo", 1 "MyTrack"
  int HistoryQuoteServer = 0;                    // 0 "Yahoo_Spread_Sheet", 1 "Yahoo_Html", 2 "Edreyfus"
  std::string YahooHistoryQuoteURL;              // at most 255 characters
  std::string YahooHistoryQuoteSpreadSheetURL;   // at most 255 characters
  std::string YahooRealTimeQuoteSpreadSheetURL;  // at most 255 characters
  int ShowVolume = 1;
  int ShowMA = 1;
  int ShowBS = 1;
  int ShowRSI = 1;
  int TrendChangeConfirmDays = 2;
  double ThresholdToEMA10 = 20.0;
  int ThreadLoadQuoteNum = 1;
  int QuoteInterval = 0;
  int bCheckVolume = 1;
  int bCheckRSI = 1;
  int bCheckStochastics = 1;
  int MaxConnectionsPerHost = kDefaultMaxConnectionsPerHost;
  int bCheckBacktest = 0;  // the chart sheet's back-test trades switch
  // The market-data providers (names as ProviderName gives them) and their
  // addresses; keys never go into the file. FallbackProviders is an ordered
  // comma list.
  std::string HistoryProvider;
  std::string QuoteProvider;
  std::string FallbackProviders;
  std::string YahooChartURL;
  std::string TiingoURL;
  std::string FinnhubURL;
  std::string YahooUserAgent;
  // Alerts: a command run for each alert (split into arguments, no shell)
  // and a file appended one JSON object per alert; empty: none.
  std::string AlertCommand;
  std::string AlertsJsonl;
  // velmora-monitor's web view: "[ADDR:]PORT" where it listens; empty: off.
  std::string Web;
  int LogMaxSizeMB = kDefaultLogMaxSizeMB;
  // The desktop program opens the web chart page in the browser at start.
  int OpenStartPage = 1;
};

inline constexpr const char* kClassicProviderName = "Classic";
inline constexpr const char* kDefaultYahooChartUrl = "https://query2.finance.yahoo.com";
inline constexpr const char* kDefaultTiingoUrl = "https://api.tiingo.com";
inline constexpr const char* kDefaultFinnhubUrl = "https://finnhub.io";
// A current browser's User-Agent: Yahoo answers 429 to clients it does not know.
inline constexpr const char* kDefaultYahooUserAgent =
    "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/142.0.0.0 Safari/537.36";

enum RealTimeServer { kRealTimeYahoo = 0, kRealTimeMyTrack = 1 };
enum HistoryServer { kHistoryYahooSpreadSheet = 0, kHistoryYahooHtml = 1, kHistoryEdreyfus = 2 };

// The one record every part of the program reads. Only the user-interface
// thread changes it (and start-up, before any loader thread exists).
SystemConfig& systemConfig();

inline constexpr const char* kConfigFileName = "Config.ini";

// Every default, including the editor rule.
void SetConfigDefaults(SystemConfig& config);

// Defaults, then the file; false when it cannot be opened (defaults stay).
// Lines end at CR LF, LF or CR. Switches read Yes/No, 1/0, true/false or
// on/off in any case (and are written Yes/No). A line that names no setting,
// or a value that cannot be read, is logged once with its line number;
// blank lines and comments ('#' or ';' first) are not.
[[nodiscard]] bool ReadConfig(SystemConfig& config, const std::string& path = kConfigFileName);

// Saves the settings through a temporary file in the same folder renamed
// over the old one, so a failed save never loses it. A new file gets the
// 23-line CRLF text; an existing one keeps every line the writer does not
// own, in place, and gets the current value on each line it owns, every
// line ended as most of its lines were (LF for a file from a Linux editor).
[[nodiscard]] bool WriteConfig(const SystemConfig& config, const std::string& path = kConfigFileName);

// The text of a new file.
std::string FormatConfig(const SystemConfig& config);

// The text that replaces `existing`.
std::string MergeConfig(std::string_view existing, const SystemConfig& config);

// Values read from the file are not range-checked; users of these
// settings go through these, which keep them inside their ranges (the
// dialog's, for those it edits).
// Loader threads read QuoteInterval and TrendChangeConfirmDays while the
// user-interface thread may change them: these read them atomically, and
// the user-interface thread changes them with StoreSharedSetting.
int EffectiveThreadCount(const SystemConfig& config);            // 1..16
int EffectiveConfirmDays(const SystemConfig& config);            // 0..5
int EffectiveQuoteIntervalSeconds(const SystemConfig& config);   // 0..kMaxQuoteIntervalSeconds
int EffectiveMaxConnectionsPerHost(const SystemConfig& config);  // 1..16
int EffectiveLogMaxSizeMB(const SystemConfig& config);           // 0..kMaxLogMaxSizeMB
inline constexpr int kMaxLogMaxSizeMB = 4096;

// A test may make the log rotate after a few bytes instead of megabytes:
// this variable, when set to a whole number, is the limit in bytes and wins
// over LogMaxSizeMB.
inline constexpr const char* kLogMaxBytesVariable = "VELMORA_LOG_MAX_BYTES";

// The log's size limit from LogMaxSizeMB of `config` (or the variable above).
void ApplyLogSizeSetting(const SystemConfig& config);

// The same from the Config.ini of the current folder, read on its own so
// the limit holds from a program's very first log line, before the
// process-wide settings are read.
void ApplyConfiguredLogSize();

// A file may ask for any pause; more than a day between two passes is
// taken as one day.
inline constexpr int kMaxQuoteIntervalSeconds = 86400;

// Replaces an int setting that loader threads read while they run.
void StoreSharedSetting(int& field, int value);

// "http://127.0.0.1:<port><path>" for the stand-in quote service.
std::string DefaultQuoteUrl(const char* path);

}  // namespace velmora
