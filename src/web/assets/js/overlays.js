// Pointer overlays: the cross-hair, the price at the pointer, and the
// information lines for the bar under it (the newest before it moves).

import { chart } from "./chart-state.js";
import { byId } from "./dom.js";
import { fixed2, thousands } from "./format.js";
import { BG, EMA, FONT, TOP, barAtX, line, priceAtY, textBox } from "./plot.js";

export function drawOverlays() {
  const L = chart.layout;
  if (!L || !chart.base) return;
  const ctx = byId("chart-canvas").getContext("2d");
  ctx.putImageData(chart.base, 0, 0);
  const p = chart.pointer;
  const bar = p ? barAtX(L, p.x) : L.n - 1;
  drawInfoLines(ctx, L, L.bars[bar], bar > 0 ? L.bars[bar - 1] : null);
  if (p && p.y <= L.priceBottom && priceAtY(L, p.y) >= L.priceMin) drawPriceLabel(ctx, L, p, priceAtY(L, p.y));
  drawCrossHair(L, p);
}

function drawInfoLines(ctx, L, b, previous) {
  ctx.font = FONT;
  ctx.fillStyle = BG;
  ctx.fillRect(0, 2, L.width, 16);
  let x = 4;
  EMA.forEach(function (average) {
    x += textBox(ctx, average.label + " " + fixed2(b[average.field]), x, 2, average.colour) + 16;
  });
  const change = typeof b.change === "number" ? b.change : (previous ? b.close - previous.close : 0);
  const percent = typeof b.changePercent === "number" ? b.changePercent : 0;
  const ohlc = "Date: " + (b.date || "") + "  O: " + fixed2(b.open) + "  H: " + fixed2(b.high) + "  L: " +
    fixed2(b.low) + "  C: " + fixed2(b.close) + "  Chg: " + (change > 0 ? "+" : "") + fixed2(change) +
    " (" + (percent > 0 ? "+" : "") + fixed2(percent) + "%)";
  const w = ctx.measureText(ohlc).width;
  textBox(ctx, ohlc, Math.max(x, L.right - w - 8), 2);
  const ratio = b.volumeAvg50 > 0 ? fixed2(b.volume / b.volumeAvg50) : "–";
  textBox(ctx, "Volume = " + thousands(b.volume || 0) + " MA50 = " + thousands(b.volumeAvg50 || 0) +
    " ratio = " + ratio, 2, L.volumeTop + 2);
  textBox(ctx, "RSI( 14 ) = " + fixed2(b.rsi), 2, L.rsiTop + 1);
  textBox(ctx, "Stochastics(14, 3, 3) %K = " + fixed2(b.stochK) + ", %D = " + fixed2(b.stochD), 2,
    L.stochTop + 1);
}

// Below right of the pointer, or below left where the right has no room.
function drawPriceLabel(ctx, L, p, price) {
  const text = fixed2(price);
  const w = ctx.measureText(text).width + 8;
  const x = p.x + 9 + w <= L.width ? p.x + 9 : p.x - 9 - w;
  ctx.fillStyle = "#fff";
  ctx.fillRect(x, p.y + 1, w, 17);
  ctx.fillStyle = "#000";
  ctx.textBaseline = "top";
  ctx.fillText(text, x + 4, p.y + 3);
}

// Cyan on a "difference" layer: rgb(214,41,41) over the grey, as the
// desktop's XOR pen shows.
function drawCrossHair(L, p) {
  const canvas = byId("chart-hair");
  const ctx = canvas.getContext("2d");
  ctx.clearRect(0, 0, L.width, L.height);
  if (!p) return;
  ctx.strokeStyle = "rgb(0,255,255)";
  ctx.lineWidth = 1;
  if (p.y >= TOP && p.y <= L.bottom) line(ctx, 0, p.y, L.right, p.y);
  if (p.x >= 0 && p.x <= L.right) line(ctx, p.x, TOP, p.x, L.bottom);
}

export function onChartPointer(event) {
  const rect = byId("chart-canvas").getBoundingClientRect();
  chart.pointer = { x: Math.round(event.clientX - rect.left), y: Math.round(event.clientY - rect.top) };
  if (!chart.frame) {
    chart.frame = window.requestAnimationFrame(function () {
      chart.frame = 0;
      drawOverlays();
    });
  }
}

export function onChartLeave() {
  chart.pointer = null;
  drawOverlays();
}
