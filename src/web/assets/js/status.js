// Status: connection, last update, health.

import { byId, setText } from "./dom.js";

export function setConnection(state, text) {
  const node = byId("connection");
  node.className = "connection " + state;
  setText(node, text);
}

export function noteUpdate(time) {
  setText(byId("updated"), "updated " + (time || localStamp(new Date())));
}

// "2026-12-08 15:31:07", as the server writes its times.
function localStamp(d) {
  const two = function (n) { return String(n).padStart(2, "0"); };
  return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate()) + " " + two(d.getHours()) + ":" +
    two(d.getMinutes()) + ":" + two(d.getSeconds());
}

export function showHealth(h) {
  if (!h) return;
  const pieces = [
    h.loaded + " of " + h.securities + " securities loaded",
    "threads " + h.runningThreads + "/" + h.loaderThreads,
    "passes " + h.passes,
  ];
  if (h.lastPassTime) {
    pieces.push("last pass " + h.lastPassTime +
      (typeof h.lastPassSeconds === "number" ? " (" + h.lastPassSeconds.toFixed(1) + " s)" : ""));
  }
  if (h.historyFailures) pieces.push(h.historyFailures + " history failures");
  setText(byId("health"), pieces.join(" · "));
}
