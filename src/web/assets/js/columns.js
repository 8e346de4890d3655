// The monitor table's columns, left to right as the desktop draws them.
// Each cell is one text, or two texts with their own right edges (the
// average volume and its ratio, the change and its percent, an average
// and its flag). The texts come made from the server (a row's "cells",
// by column key); the figures beside them are for sorting and colours.

import { compareClass } from "./format.js";

const MARK_COLUMNS = [0, 1, 2, 3, 4].map(function (bar) {
  return {
    key: "bs" + bar,
    header: "BS" + bar,
    group: "signalMarks",
    tip: bar === 0 ? "Buy (B) or sell (S) signal of the newest day"
                   : "Buy (B) or sell (S) signal of " + bar + " day" + (bar > 1 ? "s" : "") + " before",
    texts: function (row) { return cellOf(row, "bs" + bar, 1); },
    sortKind: "mark",
    sortKey: function (row) { return markOf(row, bar); },
  };
});

const AVERAGE_COLUMNS = [5, 10, 20, 50].map(function (days, k) {
  return {
    key: "above" + days,
    header: "Above" + days + "D",
    group: "movingAverages",
    tip: days + "-day exponential moving average; Y: the price is above it",
    texts: function (row) { return cellOf(row, "above" + days, 2); },
    sortKey: function (row) { return emaOf(row, k); },
  };
});

function priceColumn(key, header, tip, colour) {
  return { key: key, header: header, tip: tip, colour: colour,
           texts: function (row) { return cellOf(row, key, 1); }, sortKey: function (row) { return row[key]; } };
}

function numberColumn(key, header, group, tip) {
  return { key: key, header: header, group: group, tip: tip,
           texts: function (row) { return cellOf(row, key, 1); }, sortKey: function (row) { return row[key]; } };
}

export const COLUMNS = [
  { key: "symbol", header: "Symbol", tip: "The security's symbol", left: true, always: true,
    texts: function (row) { return [row.symbol]; }, sortKind: "text",
    sortKey: function (row) { return row.symbol; } },
  { key: "time", header: "Time", tip: "Time of the newest quote", left: true,
    texts: function (row) { return [row.time || ""]; }, sortKey: function (row) { return minutesOf(row.time); } },
  priceColumn("open", "Open", "Opening price (green above the previous close, red below)",
              function (row) { return compareClass(row.open, row.previousClose); }),
  priceColumn("high", "High", "Highest price of the day"),
  priceColumn("low", "Low", "Lowest price of the day"),
  priceColumn("close", "Close", "Newest price (green above the open, red below)",
              function (row) { return compareClass(row.close, row.open); }),
  { key: "volume", header: "Volume", group: "volume", tip: "Volume of the day (K: in thousands)",
    texts: function (row) { return cellOf(row, "volume", 1); }, sortKey: function (row) { return row.volume; } },
  { key: "volumeAvg", header: "Volume 50DAvg", group: "volume",
    tip: "Average volume of the last 50 days (K: in thousands), then the day's volume as a multiple of it",
    texts: function (row) { return cellOf(row, "volumeAvg", 2); },
    sortKey: function (row) { return row.volumeAvg50; } },
  { key: "change", header: "Change(%)", tip: "Change from the previous close, and in percent",
    texts: function (row) { return cellOf(row, "change", 2); },
    colour: function (row) { return compareClass(row.change, 0); },
    sortKey: function (row) { return row.changePercent; } },
  numberColumn("toEma10", "To10D%", "movingAverages",
               "Distance of the price from its 10-day moving average, in percent"),
].concat(AVERAGE_COLUMNS, [
  numberColumn("rsi", "RSI14", "rsi", "Relative strength index over 14 days"),
  numberColumn("stochK", "%K03", "rsi", "Stochastic %K over 14 days, smoothed over 3 days"),
  numberColumn("stochD", "%D03", "rsi", "Stochastic %D: the %K averaged over 3 days"),
], MARK_COLUMNS);

function markOf(row, bar) {
  const marks = row.marks || [];
  return typeof marks[bar] === "string" ? marks[bar].trim() : "";
}

function emaOf(row, k) {
  return Array.isArray(row.ema) ? row.ema[k] : undefined;
}

// The server's texts of a cell, `parts` of them (blanks for any missing).
function cellOf(row, key, parts) {
  const texts = row.cells && Array.isArray(row.cells[key]) ? row.cells[key] : [];
  const out = [];
  for (let p = 0; p < parts; ++p) out.push(typeof texts[p] === "string" ? texts[p] : "");
  return out;
}

// "2:03pm" -> minutes after midnight, for sorting.
function minutesOf(time) {
  const match = /^(\d{1,2}):(\d{2})\s*([ap])m$/i.exec(time || "");
  if (!match) return undefined;
  const hour = Number(match[1]) % 12 + (match[3].toLowerCase() === "p" ? 12 : 0);
  return hour * 60 + Number(match[2]);
}
