#pragma once

namespace velmora {

// What the shell needs to know of the view inside a child window.
class ChildView {
 public:
  virtual ~ChildView() = default;
  // 0 the real-time monitor, 1 a chart.
  virtual unsigned currentViewMode() const = 0;
};

}  // namespace velmora
