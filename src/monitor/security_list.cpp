#include "monitor/security_list.h"

#include <cstdio>
#include <cstring>

#include "base/atomic_file.h"
#include "base/log.h"
#include "monitor/list_file.h"

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

bool writeDefaultList(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  bool ok = true;
  for (const char* line : kDefaultSecurityList) ok = std::fprintf(f, "%s\n", line) > 0 && ok;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

bool ReadSecurityListText(const std::string& path, std::string& text) {
  text.clear();
  if (ReadWholeFile(path, text)) return true;
  // A missing list is created with the default list first. Tried once: a
  // folder where it can be neither read nor created would otherwise hold
  // start-up for ever.
  text.clear();
  if (writeDefaultList(path) && ReadWholeFile(path, text)) return true;
  LogFormat("Can not open or create the security list '%s'; no security is monitored.", path.c_str());
  text.clear();
  return false;
}

int ReadSecurityList(SecurityStore& store, const std::string& path, int realTimeServer) {
  store.Clear();
  std::string text;
  if (!ReadSecurityListText(path, text)) return 0;
  for (const ListedLine& line : ListedLines(text)) {
    // The store keeps the first 512 securities.
    if (store.count() >= kMaxSecurities) break;
    if (!AcceptableListSymbol(line.symbol, true)) continue;
    SecurityData data;
    if (InitSecurityEntry(data, line.symbol.c_str(), realTimeServer)) (void)store.Append(data);
  }
  return store.count();
}

}  // namespace velmora
