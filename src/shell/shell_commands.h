#pragma once

#include <functional>

namespace velmora {

// The menu commands of the shell; each is wired by the application object
// to the active view or to itself. An empty handler does nothing.
struct ShellCommands {
  std::function<void()> chart;
  std::function<void()> searchSymbol;
  std::function<void()> statistics;
  std::function<void()> systemParameter;
  std::function<void()> stockList;
  // Edit: a security added to the watch list, the selected one removed.
  std::function<void()> addSecurity;
  std::function<void()> removeSecurity;
  std::function<void()> statusReport;
  std::function<void()> trendUpList;
  std::function<void()> trendDownList;
  std::function<void()> buyList;
  std::function<void()> sellList;
  std::function<void()> logInformation;
  std::function<void()> about;
  // Exit: how many loader threads still run, then stopping them.
  std::function<int()> activeThreadCount;
  std::function<void()> stopLoaders;
};

}  // namespace velmora
