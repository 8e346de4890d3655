// The chart's geometry and its painting: price, volume, RSI and
// stochastics panels on one canvas.

import { fixed2 } from "./format.js";

export const BG = "rgb(214,214,214)";
const GRID = "rgb(196,196,196)";
export const EMA = [
  { field: "ema5", label: "EMA(5)", colour: "rgb(255,255,0)" },
  { field: "ema10", label: "EMA(10)", colour: "rgb(0,0,0)" },
  { field: "ema20", label: "EMA(20)", colour: "rgb(0,0,255)" },
  { field: "ema50", label: "EMA(50)", colour: "rgb(255,0,0)" },
  { field: "ema100", label: "EMA(100)", colour: "rgb(255,0,255)" },
  { field: "ema200", label: "EMA(200)", colour: "rgb(0,144,0)" },
];
const MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"];
const PANEL = 80; // height of each indicator panel
export const TOP = 20; // frame's distance from the top and the bottom
const INSET = 8; // room above the highest and below the lowest price
export const FONT = "12px 'DejaVu Sans', Arial, sans-serif";

// Everything but the pointer's overlays, the later over the earlier.
export function drawPanels(ctx, L) {
  drawMonthAxis(ctx, L);
  drawFrame(ctx, L);
  drawStochastics(ctx, L);
  drawRsi(ctx, L);
  drawVolume(ctx, L);
  drawPriceGrid(ctx, L);
  drawCandles(ctx, L);
  drawAverages(ctx, L);
  drawSignalCircles(ctx, L);
  drawTrendTriangles(ctx, L);
}

// Panels stack from the bottom: stochastics, RSI, volume, then prices.
export function chartLayout(ctx, width, height, bars) {
  const L = { width: width, height: height, bars: bars, n: bars.length };
  let max = -Infinity;
  let min = Infinity;
  let volumeMax = 0;
  bars.forEach(function (b) {
    max = Math.max(max, b.high);
    min = Math.min(min, b.low);
    volumeMax = Math.max(volumeMax, b.volume || 0);
  });
  if (!(max > min)) { // a flat series still gets a scale
    max += 0.5;
    min -= 0.5;
  }
  L.priceMax = max;
  L.priceMin = min;
  L.volumeMax = volumeMax;
  const range = max - min;
  const t = Math.trunc((range * 0.125 + 0.05) * 100);
  L.priceStep = Math.max(5, Math.trunc(t / 5) * 5) * 0.01;
  L.textHeight = 14;
  L.axisWidth = Math.ceil(ctx.measureText(fixed2(max)).width) + 10;
  L.right = width - L.axisWidth;
  L.bottom = height - TOP;
  L.stochBottom = L.bottom;
  L.stochTop = L.stochBottom - PANEL;
  L.rsiBottom = L.stochTop;
  L.rsiTop = L.rsiBottom - PANEL;
  L.volumeBottom = L.rsiTop;
  L.volumeTop = L.volumeBottom - PANEL;
  L.priceBottom = L.volumeTop;
  L.priceTop = TOP;
  L.priceScale = (L.priceBottom - L.priceTop - 2 * INSET) / range;
  L.spacing = L.right / L.n;
  L.gap = L.spacing >= 4 ? 2 : (L.spacing >= 2 ? 1 : 0);
  return L;
}

function slotLeft(L, i) {
  return Math.trunc(i * L.spacing);
}

function slotRight(L, i) {
  return Math.max(slotLeft(L, i) + 1, Math.trunc(slotLeft(L, i) + L.spacing - L.gap));
}

export function slotCentre(L, i) {
  const left = slotLeft(L, i);
  return left + Math.trunc((slotRight(L, i) - left) / 2);
}

export function yOfPrice(L, p) {
  return L.priceBottom - Math.trunc((p - L.priceMin) * L.priceScale) - INSET;
}

export function priceAtY(L, y) {
  return (L.priceBottom - INSET - y) / L.priceScale + L.priceMin;
}

export function barAtX(L, x) {
  if (x <= 0) return 0;
  if (x >= L.right) return L.n - 1;
  return Math.min(L.n - 1, Math.trunc(x / L.spacing));
}

export function line(ctx, x1, y1, x2, y2) {
  ctx.beginPath();
  ctx.moveTo(x1 + 0.5, y1 + 0.5);
  ctx.lineTo(x2 + 0.5, y2 + 0.5);
  ctx.stroke();
}

export function textBox(ctx, text, x, y, colour) {
  const w = ctx.measureText(text).width;
  ctx.fillStyle = BG;
  ctx.fillRect(x, y, w, 15);
  ctx.fillStyle = colour || "#000";
  ctx.textBaseline = "top";
  ctx.fillText(text, x, y + 1);
  return w;
}

