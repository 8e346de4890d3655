// The table: one row (data-symbol) per security. Only the rows in sight
// (and a few around them) are in the document, each a box of fixed size
// placed by its position, so an update of a row in sight lays out and
// paints that row alone and 512 rows cost no more than 50. The columns
// have widths in characters that only ever grow to the widest text of
// any row (as the desktop's).

import { openChart } from "./chart.js";
import { COLUMNS } from "./columns.js";
import { byId, element, setText } from "./dom.js";
import { noteUpdate } from "./status.js";

const ROW_HEIGHT = 16; // pixels, as .qrow in app.css
const OVERSCAN = 12; // rows kept beyond each edge of the view

function setColour(node, colour) {
  if (node.classList.contains("rise") !== (colour === "rise")) node.classList.toggle("rise");
  if (node.classList.contains("fall") !== (colour === "fall")) node.classList.toggle("fall");
}

const table = {
  columns: [], // the COLUMNS the switches leave on
  switchKey: "",
  rows: [], // by list index: { data, texts, tr (or null), dirty }
  order: [], // list indices shown, in display order
  attached: new Set(), // list indices whose row element is in the body
  widths: [], // per column, per part: characters
  sortColumn: -1,
  descending: false,
  filter: "",
  selected: -1, // list index of the framed row
  resortPending: false,
  frame: 0,
};

function activeColumns(switches) {
  return COLUMNS.filter(function (column) {
    return !column.group || !switches || switches[column.group] !== false;
  });
}

function partCount(column) {
  return column.key === "volumeAvg" || column.key === "change" || column.key.startsWith("above") ? 2 : 1;
}

function buildHeader() {
  const head = byId("quotes-head");
  head.textContent = "";
  table.widths = table.columns.map(function (column) {
    return partCount(column) === 2 ? [0, 0] : [0]; // grown by the texts shown
  });
  table.columns.forEach(function (column, c) {
    const th = cellElement(column, c, "columnheader");
    th.textContent = column.header;
    th.title = column.tip + ". Click to sort; again to reverse; a third time for the list order.";
    th.addEventListener("click", function () { onHeaderClick(c); });
    head.appendChild(th);
  });
  applyWidths();
}

function cellElement(column, c, role) {
  const cell = element("div", column.left ? "qc left" : "qc");
  cell.setAttribute("role", role);
  cell.dataset.col = column.key;
  cell.style.width = "var(--c" + c + ")";
  return cell;
}

// Characters of a column: its widest text or its header, and a blank
// before it.
function columnChars(c) {
  const widths = table.widths[c];
  const values = widths.reduce(function (a, b) { return a + b; }, 0) + widths.length - 1;
  return Math.max(values, table.columns[c].header.length) + 1;
}

// Every column's width, and its parts', from the widest texts so far.
function applyWidths() {
  const style = byId("quotes").style;
  let total = 0;
  table.columns.forEach(function (column, c) {
    const chars = columnChars(c);
    total += chars;
    style.setProperty("--c" + c, chars + "ch");
    table.widths[c].forEach(function (w, p) { style.setProperty("--c" + c + "-" + p, w + "ch"); });
  });
  style.setProperty("--row-width", "calc(" + total + "ch + 10px)");
}

// The texts of a row, per column and part; blank cells before a
// security's history has loaded (no values, not zeros).
function rowTexts(row) {
  return table.columns.map(function (column) {
    if (!row.loaded && !column.always) return partCount(column) === 2 ? ["", ""] : [""];
    return column.texts(row);
  });
}

// Widens the columns for a row's texts; true when one grew.
function growWidths(texts) {
  let grown = false;
  texts.forEach(function (parts, c) {
    const widths = table.widths[c];
    parts.forEach(function (text, p) {
      if (text.length > widths[p]) {
        widths[p] = text.length;
        grown = true;
      }
    });
  });
  return grown;
}

function makeRowElement(entry) {
  const tr = element("div", "qrow");
  tr.setAttribute("role", "row");
  tr.dataset.symbol = entry.data.symbol;
  tr.dataset.index = String(entry.data.index);
  table.columns.forEach(function (column, c) {
    const td = cellElement(column, c, "cell");
    if (partCount(column) === 2) {
      [0, 1].forEach(function (p) {
        const span = element("span", "part");
        span.style.minWidth = "var(--c" + c + "-" + p + ")";
        td.appendChild(span);
      });
    }
    tr.appendChild(td);
  });
  const index = entry.data.index;
  tr.addEventListener("click", function () { onRowClick(index); });
  return tr;
}

