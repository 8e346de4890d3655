#pragma once

// The watch list read again while the program runs.

#include <string>
#include <string_view>
#include <vector>

#include "base/system_config.h"

namespace velmora {

class LoaderPool;
class SecurityStore;

// What reading the list again changed.
struct ListReload {
  bool read = false;                 // the file could be read; otherwise nothing changed
  std::vector<int> newIndexOfOld;    // old entry i is now entry newIndexOfOld[i]; -1: removed
  std::vector<std::string> added;    // display symbols, in list order
  std::vector<std::string> removed;  // display symbols, in the old list order
  bool reordered = false;            // a kept security moved
  int count = 0;                     // securities now listed

  bool changed() const { return !added.empty() || !removed.empty() || reordered; }
};

// The store rebuilt from the list text `text`: a security still listed
// keeps its record (bars, signal state, how fresh its quote is), a new one
// starts empty, one no longer listed goes. A security listed twice pairs
// its lines in order. Only while no loader thread runs.
ListReload RebuildStore(SecurityStore& store, std::string_view text, int realTimeServer);

// Reads the list file again: the loader threads stop, the store is
// rebuilt, divided among the threads again (the reports and the alert rules
// then follow the new list) and the threads start again if they ran; they
// load the history of the new securities only. A list file that can not be
// read changes nothing (logged); a missing one is not created again.
ListReload ReloadSecurityList(SecurityStore& store, LoaderPool& pool, const SystemConfig& config,
                              const std::string& path);
// The same with the list's text already read.
ListReload ReloadSecurityListText(SecurityStore& store, LoaderPool& pool, const SystemConfig& config,
                                  std::string_view text);

// Start-up: reads the list, then divides it among the loader threads (which
// also writes the first reports). Returns the count.
int LoadSecurityList(SecurityStore& store, LoaderPool& pool, const SystemConfig& config);

// The same on the process-wide store, pool and configuration.
int LoadSecurityList();

// "List.dat reloaded: 2 added (NFLX, AMD), 1 removed (IBM); 25 securities."
std::string ListReloadText(const ListReload& reload);

}  // namespace velmora
