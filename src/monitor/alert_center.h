#pragma once

#include <memory>
#include <vector>

#include "monitor/alert.h"

namespace velmora {

// The alerts of one process: finds the events of each loaded or refreshed
// security, raises each once (remembered across restarts), and hands them
// to the sinks on a delivery thread of its own, so a slow sink never holds
// a loader thread.
class AlertCenter {
 public:
  virtual ~AlertCenter() = default;

  // A sink gets every alert raised after it was added. Thread-safe.
  virtual void AddSink(std::shared_ptr<AlertSink> sink) = 0;

  // Every alert raised since the program started, newest first.
  virtual std::vector<Alert> Recent() const = 0;
};

// The process's alert center; null before the program made one.
AlertCenter* ProcessAlertCenter();

}  // namespace velmora