// Writes the row's texts and colours into its element.
function fillRowElement(entry) {
  const row = entry.data;
  const cells = entry.tr.children;
  table.columns.forEach(function (column, c) {
    const cell = cells[c];
    const texts = entry.texts[c];
    if (texts.length === 1) setText(cell, texts[0]);
    else texts.forEach(function (text, p) { setText(cell.children[p], text); });
    setColour(cell, row.loaded && column.colour ? column.colour(row) : "");
  });
  entry.dirty = false;
}

function setRowData(entry, row) {
  entry.data = row;
  entry.texts = rowTexts(row);
  entry.dirty = true;
  return growWidths(entry.texts);
}

// A whole fresh list from /api/securities (at start and after a reconnect).
export function loadTable(answer) {
  const list = answer.securities || [];
  const switchKey = JSON.stringify(answer.switches || {});
  const sameList = switchKey === table.switchKey && list.length === table.rows.length &&
    list.every(function (row, i) { return table.rows[i].data.symbol === row.symbol; });
  if (!sameList) {
    table.switchKey = switchKey;
    rebuildTable(activeColumns(answer.switches), list);
  } else {
    list.forEach(function (row) { updateRow(row, false); });
    applyWidths();
  }
  if (answer.time) noteUpdate(answer.time);
  renderOrder();
}

function rebuildTable(columns, list) {
  const sortKey = table.sortColumn >= 0 ? table.columns[table.sortColumn].key : "";
  table.columns = columns;
  table.sortColumn = columns.findIndex(function (column) { return column.key === sortKey; });
  buildHeader();
  byId("quotes-body").textContent = "";
  table.attached.clear();
  table.rows = list.map(function (row) {
    const entry = { data: row, texts: [], tr: null, dirty: true };
    setRowData(entry, row);
    return entry;
  });
  applyWidths();
  if (table.selected >= table.rows.length) table.selected = -1;
}

// A newer row replaces the old one; an older or equal version is ignored.
export function updateRow(row, live) {
  const entry = table.rows[row.index];
  if (!entry || entry.data.symbol !== row.symbol) return false;
  if (typeof row.version === "number" && typeof entry.data.version === "number" &&
      row.version <= entry.data.version && entry.data.loaded === row.loaded) {
    return false;
  }
  const grown = setRowData(entry, row);
  if (!live) return true;
  if (grown) applyWidths();
  if (table.attached.has(row.index)) fillRowElement(entry);
  if (table.sortColumn >= 0) scheduleResort();
  return true;
}

// A sorted table takes changed rows to their new places once a second,
// not on every update.
function scheduleResort() {
  if (table.resortPending) return;
  table.resortPending = true;
  window.setTimeout(function () {
    table.resortPending = false;
    renderOrder();
  }, 1000);
}

function sortedIndices() {
  const order = table.rows.map(function (entry, i) { return i; });
  if (table.sortColumn < 0) return order;
  const column = table.columns[table.sortColumn];
  const sign = table.descending ? -1 : 1;
  const keys = table.rows.map(function (entry) {
    return entry.data.loaded || column.always ? column.sortKey(entry.data) : undefined;
  });
  return order.sort(function (a, b) {
    const la = keys[a] !== undefined;
    const lb = keys[b] !== undefined;
    if (la !== lb) return la ? -1 : 1; // unloaded last, whichever the direction
    if (!la) return a - b;
    const c = compareValues(column, keys[a], keys[b]);
    return c !== 0 ? sign * c : a - b; // ties keep the list order
  });
}

function compareValues(column, x, y) {
  if (column.sortKind === "mark" && (x === "") !== (y === "")) {
    return x === "" ? 1 : -1; // marks first ("B" before "S"), blanks last
  }
  if (column.sortKind === "text" || column.sortKind === "mark") return x < y ? -1 : (x > y ? 1 : 0);
  const nx = typeof x === "number" ? x : -Infinity;
  const ny = typeof y === "number" ? y : -Infinity;
  return nx < ny ? -1 : (nx > ny ? 1 : 0);
}

// The rows the search box leaves, in the current order.
function renderOrder() {
  table.order = sortedIndices().filter(function (i) { return matchesFilter(table.rows[i].data.symbol); });
  updateHeaderSort();
  const total = table.rows.length;
  setText(byId("count"), table.order.length === total ? total + " securities"
                                                      : table.order.length + " of " + total + " securities");
  byId("quotes-body").style.height = table.order.length * ROW_HEIGHT + "px";
  byId("quotes").setAttribute("aria-rowcount", String(table.order.length + 1));
  renderWindow();
}

