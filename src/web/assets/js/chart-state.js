// The open chart: what it shows and where the pointer is, shared by its
// loading and drawing (chart.js) and its pointer overlays (overlays.js).

export const chart = {
  symbol: "",
  range: "6m",
  bars: [], // oldest first
  layout: null,
  base: null, // the chart without its information lines, for pointer moves
  pointer: null, // { x, y } in CSS pixels, or null
  request: 0,
  frame: 0,
};