function drawFrame(ctx, L) {
  ctx.strokeStyle = "#000";
  ctx.lineWidth = 2;
  ctx.strokeRect(0, TOP, L.right, L.bottom - TOP);
  ctx.lineWidth = 1;
  [L.stochTop, L.rsiTop].forEach(function (y) { line(ctx, 0, y, L.right, y); });
  ctx.lineWidth = 2;
  line(ctx, 0, L.volumeTop, L.right, L.volumeTop);
  ctx.lineWidth = 1;
}

// A vertical line where each month begins, its name (or the two-digit
// year for January, initials beyond a year of bars) below.
function drawMonthAxis(ctx, L) {
  const names = L.n <= 366 ? MONTHS : MONTHS.map(function (m) { return m[0]; });
  ctx.strokeStyle = GRID;
  ctx.fillStyle = "#000";
  ctx.textBaseline = "bottom";
  let previous = 0;
  L.bars.forEach(function (b, i) {
    const month = monthOf(b);
    if (!month) return;
    if (previous > 0 && month.month !== previous) {
      const x = slotLeft(L, i);
      line(ctx, x, TOP, x, L.bottom);
      const label = month.month === 1 ? String(month.year % 100).padStart(2, "0") : names[month.month - 1];
      ctx.fillText(label, x - ctx.measureText(label).width / 2, L.height - 2);
    }
    previous = month.month;
  });
}

// The bar's month from its ISO date, else from "MM/DD/YYYY".
function monthOf(bar) {
  let m = /^(\d{4})-(\d{2})-(\d{2})/.exec(bar.iso || "");
  if (m) return { year: Number(m[1]), month: Number(m[2]) };
  m = /^(\d{1,2})\/(\d{1,2})\/(\d{4})$/.exec(bar.date || "");
  if (m) return { year: Number(m[3]), month: Number(m[1]) };
  return null;
}

function drawPriceGrid(ctx, L) {
  ctx.strokeStyle = GRID;
  ctx.fillStyle = "#000";
  ctx.textBaseline = "middle";
  let level = Math.trunc((L.priceMin + L.priceStep + 0.05) * 10) * 0.1;
  for (let guard = 0; level < L.priceMax && guard < 200; guard += 1) {
    const y = yOfPrice(L, level);
    line(ctx, 0, y, L.right, y);
    ctx.fillText(fixed2(level), L.right + 4, y);
    level += L.priceStep;
  }
}

// White candles rising, red ones falling (a line for an unchanged day).
function drawCandles(ctx, L) {
  L.bars.forEach(function (b, i) {
    const up = b.open < b.close;
    const colour = up ? "#000" : "rgb(255,0,0)";
    const top = yOfPrice(L, Math.max(b.open, b.close));
    const bottom = yOfPrice(L, Math.min(b.open, b.close));
    const left = slotLeft(L, i);
    const right = slotRight(L, i);
    const c = left + Math.trunc((right - left) / 2);
    ctx.strokeStyle = colour;
    line(ctx, c, top, c, yOfPrice(L, b.high));
    line(ctx, c, bottom, c, yOfPrice(L, b.low));
    if (top === bottom) {
      line(ctx, left, top, right - 1, top);
    } else {
      ctx.fillStyle = up ? "#fff" : colour;
      ctx.fillRect(left, top, right - left, bottom - top);
      ctx.strokeRect(left + 0.5, top + 0.5, Math.max(0, right - left - 1), bottom - top - 1);
    }
  });
}

// Each average as one line over the bars whose value lies in the shown
// price range (early bars, still 0, are left out).
function drawAverages(ctx, L) {
  EMA.forEach(function (average) {
    ctx.strokeStyle = average.colour;
    ctx.beginPath();
    let started = false;
    L.bars.forEach(function (b, i) {
      const v = b[average.field];
      if (!(v >= L.priceMin && v <= L.priceMax)) return;
      const x = slotCentre(L, i) + 0.5;
      const y = yOfPrice(L, v) + 0.5;
      if (started) ctx.lineTo(x, y);
      else ctx.moveTo(x, y);
      started = true;
    });
    ctx.stroke();
  });
}

// Green circles on buy marks, red on sell marks, round the body's low end.
function drawSignalCircles(ctx, L) {
  L.bars.forEach(function (b, i) {
    const mark = (b.signalMark || "").charAt(0);
    if (mark !== "B" && mark !== "S") return;
    ctx.strokeStyle = mark === "B" ? "rgb(0,255,0)" : "rgb(255,0,0)";
    ctx.beginPath();
    ctx.arc(slotCentre(L, i) + 0.5, yOfPrice(L, Math.min(b.open, b.close)) + 0.5, 12, 0, 2 * Math.PI);
    ctx.stroke();
  });
}

