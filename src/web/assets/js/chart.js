// The chart of one security: opening, loading and drawing it.

import { getJson } from "./api.js";
import { chart } from "./chart-state.js";
import { byId, setText } from "./dom.js";
import { drawOverlays } from "./overlays.js";
import { BG, FONT, chartLayout, drawPanels } from "./plot.js";

export function openChart(symbol) {
  chart.symbol = symbol;
  byId("chart").hidden = false;
  setText(byId("chart-title"), symbol);
  document.title = symbol + " – Velmora";
  byId("chart-close").focus();
  window.history.replaceState(null, "", "#chart=" + encodeURIComponent(symbol));
  loadChart(chart.range);
}

export function closeChart() {
  byId("chart").hidden = true;
  chart.request += 1;
  chart.pointer = null;
  document.title = "Velmora – real-time quote monitor";
  window.history.replaceState(null, "", window.location.pathname);
  byId("table-scroll").focus();
}

function setRangeButtons(range) {
  document.querySelectorAll(".ranges button").forEach(function (button) {
    button.setAttribute("aria-pressed", button.dataset.range === range ? "true" : "false");
  });
}

export async function loadChart(range) {
  chart.range = range;
  setRangeButtons(range);
  const request = ++chart.request;
  const url = "/api/securities/" + encodeURIComponent(chart.symbol);
  setText(byId("chart-note"), "Loading quote for " + chart.symbol + ", please wait …");
  let note = "";
  let answer = null;
  let title = rangeTitle(range) + " daily chart";
  try {
    answer = await getJson(url + "?range=" + range);
  } catch (e) {
    if (e.status !== 404) return chartFailed(request, e);
    // No local history file yet: the store's newest bars instead.
    note = e.message + " – showing the newest bars the monitor keeps";
    try {
      answer = await getJson(url);
    } catch (e2) {
      return chartFailed(request, e2);
    }
    title = "the newest " + (answer.bars || []).length + " bars";
  }
  if (request !== chart.request) return;
  setText(byId("chart-note"), note);
  showChart(answer.bars || [], title);
}

function chartFailed(request, error) {
  if (request !== chart.request) return;
  setText(byId("chart-note"), error.message);
  showChart([], "no data");
}

function rangeTitle(range) {
  return { "6m": "6 months", "1y": "1 year", "2y": "2 years", "5y": "5 years" }[range] || range;
}

function showChart(bars, title) {
  chart.bars = bars.slice().reverse();
  setText(byId("chart-title"), chart.symbol + " – " + title);
  byId("chart-area").dataset.bars = String(chart.bars.length); // how many are drawn
  drawChart();
}

// Sizes both canvases to the area at the screen's pixel density and
// returns the drawing context scaled to CSS pixels.
function sizeCanvas(canvas, width, height) {
  const ratio = window.devicePixelRatio || 1;
  const w = Math.round(width * ratio);
  const h = Math.round(height * ratio);
  if (canvas.width !== w || canvas.height !== h) {
    canvas.width = w;
    canvas.height = h;
  }
  const ctx = canvas.getContext("2d");
  ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
  return ctx;
}

export function drawChart() {
  if (byId("chart").hidden) return;
  const area = byId("chart-area");
  const width = area.clientWidth;
  const height = area.clientHeight;
  const ctx = sizeCanvas(byId("chart-canvas"), width, height);
  sizeCanvas(byId("chart-hair"), width, height);
  ctx.font = FONT;
  ctx.fillStyle = BG;
  ctx.fillRect(0, 0, width, height);
  if (chart.bars.length === 0) {
    chart.layout = null;
    chart.base = null;
    return;
  }
  const L = chartLayout(ctx, width, height, chart.bars);
  chart.layout = L;
  drawPanels(ctx, L);
  chart.base = ctx.getImageData(0, 0, ctx.canvas.width, ctx.canvas.height);
  drawOverlays();
}