// Puts the rows in sight into the body, at their places, and takes the
// others out.
export function renderWindow() {
  const scroller = byId("table-scroll");
  const headHeight = headerHeight();
  const first = Math.max(0, Math.floor((scroller.scrollTop - headHeight) / ROW_HEIGHT) - OVERSCAN);
  const last = Math.min(table.order.length - 1,
                        Math.ceil((scroller.scrollTop + scroller.clientHeight) / ROW_HEIGHT) + OVERSCAN);
  const wanted = new Set(table.order.slice(first, last + 1));
  const body = byId("quotes-body");
  table.attached.forEach(function (i) {
    if (!wanted.has(i)) {
      body.removeChild(table.rows[i].tr);
      table.attached.delete(i);
    }
  });
  for (let position = first; position <= last; position += 1) placeRow(table.order[position], position, body);
}

// The sticky header row's height: the rows start below it.
function headerHeight() {
  return byId("quotes-head").parentNode.offsetHeight;
}

function placeRow(index, position, body) {
  const entry = table.rows[index];
  if (!entry.tr) entry.tr = makeRowElement(entry);
  if (entry.dirty) fillRowElement(entry);
  const top = position * ROW_HEIGHT + "px";
  if (entry.tr.style.top !== top) {
    entry.tr.style.top = top;
    entry.tr.setAttribute("aria-rowindex", String(position + 2)); // the header is row 1
  }
  markSelected(entry, index === table.selected);
  if (!table.attached.has(index)) {
    body.appendChild(entry.tr);
    table.attached.add(index);
  }
}

export function onTableScroll() {
  if (table.frame) return;
  table.frame = window.requestAnimationFrame(function () {
    table.frame = 0;
    renderWindow();
  });
}

function matchesFilter(symbol) {
  return table.filter === "" || symbol.toUpperCase().startsWith(table.filter);
}

function updateHeaderSort() {
  const headers = byId("quotes-head").children;
  for (let c = 0; c < headers.length; c += 1) {
    if (c === table.sortColumn) headers[c].setAttribute("aria-sort", table.descending ? "descending" : "ascending");
    else headers[c].removeAttribute("aria-sort");
  }
}

// Ascending, then descending, then the list order again.
function onHeaderClick(c) {
  if (table.sortColumn !== c) {
    table.sortColumn = c;
    table.descending = false;
  } else if (!table.descending) {
    table.descending = true;
  } else {
    table.sortColumn = -1;
    table.descending = false;
  }
  renderOrder();
}

export function onSearch(event) {
  table.filter = event.target.value.trim().toUpperCase();
  byId("table-scroll").scrollTop = 0;
  renderOrder();
  // As the desktop's symbol search: the first match is selected.
  if (table.filter !== "" && table.order.length > 0) select(table.order[0], true);
}

function markSelected(entry, selected) {
  if (!entry || !entry.tr) return;
  entry.tr.classList.toggle("selected", selected);
  if (selected) entry.tr.setAttribute("aria-selected", "true");
  else entry.tr.removeAttribute("aria-selected");
}

function select(index, scroll) {
  markSelected(table.rows[table.selected], false);
  table.selected = index;
  if (scroll) scrollToRow(index);
  markSelected(table.rows[index], true);
}

// Scrolls just enough for the row to be in full sight below the header.
function scrollToRow(index) {
  const position = table.order.indexOf(index);
  if (position < 0) return;
  const scroller = byId("table-scroll");
  const headHeight = headerHeight();
  const top = position * ROW_HEIGHT;
  if (top < scroller.scrollTop) scroller.scrollTop = top;
  else if (top + ROW_HEIGHT + headHeight > scroller.scrollTop + scroller.clientHeight) {
    scroller.scrollTop = top + ROW_HEIGHT + headHeight - scroller.clientHeight;
  }
  renderWindow();
}

function onRowClick(index) {
  select(index, false);
  openChart(table.rows[index].data.symbol);
}

// Up and Down (Page Up and Down, Home and End) move the frame over the
// rows shown; Enter opens the chart.
export function onTableKey(event) {
  const order = table.order;
  if (order.length === 0) return;
  const at = order.indexOf(table.selected);
  const page = Math.max(1, Math.floor(byId("table-scroll").clientHeight / ROW_HEIGHT) - 2);
  const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: page, PageUp: -page };
  let next = -1;
  if (event.key in moves) next = at < 0 ? 0 : Math.min(Math.max(at + moves[event.key], 0), order.length - 1);
  else if (event.key === "Home") next = 0;
  else if (event.key === "End") next = order.length - 1;
  else if (event.key === "Enter" && at >= 0) {
    event.preventDefault();
    openChart(table.rows[table.selected].data.symbol);
    return;
  } else return;
  event.preventDefault();
  select(order[next], true);
}
