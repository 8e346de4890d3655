#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace velmora::standin {

// Blocks while the client of a request keeps its connection open, until the
// service stops or `limit` passes. The server library does not hand its
// handlers their socket, so it is found by the connection's two addresses.
void WaitWhileClientConnected(const std::string& localAddr, int localPort, const std::string& remoteAddr,
                              int remotePort, const std::atomic<bool>& stopping,
                              std::chrono::milliseconds limit);

// Sleeps up to `ms`, waking early when the service stops.
void SleepUnlessStopping(int ms, const std::atomic<bool>& stopping);

}  // namespace velmora::standin
