// Alerts, newest first.

import { openChart } from "./chart.js";
import { byId, element } from "./dom.js";
import { compareClass, fixed2 } from "./format.js";

const MAX_ALERTS = 500;

function signed(value) {
  return (value > 0 ? "+" : "") + fixed2(value);
}

// Buy signals and upturns in green, sell signals and downturns in red.
function eventClass(text) {
  if (/buy|\bup\b/i.test(text)) return "rise";
  if (/sell|\bdown\b/i.test(text)) return "fall";
  return "";
}

// One line: time, security, event, price, change, the bar's date.
function alertItem(a) {
  const event = a.event || a.kind || "";
  const li = element("li");
  li.appendChild(element("span", "time", a.time || ""));
  li.appendChild(element("span", "sym", a.symbol));
  li.appendChild(element("span", "event " + eventClass(event), event));
  li.appendChild(element("span", "num", fixed2(a.price)));
  li.appendChild(element("span", "num " + compareClass(a.change, 0),
                         signed(a.change) + " (" + signed(a.changePercent) + "%)"));
  li.appendChild(element("span", "bar", a.barDate ? "bar " + a.barDate : ""));
  li.title = "Open the chart of " + a.symbol;
  li.addEventListener("click", function () { openChart(a.symbol); });
  return li;
}

export function showAlerts(list) {
  const node = byId("alerts");
  node.textContent = "";
  (list || []).slice(0, MAX_ALERTS).forEach(function (a) { node.appendChild(alertItem(a)); });
  byId("alerts-empty").hidden = node.childElementCount > 0;
}

export function addAlert(a) {
  const node = byId("alerts");
  node.insertBefore(alertItem(a), node.firstChild);
  while (node.childElementCount > MAX_ALERTS) node.removeChild(node.lastChild);
  byId("alerts-empty").hidden = true;
}
