#include "alerts/alert_pending.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace velmora {

namespace {

using json = nlohmann::ordered_json;

constexpr AlertKind kKinds[] = {AlertKind::kBuy,       AlertKind::kSell,  AlertKind::kTrendUp,
                                AlertKind::kTrendDown, AlertKind::kAbove, AlertKind::kBelow,
                                AlertKind::kMove};

bool kindOf(const std::string& word, AlertKind& kind) {
  for (const AlertKind k : kKinds) {
    if (word == AlertKindWord(k)) {
      kind = k;
      return true;
    }
  }
  return false;
}

bool text(const json& object, const char* name, std::string& out) {
  const auto it = object.find(name);
  if (it == object.end() || !it->is_string()) return false;
  out = it->get<std::string>();
  return true;
}

bool number(const json& object, const char* name, double& out) {
  const auto it = object.find(name);
  if (it == object.end() || !it->is_number()) return false;
  out = it->get<double>();
  return true;
}

bool readLine(const std::string& line, PendingAlert& p) {
  const json object = json::parse(line, nullptr, false);
  if (object.is_discarded() || !object.is_object()) return false;
  const auto outputs = object.find("outputs");
  if (outputs == object.end() || !outputs->is_array()) return false;
  for (const json& o : *outputs) {
    if (!o.is_string() || o.get<std::string>().empty()) return false;
    const std::string name = o.get<std::string>();
    if (std::find(p.outputs.begin(), p.outputs.end(), name) == p.outputs.end()) p.outputs.push_back(name);
  }
  const auto date = object.find("dateKey");
  if (date == object.end() || !date->is_number_integer()) return false;
  const long long dateKey = date->get<long long>();
  if (dateKey < 19000101 || dateKey > 99991231) return false;
  p.dateKey = static_cast<int>(dateKey);
  std::string kind;
  Alert& a = p.alert;
  return !p.outputs.empty() && text(object, "eventKey", p.eventKey) && !p.eventKey.empty() &&
         p.eventKey.find_first_of(" \t\r\n") == std::string::npos && text(object, "symbol", a.symbol) &&
         !a.symbol.empty() && text(object, "kind", kind) && kindOf(kind, a.kind) &&
         text(object, "event", a.event) && text(object, "barDate", a.barDate) &&
         text(object, "time", a.time) && number(object, "price", a.price) &&
         number(object, "change", a.change) && number(object, "changePercent", a.changePercent);
}

}  // namespace

std::string FormatPendingAlerts(const std::vector<PendingAlert>& alerts) {
  std::string out = "# Alerts not yet delivered: the outputs that still wait for each.\n";
  for (const PendingAlert& p : alerts) {
    json object;
    object["outputs"] = p.outputs;
    object["eventKey"] = p.eventKey;
    object["dateKey"] = p.dateKey;
    object["symbol"] = p.alert.symbol;
    object["event"] = p.alert.event;
    object["kind"] = AlertKindWord(p.alert.kind);
    object["price"] = p.alert.price;
    object["change"] = p.alert.change;
    object["changePercent"] = p.alert.changePercent;
    object["barDate"] = p.alert.barDate;
    object["time"] = p.alert.time;
    out += object.dump(-1, ' ', false, json::error_handler_t::replace);
    out += '\n';
  }
  return out;
}

std::vector<PendingAlert> ParsePendingAlerts(std::string_view text, std::size_t& skipped) {
  std::vector<PendingAlert> alerts;
  skipped = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string line(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    PendingAlert p;
    if (readLine(line, p))
      alerts.push_back(std::move(p));
    else
      ++skipped;
  }
  return alerts;
}

}  // namespace velmora
