// The monitor's web view: the live quote table, a security's chart, the
// alerts and the health line. Plain DOM and canvas; the server pushes
// changed rows, alerts and health over one event stream.
"use strict";

(function () {
  // ---------------------------------------------------------------------
  // Numbers as the desktop table prints them ("C" printf conventions).

  // printf("%.2f"): JavaScript's toFixed rounds an exact half away from
  // zero, printf to even; the only exact halves at two decimals are odd
  // eighths (0.125, 0.375, ...).
  function fixed2(value) {
    if (typeof value !== "number" || !isFinite(value)) return "";
    const magnitude = Math.abs(value);
    if (Number.isInteger(magnitude * 8) && !Number.isInteger(magnitude * 4)) {
      let cents = Math.floor(magnitude * 100);
      if (cents % 2 === 1) cents += 1;
      const text = (cents / 100).toFixed(2);
      return value < 0 ? "-" + text : text;
    }
    return value.toFixed(2);
  }

  // Volumes above 99,999,999 in thousands with a K, as the desktop list.
  function volumeText(volume) {
    if (typeof volume !== "number") return "";
    return volume > 99999999 ? Math.trunc(volume / 1000) + "K" : String(Math.trunc(volume));
  }

  // 30622938 -> "30,622,938".
  function thousands(value) {
    const whole = Math.trunc(value);
    const digits = String(Math.abs(whole));
    const groups = digits.replace(/\B(?=(\d{3})+(?!\d))/g, ",");
    return whole < 0 ? "-" + groups : groups;
  }

  function compareClass(value, reference) {
    if (value > reference) return "rise";
    if (value < reference) return "fall";
    return "";
  }

  function ratioOf(volume, average) {
    return average > 0 ? volume / average : 0;
  }

  // ---------------------------------------------------------------------
  // Talking to the server.

  async function getJson(url) {
    const response = await fetch(url, { credentials: "same-origin", cache: "no-store" });
    if (response.status === 401) {
      window.location.assign("/login");
      throw new Error("not signed in");
    }
    let body = null;
    try {
      body = await response.json();
    } catch (e) {
      body = null;
    }
    if (!response.ok) {
      const message = body && body.error ? body.error : "HTTP " + response.status;
      const error = new Error(message);
      error.status = response.status;
      throw error;
    }
    return body;
  }

  function byId(id) {
    return document.getElementById(id);
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // ---------------------------------------------------------------------
  // The monitor table's columns, left to right as the desktop draws them.
  // Each cell is one text, or two texts with their own right edges (the
  // average volume and its ratio, the change and its percent, an average
  // and its flag).

  const MARK_COLUMNS = [0, 1, 2, 3, 4].map(function (bar) {
    return {
      key: "bs" + bar,
      header: "BS" + bar,
      group: "signalMarks",
      tip: bar === 0 ? "Buy (B) or sell (S) signal of the newest day"
                     : "Buy (B) or sell (S) signal of " + bar + " day" + (bar > 1 ? "s" : "") + " before",
      texts: function (row) { return [markOf(row, bar)]; },
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
      texts: function (row) { return [fixed2(emaOf(row, k)), flagOf(row, k)]; },
      sortKey: function (row) { return emaOf(row, k); },
    };
  });

  function priceColumn(key, header, tip, colour) {
    return { key: key, header: header, tip: tip, colour: colour,
             texts: function (row) { return [fixed2(row[key])]; }, sortKey: function (row) { return row[key]; } };
  }

  function numberColumn(key, header, group, tip) {
    return { key: key, header: header, group: group, tip: tip,
             texts: function (row) { return [fixed2(row[key])]; }, sortKey: function (row) { return row[key]; } };
  }

  const COLUMNS = [
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
      texts: function (row) { return [volumeText(row.volume)]; }, sortKey: function (row) { return row.volume; } },
    { key: "volumeAvg", header: "Volume 50DAvg", group: "volume",
      tip: "Average volume of the last 50 days (K: in thousands), then the day's volume as a multiple of it",
      texts: function (row) { return [volumeText(row.volumeAvg50), fixed2(ratioOf(row.volume, row.volumeAvg50))]; },
      sortKey: function (row) { return row.volumeAvg50; } },
    { key: "change", header: "Change(%)", tip: "Change from the previous close, and in percent",
      texts: function (row) { return [fixed2(row.change), fixed2(row.changePercent) + "%"]; },
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

  function flagOf(row, k) {
    const flags = row.above || [];
    return typeof flags[k] === "string" ? flags[k].trim() : "";
  }

  // "2:03pm" -> minutes after midnight, for sorting.
  function minutesOf(time) {
    const match = /^(\d{1,2}):(\d{2})\s*([ap])m$/i.exec(time || "");
    if (!match) return undefined;
    const hour = Number(match[1]) % 12 + (match[3].toLowerCase() === "p" ? 12 : 0);
    return hour * 60 + Number(match[2]);
  }

  function setText(node, text) {
    if (node.textContent !== text) node.textContent = text;
  }

  function setColour(node, colour) {
    if (node.classList.contains("rise") !== (colour === "rise")) node.classList.toggle("rise");
    if (node.classList.contains("fall") !== (colour === "fall")) node.classList.toggle("fall");
  }

  // ---------------------------------------------------------------------
  // The table: one row (data-symbol) per security. Only the rows in sight
  // (and a few around them) are in the document, each a box of fixed size
  // placed by its position, so an update of a row in sight lays out and
  // paints that row alone and 512 rows cost no more than 50. The columns
  // have widths in characters that only ever grow to the widest text of
  // any row (as the desktop's).

  const ROW_HEIGHT = 16; // pixels, as .qrow in app.css
  const OVERSCAN = 12; // rows kept beyond each edge of the view

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
  function loadTable(answer) {
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
  function updateRow(row, live) {
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
  function renderWindow() {
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

  function onTableScroll() {
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

  function onSearch(event) {
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
  function onTableKey(event) {
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

  // ---------------------------------------------------------------------
  // Status: connection, last update, health.

  function setConnection(state, text) {
    const node = byId("connection");
    node.className = "connection " + state;
    setText(node, text);
  }

  function noteUpdate(time) {
    setText(byId("updated"), "updated " + (time || localStamp(new Date())));
  }

  // "2026-12-08 15:31:07", as the server writes its times.
  function localStamp(d) {
    const two = function (n) { return String(n).padStart(2, "0"); };
    return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate()) + " " + two(d.getHours()) + ":" +
      two(d.getMinutes()) + ":" + two(d.getSeconds());
  }

  function showHealth(h) {
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

  // ---------------------------------------------------------------------
  // Alerts, newest first.

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

  function showAlerts(list) {
    const node = byId("alerts");
    node.textContent = "";
    (list || []).slice(0, MAX_ALERTS).forEach(function (a) { node.appendChild(alertItem(a)); });
    byId("alerts-empty").hidden = node.childElementCount > 0;
  }

  function addAlert(a) {
    const node = byId("alerts");
    node.insertBefore(alertItem(a), node.firstChild);
    while (node.childElementCount > MAX_ALERTS) node.removeChild(node.lastChild);
    byId("alerts-empty").hidden = true;
  }

  // ---------------------------------------------------------------------
  // The event stream, reopened after the server goes away.

  const stream = { source: null, retryMs: 1000, timer: 0, hellos: 0 };

  function openStream() {
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
    } catch (e) {
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
  async function refreshAll() {
    const alerts = getJson("/api/alerts").then(function (a) { showAlerts(a.alerts); }).catch(function () {});
    const health = getJson("/api/health").then(showHealth).catch(function () {});
    try {
      loadTable(await getJson("/api/securities"));
    } catch (e) {
      setConnection("down", "can not read the list: " + e.message);
    }
    await Promise.all([alerts, health]);
  }

  // ---------------------------------------------------------------------
  // The chart of one security.

  const BG = "rgb(214,214,214)";
  const GRID = "rgb(196,196,196)";
  const EMA = [
    { field: "ema5", label: "EMA(5)", colour: "rgb(255,255,0)" },
    { field: "ema10", label: "EMA(10)", colour: "rgb(0,0,0)" },
    { field: "ema20", label: "EMA(20)", colour: "rgb(0,0,255)" },
    { field: "ema50", label: "EMA(50)", colour: "rgb(255,0,0)" },
    { field: "ema100", label: "EMA(100)", colour: "rgb(255,0,255)" },
    { field: "ema200", label: "EMA(200)", colour: "rgb(0,144,0)" },
  ];
  const MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"];
  const PANEL = 80; // height of each indicator panel
  const TOP = 20; // frame's distance from the top and the bottom
  const INSET = 8; // room above the highest and below the lowest price
  const FONT = "12px 'DejaVu Sans', Arial, sans-serif";

  const chart = {
    symbol: "",
    range: "6m",
    bars: [], // oldest first
    layout: null,
    base: null, // the chart without its information lines, for pointer moves
    pointer: null, // { x, y } in CSS pixels, or null
    request: 0,
    frame: 0,
  };

  function openChart(symbol) {
    chart.symbol = symbol;
    byId("chart").hidden = false;
    setText(byId("chart-title"), symbol);
    document.title = symbol + " – Velmora";
    byId("chart-close").focus();
    window.history.replaceState(null, "", "#chart=" + encodeURIComponent(symbol));
    loadChart(chart.range);
  }

  function closeChart() {
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

  async function loadChart(range) {
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

  function drawChart() {
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
    chart.base = ctx.getImageData(0, 0, ctx.canvas.width, ctx.canvas.height);
    drawOverlays();
  }

  // Panels stack from the bottom: stochastics, RSI, volume, then prices.
  function chartLayout(ctx, width, height, bars) {
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

  function slotCentre(L, i) {
    const left = slotLeft(L, i);
    return left + Math.trunc((slotRight(L, i) - left) / 2);
  }

  function yOfPrice(L, p) {
    return L.priceBottom - Math.trunc((p - L.priceMin) * L.priceScale) - INSET;
  }

  function priceAtY(L, y) {
    return (L.priceBottom - INSET - y) / L.priceScale + L.priceMin;
  }

  function barAtX(L, x) {
    if (x <= 0) return 0;
    if (x >= L.right) return L.n - 1;
    return Math.min(L.n - 1, Math.trunc(x / L.spacing));
  }

  function line(ctx, x1, y1, x2, y2) {
    ctx.beginPath();
    ctx.moveTo(x1 + 0.5, y1 + 0.5);
    ctx.lineTo(x2 + 0.5, y2 + 0.5);
    ctx.stroke();
  }

  function textBox(ctx, text, x, y, colour) {
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

  // ---------------------------------------------------------------------
  // Pointer overlays: the cross-hair, the price at the pointer, and the
  // information lines for the bar under it (the newest before it moves).

  function drawOverlays() {
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

  function onChartPointer(event) {
    const rect = byId("chart-canvas").getBoundingClientRect();
    chart.pointer = { x: Math.round(event.clientX - rect.left), y: Math.round(event.clientY - rect.top) };
    if (!chart.frame) {
      chart.frame = window.requestAnimationFrame(function () {
        chart.frame = 0;
        drawOverlays();
      });
    }
  }

  function onChartLeave() {
    chart.pointer = null;
    drawOverlays();
  }

  // ---------------------------------------------------------------------
  // Start.

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
    } catch (e) {
      symbol = null; // a broken link ("#chart=%") opens no chart
    }
    if (symbol) openChart(symbol);
    await refreshAll();
    window.setTimeout(openStream, STREAM_DELAY_MS);
  }

  start();
})();
