#!/usr/bin/env bash
# Takes the README pictures of the monitor's web view: docs/web-view.png (the
# live table, 1400x900) and docs/web-chart.png (a chart with the cross-hair).
# Runs quote-standin (its clock inside a session) and velmora-monitor --web in
# a temporary folder, drives headless Chromium over its DevTools socket, and
# stops everything it started.
#   scripts/web-screenshot.sh [BUILD_DIR] [OUT_DIR]    (build/main, docs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/${1:-build/main}/bin"
out=$(cd "$root" && mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)
work=$(mktemp -d /tmp/velmora-web-shot.XXXXXX)

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cd "$work"
printf '%s\n' ^DJI ^GSPC ^IXIC ^NDX ^GSPTSE ^FTSE ^FCHI ^GDAXI ^N225 ^HSI ^STI ^BSESN MSFT IBM AAPL GOOG \
  AMZN NVDA META TSLA JPM V JNJ WMT PG XOM KO PEP CSCO ORCL INTC AMD QCOM ADBE >List.dat
printf '^DJI above 1\nMSFT above 1\n' >Alerts.dat

"$bin/quote-standin" --port 0 --now 2026-12-07T14:03 >standin.out 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q listening standin.out && break; sleep 0.1; done
port=$(sed -n 's/.*:\([0-9]*\)$/\1/p' standin.out)
printf 'YahooRealTimeQuoteSpreadSheetURL=http://127.0.0.1:%s/d/quotes.csv\rYahooHistoryQuoteSpreadSheetURL=http://127.0.0.1:%s/table.csv\rYahooHistoryQuoteURL=http://127.0.0.1:%s/q/hp\rQuoteInterval=1\rStartRealTimeQuoteLoader=Yes\r' \
  "$port" "$port" "$port" >Config.ini

"$bin/velmora-monitor" --web 127.0.0.1:0 >monitor.out 2>monitor.err &
pids+=($!)
for _ in $(seq 100); do grep -q "web view at" monitor.out && break; sleep 0.1; done
url=$(sed -n 's/.*web view at \(http[^ ]*\)/\1/p' monitor.out)
[ -n "$url" ] || { cat monitor.err >&2; exit 1; }
sleep 5 # every history in

chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --remote-debugging-port=0 \
  --user-data-dir="$work/profile" about:blank >/dev/null 2>chromium.err &
pids+=($!)
for _ in $(seq 100); do [ -s profile/DevToolsActivePort ] && break; sleep 0.1; done
devtools=$(head -1 profile/DevToolsActivePort)

python3 - "$devtools" "$url" "$out" <<'EOF'
# A minimal DevTools client: one page, JSON commands over a WebSocket.
import base64, json, os, socket, struct, sys, time, urllib.request

devtools, url, out = sys.argv[1], sys.argv[2], sys.argv[3]
tabs = json.load(urllib.request.urlopen("http://127.0.0.1:%s/json/list" % devtools))
path = [t for t in tabs if t["type"] == "page"][0]["webSocketDebuggerUrl"].split("/", 3)[3]
sock = socket.create_connection(("127.0.0.1", int(devtools)))
key = base64.b64encode(os.urandom(16)).decode()
sock.sendall(("GET /%s HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (path, key)).encode())
buffer = b""
while b"\r\n\r\n" not in buffer:
    buffer += sock.recv(4096)
buffer = buffer.split(b"\r\n\r\n", 1)[1]
ids = [0]

def take(n):
    global buffer
    while len(buffer) < n:
        buffer += sock.recv(65536)
    data, buffer = buffer[:n], buffer[n:]
    return data

def message():
    data = b""
    while True:
        head = take(2)
        n = head[1] & 127
        if n == 126:
            n = struct.unpack(">H", take(2))[0]
        elif n == 127:
            n = struct.unpack(">Q", take(8))[0]
        data += take(n)
        if head[0] & 0x80:
            return json.loads(data)

def call(method, **params):
    ids[0] += 1
    data = json.dumps({"id": ids[0], "method": method, "params": params}).encode()
    mask = os.urandom(4)
    n = len(data)
    head = bytes([0x81]) + (bytes([0x80 | n]) if n < 126 else bytes([0x80 | 126]) + struct.pack(">H", n)
                            if n < 65536 else bytes([0x80 | 127]) + struct.pack(">Q", n))
    sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))
    while True:
        reply = message()
        if reply.get("id") == ids[0]:
            return reply.get("result", {})

def js(expression):
    return call("Runtime.evaluate", expression=expression, returnByValue=True)["result"].get("value")

def shot(name):
    data = call("Page.captureScreenshot", format="png")["data"]
    with open(os.path.join(out, name), "wb") as f:
        f.write(base64.b64decode(data))

def key(name, code):
    for kind in ("rawKeyDown", "keyUp"):
        call("Input.dispatchKeyEvent", type=kind, key=name, code=name, windowsVirtualKeyCode=code)

def pointer(x, y):
    call("Input.dispatchMouseEvent", type="mouseMoved", x=x, y=y, button="none")

call("Emulation.setDeviceMetricsOverride", width=1400, height=900, deviceScaleFactor=1, mobile=False)
call("Page.navigate", url=url)
time.sleep(4)  # the table, then the live stream
js("document.getElementById('table-scroll').focus()")
for _ in range(14):
    key("ArrowDown", 40)
pointer(700, 600)
js("document.activeElement.blur()")
time.sleep(0.5)
shot("web-view.png")

js("document.querySelector('[data-symbol=MSFT]').click()")
time.sleep(2)
left, top, width, height = js("(() => { const r = document.getElementById('chart-canvas')"
                              ".getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; })()")
for step in range(5):
    pointer(int(left + width * 0.62) - 40 + 10 * step, int(top + height * 0.33))
    time.sleep(0.1)
time.sleep(0.5)
shot("web-chart.png")
EOF
echo "wrote $out/web-view.png and $out/web-chart.png"
