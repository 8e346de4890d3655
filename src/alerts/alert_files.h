#pragma once

#include <string>

namespace velmora {

enum class AlertFileRead {
  kRead,
  kMissing,     // or unreadable: the same as an empty file
  kNotRegular,  // a FIFO, a device or a folder in the file's place
};

// Reads one of the alert files (Alerts.dat, Alerts.state, Alerts.pending,
// Alerts.txt) whole. The file is opened without blocking and read only when
// it is a regular file, so a FIFO or a device put in its place never holds
// the program up.
AlertFileRead ReadAlertFile(const std::string& path, std::string& text);

// "'Alerts.state' is not a regular file; it is not read."
std::string NotRegularFileText(const std::string& path);

}  // namespace velmora
