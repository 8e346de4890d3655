#!/usr/bin/env bash
# What open event streams cost the loader: velmora-monitor with N securities
# on quote-standin (loopback, QuoteInterval=0) and its web view, once with
# no browser and once with C event-stream clients (curl) reading all the
# time. After every security has loaded, the duration of each further loader
# pass is read from /api/health (lastPassSeconds) until S passes are seen;
# the median of each run is printed with the difference.
#
#   bench/web_pass.sh [--securities N] [--clients C] [--samples S] [--threads T] [BIN_DIR]
#
# BIN_DIR holds velmora-monitor and quote-standin (default $VELMORA_BIN_DIR,
# else build/main/bin); nothing is built. Defaults: 512 securities, 50
# clients, 20 passes, 4 loader threads.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
securities=512
clients=50
samples=20
threads=4
bin=""
while [ $# -gt 0 ]; do
  case "$1" in
    --securities) securities=$2; shift 2 ;;
    --clients) clients=$2; shift 2 ;;
    --samples) samples=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "web_pass: unknown option '$1' (see --help)" >&2; exit 2 ;;
    *) bin=$1; shift ;;
  esac
done
bin=${bin:-${VELMORA_BIN_DIR:-$root/build/main/bin}}
for program in velmora-monitor quote-standin; do
  [ -x "$bin/$program" ] || { echo "web_pass: no $bin/$program" >&2; exit 1; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/web_pass.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The line "PREFIX...:PORT..." that a program prints to FILE; waits up to 10 s.
port_from() {
  local file=$1 pattern=$2 port=""
  for _ in $(seq 1 200); do
    port=$(sed -n "s|$pattern|\\1|p" "$file" | head -n 1)
    [ -n "$port" ] && { echo "$port"; return 0; }
    sleep 0.05
  done
  echo "web_pass: no port in $file" >&2
  cat "${file%.out}.err" >&2 || true
  exit 1
}

: >"$scratch/standin.out"
"$bin/quote-standin" --port 0 >"$scratch/standin.out" 2>"$scratch/standin.err" &
pids+=($!)
standin_port=$(port_from "$scratch/standin.out" '^listening on http://[^ ]*:\([0-9][0-9]*\)$')

# One run with `count` clients; prints the median pass in seconds.
run() {
  local count=$1 dir base web health passes last seen=0 i
  dir=$(mktemp -d "$scratch/run.XXXXXX")
  awk -v n="$securities" 'BEGIN { for (i = 0; i < n; i++) {
      s = ""; k = i; for (j = 0; j < 4; j++) { s = sprintf("%c", 65 + k % 26) s; k = int(k / 26) }
      print "Q" s } }' >"$dir/List.dat"
  base="http://127.0.0.1:$standin_port"
  printf '%s\r' "YahooRealTimeQuoteSpreadSheetURL=$base/d/quotes.csv" \
    "YahooHistoryQuoteSpreadSheetURL=$base/table.csv" "YahooHistoryQuoteURL=$base/q/hp" \
    "StartRealTimeQuoteLoader=Yes" "ThreadLoadQuoteNum=$threads" "QuoteInterval=0" >"$dir/Config.ini"
  : >"$dir/monitor.out"
  (cd "$dir" && exec "$bin/velmora-monitor" --web 127.0.0.1:0 >monitor.out 2>monitor.err) &
  local monitor=$!
  pids+=("$monitor")
  web=$(port_from "$dir/monitor.out" '^velmora-monitor: web view at http://127.0.0.1:\([0-9][0-9]*\)/$')
  local readers=()
  for ((i = 0; i < count; i++)); do
    curl -sN "http://127.0.0.1:$web/api/events" >/dev/null 2>&1 &
    readers+=($!)
  done
  : >"$dir/passes.txt"
  local deadline=$((SECONDS + 600))
  while [ "$seen" -lt "$samples" ] && [ $SECONDS -lt $deadline ]; do
    health=$(curl -s "http://127.0.0.1:$web/api/health" || true)
    passes=$(echo "$health" | sed -n 's/.*"passes":\([0-9]*\).*/\1/p')
    loaded=$(echo "$health" | sed -n 's/.*"loaded":\([0-9]*\).*/\1/p')
    clientsSeen=$(echo "$health" | sed -n 's/.*"eventClients":\([0-9]*\).*/\1/p')
    # Passes are counted once every security is in and a pass more has ended.
    if [ "${loaded:-0}" = "$securities" ] && [ -n "$passes" ] && [ "$passes" != "${last:-}" ]; then
      if [ -n "${last:-}" ]; then
        echo "$health" | sed -n 's/.*"lastPassSeconds":\([0-9.e+-]*\).*/\1/p' >>"$dir/passes.txt"
        seen=$((seen + 1))
        [ "$clientsSeen" = "$count" ] || echo "web_pass: $clientsSeen of $count clients connected" >&2
      fi
      last=$passes
    fi
    sleep 0.05
  done
  kill -TERM "$monitor" 2>/dev/null || true
  for pid in "${readers[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wait "$monitor" 2>/dev/null || true
  sort -g "$dir/passes.txt" | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else print v[int((NR + 1) / 2)] }'
}

without=$(run 0)
with=$(run "$clients")
echo "securities $securities, loader threads $threads, $samples passes each (median seconds per pass)"
echo "no clients:      $without"
echo "$clients clients:      $with"
awk -v a="$without" -v b="$with" 'BEGIN { if (a > 0) printf "difference:      %+.1f %%\n", (b - a) / a * 100 }'
