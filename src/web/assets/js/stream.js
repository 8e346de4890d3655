// The event stream, reopened after the server goes away.

import { addAlert, showAlerts } from "./alerts.js";
import { getJson } from "./api.js";
import { noteUpdate, setConnection, showHealth } from "./status.js";
import { loadTable, updateRow } from "./table.js";

const stream = { source: null, retryMs: 1000, timer: 0, hellos: 0 };

export function openStream() {
  window.clearTimeout(stream.timer);
  if (stream.source) stream.source.close();
  setConnection("connecting", stream.hellos > 0 ? "reconnecting…" : "connecting…");
  const source = new EventSource("/api/events");
  stream.source = source;
  source.addEventListener("hello", function () {
    stream.retryMs = 1000;
    stream.hellos += 1;
    setConnection("live", "live");
    // Rows may have changed while no stream was open.
    refreshAll();
  });
  source.addEventListener("row", function (event) {
    const row = parseEvent(event);
    if (row && updateRow(row, true)) noteUpdate();
  });
  source.addEventListener("alert", function (event) {
    const a = parseEvent(event);
    if (a) addAlert(a);
  });
  source.addEventListener("health", function (event) { showHealth(parseEvent(event)); });
  source.addEventListener("error", function () { onStreamError(source); });
}

function parseEvent(event) {
  try {
    return JSON.parse(event.data);
  } catch {
    return null;
  }
}

// The browser retries a dropped stream by itself; a refused one (closed)
// is reopened here, waiting longer each time up to half a minute.
function onStreamError(source) {
  if (source !== stream.source) return;
  if (source.readyState === EventSource.CLOSED) {
    setConnection("down", "disconnected – retrying");
    // A refused stream may mean the sign-in expired: the probe goes to
    // the sign-in page then.
    getJson("/api/health").then(showHealth).catch(function () {});
    stream.timer = window.setTimeout(openStream, stream.retryMs);
    stream.retryMs = Math.min(stream.retryMs * 2, 30000);
  } else {
    setConnection("connecting", "reconnecting…");
  }
}

// The list, the alerts and the health, all fresh.
export async function refreshAll() {
  const alerts = getJson("/api/alerts").then(function (a) { showAlerts(a.alerts); }).catch(function () {});
  const health = getJson("/api/health").then(showHealth).catch(function () {});
  try {
    loadTable(await getJson("/api/securities"));
  } catch (e) {
    setConnection("down", "can not read the list: " + e.message);
  }
  await Promise.all([alerts, health]);
}