// A triangle where the confirmed trend turned: up below the low, down
// above the high.
function drawTrendTriangles(ctx, L) {
  L.bars.forEach(function (b, i) {
    if (!b.trendChanged) return;
    const c = slotCentre(L, i) + 0.5;
    const up = b.trend === 0;
    const tip = up ? yOfPrice(L, b.low) + 4 : yOfPrice(L, b.high) - 4;
    const base = up ? tip + 12 : tip - 12;
    ctx.beginPath();
    ctx.moveTo(c, tip + 0.5);
    ctx.lineTo(c - 7, base + 0.5);
    ctx.lineTo(c + 7, base + 0.5);
    ctx.closePath();
    ctx.fillStyle = "#fff";
    ctx.fill();
    ctx.strokeStyle = up ? "rgb(0,255,0)" : "rgb(255,0,0)";
    ctx.stroke();
  });
}

function drawVolume(ctx, L) {
  const plot = PANEL - 2 - L.textHeight;
  const scale = L.volumeMax > 0 ? plot / L.volumeMax : 0;
  L.bars.forEach(function (b, i) {
    if (scale === 0) return;
    const top = Math.trunc(L.volumeBottom - (b.volume || 0) * scale);
    ctx.fillStyle = b.close > b.open ? "#000" : "rgb(255,0,0)";
    ctx.fillRect(slotLeft(L, i), top, slotRight(L, i) - slotLeft(L, i), L.volumeBottom - 1 - top);
  });
  if (scale === 0) return;
  ctx.strokeStyle = "#000";
  ctx.beginPath();
  L.bars.forEach(function (b, i) {
    const x = slotCentre(L, i) + 0.5;
    const y = Math.trunc(L.volumeBottom - (b.volumeAvg50 || 0) * scale) + 0.5;
    if (i === 0) ctx.moveTo(x, y);
    else ctx.lineTo(x, y);
  });
  ctx.stroke();
}

// Reference lines of a 0-to-100 panel, 50 dotted, with their labels.
function referenceLines(ctx, L, bottom, height, levels) {
  ctx.strokeStyle = GRID;
  ctx.fillStyle = "#000";
  ctx.textBaseline = "middle";
  levels.forEach(function (level) {
    const y = bottom - Math.trunc(height * level / 100);
    ctx.setLineDash(level === 50 ? [2, 2] : []);
    line(ctx, 0, y, L.right, y);
    ctx.fillText(String(level), L.right + 4, y);
  });
  ctx.setLineDash([]);
}

function valueY(bottom, height, v) {
  return Math.trunc(bottom - height * v * 0.01);
}

// RSI(14) with the stretches above 70 and below 30 filled dark green.
function drawRsi(ctx, L) {
  const height = PANEL - L.textHeight - 4;
  referenceLines(ctx, L, L.rsiBottom, height, [50, 70, 30]);
  const points = L.bars.map(function (b, i) {
    return b.rsi > 0 ? { x: slotCentre(L, i), y: valueY(L.rsiBottom, height, b.rsi), v: b.rsi } : null;
  }).filter(Boolean);
  ctx.fillStyle = "rgb(0,144,0)";
  [70, 30].forEach(function (level) {
    const y = valueY(L.rsiBottom, height, level);
    for (let k = 1; k < points.length; k += 1) fillBeyond(ctx, points[k - 1], points[k], level, y);
  });
  polyline(ctx, points, "#000", 1);
}

// The part of one RSI segment beyond a level, as far as the crossing.
function fillBeyond(ctx, p, q, level, levelY) {
  const beyond = function (v) { return level > 50 ? v > level : v < level; };
  if (!beyond(p.v) && !beyond(q.v)) return;
  const cross = p.y === q.y ? q.x : p.x + (levelY - p.y) * (q.x - p.x) / (q.y - p.y);
  const x1 = beyond(p.v) ? p.x : cross;
  const x2 = beyond(q.v) ? q.x : cross;
  ctx.beginPath();
  ctx.moveTo(x1, beyond(p.v) ? p.y : levelY);
  ctx.lineTo(x2, beyond(q.v) ? q.y : levelY);
  ctx.lineTo(x2, levelY);
  ctx.lineTo(x1, levelY);
  ctx.closePath();
  ctx.fill();
}

function polyline(ctx, points, colour, width) {
  if (points.length === 0) return;
  ctx.strokeStyle = colour;
  ctx.lineWidth = width;
  ctx.beginPath();
  points.forEach(function (p, k) {
    if (k === 0) ctx.moveTo(p.x + 0.5, p.y + 0.5);
    else ctx.lineTo(p.x + 0.5, p.y + 0.5);
  });
  ctx.stroke();
  ctx.lineWidth = 1;
}

// Stochastics: %K thick black, %D red.
function drawStochastics(ctx, L) {
  const height = PANEL - L.textHeight - 4;
  referenceLines(ctx, L, L.stochBottom, height, [50, 80, 20]);
  ["stochK", "stochD"].forEach(function (field) {
    const points = L.bars.map(function (b, i) {
      return b[field] > 0 ? { x: slotCentre(L, i), y: valueY(L.stochBottom, height, b[field]) } : null;
    }).filter(Boolean);
    polyline(ctx, points, field === "stochK" ? "#000" : "rgb(255,0,0)", field === "stochK" ? 2 : 1);
  });
}
