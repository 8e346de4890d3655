#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "monitor/security_store.h"

namespace velmora {

// One event-stream client's waiting texts: at most the newest text of each
// row (a row published again before the client took the first replaces
// it), the newest health, and a short queue of the rest (the greeting,
// alerts, pings). Whatever the client does, it holds no more than that.
struct EventClient {
  std::mutex lock;
  std::condition_variable ready;
  std::map<int, std::shared_ptr<const std::string>> rows;  // by row index
  std::shared_ptr<const std::string> health;
  std::vector<std::shared_ptr<const std::string>> others;
  bool dropped = false;  // the queue overflowed: the stream ends
  bool stopped = false;  // the feed stops: the stream ends
};

// The change feed of the web view: one watcher thread looks at the store's
// version counters a few times a second, copies only the entries that
// changed, renders each such row once and hands the text to every client.
// A client that does not read falls behind on its own; the loader threads
// never wait for the feed (they only bump counters).
class EventFeed {
 public:
  // Most texts besides rows a client may have waiting before it is dropped.
  static constexpr std::size_t kMaxQueued = 256;

  struct Settings {
    std::chrono::milliseconds interval{200};  // how often the store is looked at
    std::chrono::milliseconds pingEvery{15000};
    int maxClients = 64;
    // The health object's JSON, and a counter that changes after each report
    // pass (a new value sends the health event); either may be empty.
    std::function<std::string()> healthJson;
    std::function<std::uint64_t()> passCounter;
    // The row's JSON text (tests may count renders).
    std::function<std::string(int, const SecurityData&, std::uint64_t)> rowJson;
  };

  EventFeed(const SecurityStore& store, Settings settings);
  ~EventFeed();
  EventFeed(const EventFeed&) = delete;
  EventFeed& operator=(const EventFeed&) = delete;

  void Start();
  // Ends every stream (their next wait returns false) and the watcher.
  void Stop();

  // A new client with the greeting waiting; null when stopping or full.
  std::shared_ptr<EventClient> Connect(const std::string& helloJson);
  void Disconnect(const std::shared_ptr<EventClient>& client);
  int clientCount() const;

  // Takes everything waiting for `client` as one text, waiting up to
  // `wait` for something to come; an empty text when nothing came. False
  // when the stream should end: the feed stops (`stopped` set) or the
  // client was dropped.
  [[nodiscard]] bool Next(EventClient& client, std::string& out, std::chrono::milliseconds wait);

  // An event for every client ("alert" with its JSON).
  void Broadcast(const std::string& event, const std::string& json);

  // Rows rendered since the start (one per change seen, whatever the
  // number of clients).
  std::uint64_t rowsRendered() const;

 private:
  void watch();
  void scanRows();
  void toEveryClient(const std::function<void(EventClient&)>& add);

  const SecurityStore& store_;
  Settings settings_;
  mutable std::mutex lock_;  // clients_, stopping_
  std::condition_variable wake_;
  std::vector<std::shared_ptr<EventClient>> clients_;
  bool stopping_ = false;
  std::vector<std::uint64_t> seen_;  // watcher thread only
  std::uint64_t seenPasses_ = 0;
  std::atomic<std::uint64_t> rendered_{0};
  std::thread watcher_;
};

// "event: NAME\ndata: JSON\n\n"
std::string EventText(const std::string& event, const std::string& json);

}  // namespace velmora
