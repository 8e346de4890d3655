#include "monitor/security_list.h"

#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "monitor/loader_pool.h"
#include "monitor/symbol_check.h"

namespace velmora {

const char* const kDefaultSecurityList[24] = {
    "^DJI       -- Dow Jones Industrial Average Index",
    "^GSPC      -- S&P 500 Index",
    "^IXIC      -- NASDAQ Composite",
    "^NDX       -- NASDAQ-100 (DRM)",
    "^GSPTSE    -- S&P/TSX Composite Index",
    "^FTSE      -- FTSE 100 Index",
    "^CDAXX     -- DAX - Composite",
    "^FCHI      -- CAC 40 Index",
    "^MTMS      -- MOS Times Index",
    "^AORD      -- All Ordinaries",
    "^N225      -- NIKKEI 225 Index",
    "^HSI       -- HANG SENG Index",
    "^TWII      -- TSEC Weighted Index",
    "^STI       -- Straits Times Index",
    "^KS11      -- KOSPI Composite Index",
    "^BSESN     -- BSE SENSITIVE",
    "^SSEC      -- SSE Composite",
    "MSFT       -- Microsoft Corporation",
    "IBM        -- International Business Machine",
    "RIM.TO     -- Research In Motion Limited",
    "0001.HK    -- Cheung Kong",
    "600988.SS  -- Bao Long Vechicle",
    "ABU.L      -- Abacus Group",
    "ADCG.DE    -- AdCapital AG",
};

namespace {

constexpr int kLineCapacity = 512;  // 511 characters and the end
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

bool writeDefaultList(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  bool ok = true;
  for (const char* line : kDefaultSecurityList) ok = std::fprintf(f, "%s\n", line) > 0 && ok;
  return std::fclose(f) == 0 && ok;
}

// The list file for reading; a missing one is created with the default list
// first. Tried once: a folder where it can be neither read nor created
// would otherwise hold start-up for ever.
std::FILE* openList(const std::string& path) {
  if (std::FILE* f = std::fopen(path.c_str(), "r")) return f;
  if (writeDefaultList(path))
    if (std::FILE* f = std::fopen(path.c_str(), "r")) return f;
  LogFormat("Can not open or create the security list '%s'; no security is monitored.", path.c_str());
  return nullptr;
}

void addSymbol(SecurityStore& store, const char* symbol, int realTimeServer) {
  if (std::strlen(symbol) > static_cast<std::size_t>(kMaxSymbolLength)) {
    LogFormat("Symbol '%s' is longer than %d characters and is not monitored.",
              PrintableSymbol(symbol).c_str(), kMaxSymbolLength);
    return;
  }
  if (!IsFileSafeSymbol(symbol)) {
    LogFormat("Symbol '%s' can not name a file in this folder and is not monitored.",
              PrintableSymbol(symbol).c_str());
    return;
  }
  SecurityData data;
  // The store keeps the first 512 securities; the reader stops at that count.
  if (InitSecurityEntry(data, symbol, realTimeServer)) (void)store.Append(data);
}

}  // namespace

int ReadSecurityList(SecurityStore& store, const std::string& path, int realTimeServer) {
  store.Clear();
  std::FILE* f = openList(path);
  if (f == nullptr) return 0;
  char line[kLineCapacity];
  char symbol[kLineCapacity];
  bool firstRead = true;
  while (!std::feof(f) && store.count() < kMaxSecurities) {
    if (std::fgets(line, sizeof line, f) == nullptr || std::feof(f)) break;
    // Editors on many systems start a UTF-8 file with a byte-order mark; it
    // is not part of the first symbol.
    const char* text = line;
    if (firstRead && std::strncmp(line, kByteOrderMark, 3) == 0) text += 3;
    firstRead = false;
    if (std::sscanf(text, "%511s", symbol) != 1) continue;
    addSymbol(store, symbol, realTimeServer);
  }
  std::fclose(f);
  return store.count();
}

int LoadSecurityList(SecurityStore& store, LoaderPool& pool, const SystemConfig& config) {
  const int count = ReadSecurityList(store, kSecurityListFileName, config.RealTimeQuoteServer);
  pool.AssignSecurityRanges(count, EffectiveThreadCount(config));
  return count;
}

int LoadSecurityList() { return LoadSecurityList(securityStore(), loaderPool(), systemConfig()); }

}  // namespace velmora
