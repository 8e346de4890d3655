#!/usr/bin/env bash
# Throughput of quote-standin on history pages: wrk with 16 concurrent
# keep-alive clients on loopback, asking for three-year daily HTML history
# pages (200 rows each) of a few symbols at several offsets.
#
#   bench/standin_throughput.sh [BUILD_DIR] [SECONDS]
#
# BUILD_DIR defaults to build/main; wrk comes from scripts/install-deps.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/main}
seconds=${2:-10}
server="$build/bin/quote-standin"

if [ ! -x "$server" ]; then
  echo "standin_throughput: no $server (build the quote-standin target first)" >&2
  exit 1
fi
if ! command -v wrk >/dev/null 2>&1; then
  echo "standin_throughput: wrk not found (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A fixed clock keeps the pages the same from run to run. The output file is
# made first: the server opens it only after this shell starts reading it.
: >"$work/out"
"$server" --port 0 --now 2005-12-06T17:00 >"$work/out" 2>"$work/err" &
pid=$!
port=""
for _ in $(seq 1 100); do
  port=$(sed -n 's|^listening on http://[^ ]*:\([0-9][0-9]*\)$|\1|p' "$work/out")
  [ -n "$port" ] && break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "standin_throughput: quote-standin did not start" >&2
  cat "$work/err" >&2
  exit 1
fi

cat >"$work/pages.lua" <<'LUA'
-- Round-robin over history pages as the program asks for them.
local symbols = {"MSFT", "IBM", "GE", "KO", "%5EIXIC", "%5EGSPC", "INTC", "XOM"}
local paths = {}
for _, s in ipairs(symbols) do
  for _, y in ipairs({0, 200, 400, 600}) do
    paths[#paths + 1] = "/q/hp?s=" .. s .. "&a=11&b=6&c=2002&d=11&e=6&f=2005&g=d&z=1095&y=" .. y
  end
end
local i = 0
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i])
end
LUA

echo "quote-standin on port $port: $seconds s, 16 connections, 2 wrk threads, HTML history pages"
wrk -t2 -c16 -d"${seconds}s" --latency -s "$work/pages.lua" "http://127.0.0.1:$port"
