#pragma once

namespace velmora {

// What the shell needs to know of the view inside a child window.
class ChildView {
 public:
  static constexpr unsigned kMonitorMode = 0;  // the real-time monitor
  static constexpr unsigned kChartMode = 1;

  virtual ~ChildView() = default;
  virtual unsigned currentViewMode() const = 0;
};

}  // namespace velmora
