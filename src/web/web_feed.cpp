#include "web/web_feed.h"

#include "web/web_json.h"

namespace velmora {

std::string EventText(const std::string& event, const std::string& json) {
  std::string out;
  out.reserve(event.size() + json.size() + 16);
  out += "event: ";
  out += event;
  out += "\ndata: ";
  out += json;
  out += "\n\n";
  return out;
}

EventFeed::EventFeed(const SecurityStore& store, Settings settings)
    : store_(store), settings_(std::move(settings)) {
  if (!settings_.rowJson) settings_.rowJson = SecurityRowJson;
}

EventFeed::~EventFeed() { Stop(); }

void EventFeed::Start() {
  seen_.assign(static_cast<std::size_t>(kMaxSecurities), 0);
  for (int i = 0; i < store_.count(); ++i) seen_[static_cast<std::size_t>(i)] = store_.entry(i).version();
  if (settings_.passCounter) seenPasses_ = settings_.passCounter();
  watcher_ = std::thread([this] { watch(); });
}

void EventFeed::Stop() {
  std::vector<std::shared_ptr<EventClient>> clients;
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
    clients = clients_;
  }
  wake_.notify_all();
  for (const auto& client : clients) {
    std::lock_guard<std::mutex> hold(client->lock);
    client->stopped = true;
    client->ready.notify_all();
  }
  if (watcher_.joinable()) watcher_.join();
}

std::shared_ptr<EventClient> EventFeed::Connect(const std::string& helloJson) {
  auto client = std::make_shared<EventClient>();
  client->others.push_back(std::make_shared<const std::string>(EventText("hello", helloJson)));
  std::lock_guard<std::mutex> hold(lock_);
  if (stopping_ || static_cast<int>(clients_.size()) >= settings_.maxClients) return nullptr;
  clients_.push_back(client);
  return client;
}

void EventFeed::Disconnect(const std::shared_ptr<EventClient>& client) {
  std::lock_guard<std::mutex> hold(lock_);
  std::erase(clients_, client);
}

int EventFeed::clientCount() const {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(clients_.size());
}

std::uint64_t EventFeed::rowsRendered() const { return rendered_.load(); }

bool EventFeed::Next(EventClient& client, std::string& out, std::chrono::milliseconds wait) {
  out.clear();
  std::vector<std::shared_ptr<const std::string>> others;
  std::map<int, std::shared_ptr<const std::string>> rows;
  std::shared_ptr<const std::string> health;
  {
    std::unique_lock<std::mutex> hold(client.lock);
    client.ready.wait_for(hold, wait, [&] {
      return client.stopped || client.dropped || !client.others.empty() || !client.rows.empty() ||
             client.health;
    });
    if (client.stopped || client.dropped) return false;
    others.swap(client.others);
    rows.swap(client.rows);
    health.swap(client.health);
  }
  // The texts are put together outside the client's lock, so the watcher
  // never waits for a long copy.
  std::size_t size = health ? health->size() : 0;
  for (const auto& text : others) size += text->size();
  for (const auto& [index, text] : rows) size += text->size();
  out.reserve(size);
  for (const auto& text : others) out += *text;
  for (const auto& [index, text] : rows) out += *text;
  if (health) out += *health;
  return true;
}

void EventFeed::toEveryClient(const std::function<void(EventClient&)>& add) {
  std::vector<std::shared_ptr<EventClient>> clients;
  {
    std::lock_guard<std::mutex> hold(lock_);
    clients = clients_;
  }
  for (const auto& client : clients) {
    std::lock_guard<std::mutex> hold(client->lock);
    add(*client);
    client->ready.notify_one();
  }
}

void EventFeed::Broadcast(const std::string& event, const std::string& json) {
  const auto text = std::make_shared<const std::string>(EventText(event, json));
  toEveryClient([&](EventClient& client) {
    if (client.others.size() >= kMaxQueued)
      client.dropped = true;
    else
      client.others.push_back(text);
  });
}

void EventFeed::scanRows() {
  const int count = store_.count();
  std::vector<std::pair<int, std::shared_ptr<const std::string>>> changed;
  SecurityData data;
  for (int i = 0; i < count && i < kMaxSecurities; ++i) {
    const SecurityEntry& entry = store_.entry(i);
    auto& seen = seen_[static_cast<std::size_t>(i)];
    if (entry.version() == seen) continue;
    std::uint64_t version = 0;
    entry.Snapshot(data, version);
    seen = version;
    changed.emplace_back(
        i, std::make_shared<const std::string>(EventText("row", settings_.rowJson(i, data, version))));
    rendered_.fetch_add(1);
  }
  if (changed.empty()) return;
  toEveryClient([&](EventClient& client) {
    for (const auto& [index, text] : changed) client.rows[index] = text;
  });
}

void EventFeed::watch() {
  auto nextPing = std::chrono::steady_clock::now() + settings_.pingEvery;
  const auto ping = std::make_shared<const std::string>(": ping\n\n");
  for (;;) {
    {
      std::unique_lock<std::mutex> hold(lock_);
      if (wake_.wait_for(hold, settings_.interval, [&] { return stopping_; })) return;
    }
    scanRows();
    if (settings_.passCounter && settings_.healthJson) {
      const std::uint64_t passes = settings_.passCounter();
      if (passes != seenPasses_) {
        seenPasses_ = passes;
        const auto text = std::make_shared<const std::string>(EventText("health", settings_.healthJson()));
        toEveryClient([&](EventClient& client) { client.health = text; });
      }
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextPing) {
      nextPing = now + settings_.pingEvery;
      toEveryClient([&](EventClient& client) {
        if (client.others.size() < kMaxQueued) client.others.push_back(ping);
      });
    }
  }
}

}  // namespace velmora
