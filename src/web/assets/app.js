// The monitor's web view: the live quote table, a security's chart, the
// alerts and the health line. Plain DOM and canvas; the server pushes
// changed rows, alerts and health over one event stream. This module
// starts the page; the parts are the modules of js/.

import { chart } from "./js/chart-state.js";
import { closeChart, drawChart, loadChart, openChart } from "./js/chart.js";
import { byId } from "./js/dom.js";
import { drawOverlays, onChartLeave, onChartPointer } from "./js/overlays.js";
import { barAtX, slotCentre, yOfPrice } from "./js/plot.js";
import { openStream, refreshAll } from "./js/stream.js";
import { onSearch, onTableKey, onTableScroll, renderWindow } from "./js/table.js";

// Escape closes the chart; Left and Right step the cross-hair from bar
// to bar (from the newest when it is not over the chart).
function onDocumentKey(event) {
  if (byId("chart").hidden) return;
  if (event.key === "Escape") {
    event.preventDefault();
    closeChart();
  } else if ((event.key === "ArrowLeft" || event.key === "ArrowRight") && chart.layout) {
    event.preventDefault();
    stepPointer(event.key === "ArrowLeft" ? -1 : 1);
  }
}

function stepPointer(step) {
  const L = chart.layout;
  const from = chart.pointer ? barAtX(L, chart.pointer.x) : L.n;
  const bar = Math.min(Math.max(from + step, 0), L.n - 1);
  const y = chart.pointer ? chart.pointer.y : yOfPrice(L, L.bars[bar].close);
  chart.pointer = { x: slotCentre(L, bar), y: y };
  drawOverlays();
}

function wireEvents() {
  byId("search").addEventListener("input", onSearch);
  byId("table-scroll").addEventListener("keydown", onTableKey);
  byId("table-scroll").addEventListener("scroll", onTableScroll, { passive: true });
  byId("chart-close").addEventListener("click", closeChart);
  document.addEventListener("keydown", onDocumentKey);
  document.querySelectorAll(".ranges button").forEach(function (button) {
    button.addEventListener("click", function () { loadChart(button.dataset.range); });
  });
  const canvas = byId("chart-canvas");
  canvas.addEventListener("pointermove", onChartPointer);
  canvas.addEventListener("pointerdown", onChartPointer);
  canvas.addEventListener("pointerleave", onChartLeave);
  let resizeFrame = 0;
  window.addEventListener("resize", function () {
    window.cancelAnimationFrame(resizeFrame);
    resizeFrame = window.requestAnimationFrame(function () {
      renderWindow();
      drawChart();
    });
  });
}

// The first rows come from /api/securities; the live stream opens once
// the page has settled (its hello fetches whatever changed meanwhile), so
// the page counts as loaded without a connection that never ends.
const STREAM_DELAY_MS = 1000;

async function start() {
  wireEvents();
  const linked = /^#chart=(.+)$/.exec(window.location.hash);
  let symbol = null;
  try {
    symbol = linked ? decodeURIComponent(linked[1]) : null;
  } catch {
    symbol = null; // a broken link ("#chart=%") opens no chart
  }
  if (symbol) openChart(symbol);
  await refreshAll();
  window.setTimeout(openStream, STREAM_DELAY_MS);
}

start();
