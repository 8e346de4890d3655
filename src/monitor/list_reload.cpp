#include "monitor/list_reload.h"

#include <map>
#include <memory>
#include <utility>

#include "base/atomic_file.h"
#include "base/log.h"
#include "monitor/list_file.h"
#include "monitor/loader_pool.h"
#include "monitor/security_list.h"
#include "monitor/security_store.h"

namespace velmora {

namespace {

// At most this many symbols are named in the status text; the rest are counted.
constexpr std::size_t kNamedSymbols = 5;

std::string namedSymbols(const std::vector<std::string>& symbols) {
  std::string text;
  for (std::size_t i = 0; i < symbols.size() && i < kNamedSymbols; ++i)
    text += (i == 0 ? "" : ", ") + symbols[i];
  if (symbols.size() > kNamedSymbols) text += ", ...";
  return text;
}

}  // namespace

ListReload RebuildStore(SecurityStore& store, std::string_view text, int realTimeServer) {
  ListReload reload;
  reload.read = true;
  const int oldCount = store.count();
  reload.newIndexOfOld.assign(static_cast<std::size_t>(oldCount), -1);

  // The old records by display symbol, in list order, so a symbol listed
  // twice pairs its lines in order.
  std::map<std::string, std::vector<int>> oldBySymbol;
  for (int i = oldCount - 1; i >= 0; --i) oldBySymbol[store.entry(i).displaySymbol()].push_back(i);
  std::vector<SecurityData> kept(static_cast<std::size_t>(oldCount));
  std::vector<QuoteFreshness> freshness(static_cast<std::size_t>(oldCount));
  for (int i = 0; i < oldCount; ++i) {
    store.entry(i).Snapshot(kept[static_cast<std::size_t>(i)]);
    freshness[static_cast<std::size_t>(i)] = store.entry(i).freshness();
  }

  std::vector<SecurityData> next;
  std::vector<int> source;  // the old index of each new entry, -1 for a new one
  for (const ListedLine& line : ListedLines(text)) {
    if (next.size() >= static_cast<std::size_t>(kMaxSecurities)) break;
    if (!AcceptableListSymbol(line.symbol, true)) continue;
    SecurityData data;
    if (!InitSecurityEntry(data, line.symbol.c_str(), realTimeServer)) continue;
    auto found = oldBySymbol.find(data.displaySymbol);
    int from = -1;
    if (found != oldBySymbol.end() && !found->second.empty()) {
      from = found->second.back();
      found->second.pop_back();
    }
    next.push_back(from >= 0 ? kept[static_cast<std::size_t>(from)] : data);
    source.push_back(from);
  }

  store.Clear();
  for (std::size_t i = 0; i < next.size(); ++i) {
    (void)store.Append(next[i]);
    const int from = source[i];
    if (from < 0) {
      reload.added.emplace_back(next[i].displaySymbol);
      continue;
    }
    store.entry(static_cast<int>(i)).RestoreFreshness(freshness[static_cast<std::size_t>(from)]);
    reload.newIndexOfOld[static_cast<std::size_t>(from)] = static_cast<int>(i);
    if (from != static_cast<int>(i)) reload.reordered = true;
  }
  for (int i = 0; i < oldCount; ++i)
    if (reload.newIndexOfOld[static_cast<std::size_t>(i)] < 0)
      reload.removed.emplace_back(kept[static_cast<std::size_t>(i)].displaySymbol);
  // Only moves among the kept ones count as a new order; an addition or a
  // removal shifts the rest by itself.
  if (reload.reordered) {
    int last = -1;
    reload.reordered = false;
    for (const int to : reload.newIndexOfOld) {
      if (to < 0) continue;
      if (to < last) reload.reordered = true;
      last = to;
    }
  }
  reload.count = store.count();
  return reload;
}

ListReload ReloadSecurityList(SecurityStore& store, LoaderPool& pool, const SystemConfig& config,
                              const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, text)) {
    LogFormat("Can not read the security list '%s'; the monitored list stays as it was.", path.c_str());
    return {};
  }
  return ReloadSecurityListText(store, pool, config, text);
}

ListReload ReloadSecurityListText(SecurityStore& store, LoaderPool& pool, const SystemConfig& config,
                                  std::string_view text) {
  const bool running = pool.RunningThreadCount() > 0;
  pool.StopLoaderThreads();
  ListReload reload = RebuildStore(store, text, config.RealTimeQuoteServer);
  pool.AssignSecurityRanges(reload.count, EffectiveThreadCount(config));
  if (running) {
    // The securities still listed keep the history they have.
    pool.SkipLoadedHistory();
    (void)pool.StartLoaderThreads(nullptr);
  }
  LogMessage(ListReloadText(reload));
  return reload;
}

int LoadSecurityList(SecurityStore& store, LoaderPool& pool, const SystemConfig& config) {
  const int count = ReadSecurityList(store, kSecurityListFileName, config.RealTimeQuoteServer);
  pool.AssignSecurityRanges(count, EffectiveThreadCount(config));
  return count;
}

int LoadSecurityList() { return LoadSecurityList(securityStore(), loaderPool(), systemConfig()); }

std::string ListReloadText(const ListReload& reload) {
  std::string text = std::string(kSecurityListFileName) + " reloaded: ";
  if (!reload.changed()) {
    text += "no change";
  } else {
    std::string parts;
    auto part = [&parts](const std::string& words) { parts += (parts.empty() ? "" : ", ") + words; };
    if (!reload.added.empty())
      part(std::to_string(reload.added.size()) + " added (" + namedSymbols(reload.added) + ")");
    if (!reload.removed.empty())
      part(std::to_string(reload.removed.size()) + " removed (" + namedSymbols(reload.removed) + ")");
    if (reload.reordered) part("new order");
    text += parts;
  }
  text += "; " + std::to_string(reload.count) + (reload.count == 1 ? " security." : " securities.");
  return text;
}

}  // namespace velmora
