#!/usr/bin/env bash
# The first loading pass: how long `velmora-monitor --passes 1` takes to load
# N securities from quote-standin on loopback (QuoteInterval=0; each security
# costs 6 requests: 4 history pages and 2 quote records).
#
#   bench/first_pass.sh [options] [BIN_DIR]
#
# BIN_DIR holds velmora-monitor and quote-standin (default $VELMORA_BIN_DIR,
# else build/main/bin); nothing is built. Options:
#
#   --sizes "64 256 512"   numbers of securities (at most 512, the list's limit)
#   --threads "16 1"       loader threads (ThreadLoadQuoteNum)
#   --latencies "0 20"     quote-standin --latency in milliseconds
#   --repeat N             runs of each setting (default 3); the median is shown
#   --backlog N            quote-standin's queue of pending connections
#                          (default: its own, 1024; 5 shows the cost of a short one)
#   --per-host N           MaxConnectionsPerHost for the monitor (default: its
#                          own, 8; 16 lets every thread have a transfer in flight)
#   --hung                 instead: 512 securities, 16 threads, 8 of them hung
#   --yahoo                instead: 512 securities from quote-standin's Yahoo chart
#                          endpoint (HistoryProvider and QuoteProvider YahooChart),
#                          16 threads at 20 ms unless --threads / --latencies say
#                          otherwise: a cold first pass, then a warm one in the
#                          same folder (its local history files in place)
#   --keep                 keep the scratch folders (their path is printed)
#
# Without --threads and --latencies it runs three settings per size: 16
# threads at latency 0, 1 thread at latency 0 and 16 threads at 20 ms; with
# either, every thread count at every latency (a missing list is "16" or "0").
#
# Every run gets a scratch folder with a List.dat of N distinct symbols and a
# Config.ini pointing at its own quote-standin (--port 0, --request-log). Per
# run it prints the wall time and the monitor's user+sys CPU, the requests
# quote-standin logged, and how many of the quote requests were real-time
# refreshes (a security's quote requests after the 2 of its history load),
# made by threads that finished while others still loaded.
#
# --hung measures when the last local history file (SYMBOL.csv) of the 504
# healthy securities appeared, with 8 securities answering never (quote-standin
# --fault SYM=hang) at the start of every second thread's range, against the
# same run without faults.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
sizes="64 256 512"
threads=""
latencies=""
repeat=3
hung=0
yahoo=0
backlog=""
keep=0
cap=""
bin=""

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
  case "$1" in
    --sizes) sizes=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    --latencies) latencies=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --backlog) backlog=$2; shift 2 ;;
    --per-host) cap=$2; shift 2 ;;
    --hung) hung=1; shift ;;
    --yahoo) yahoo=1; shift ;;
    --keep) keep=1; shift ;;
    -h | --help) usage; exit 0 ;;
    -*) echo "first_pass: unknown option '$1' (see --help)" >&2; exit 2 ;;
    *) bin=$1; shift ;;
  esac
done
bin=${bin:-${VELMORA_BIN_DIR:-$root/build/main/bin}}
monitor="$bin/velmora-monitor"
standin="$bin/quote-standin"
for program in "$monitor" "$standin"; do
  if [ ! -x "$program" ]; then
    echo "first_pass: no $program (build velmora-monitor and quote-standin first)" >&2
    exit 1
  fi
done
sizes=${sizes//,/ }
threads=${threads//,/ }
latencies=${latencies//,/ }
for n in $sizes $threads $latencies $repeat $backlog; do
  case "$n" in
    '' | *[!0-9]*) echo "first_pass: '$n' is not a whole number" >&2; exit 2 ;;
  esac
done
for n in $sizes; do
  if [ "$n" -lt 1 ] || [ "$n" -gt 512 ]; then
    echo "first_pass: sizes run from 1 to 512" >&2
    exit 2
  fi
done
for n in $threads; do
  if [ "$n" -lt 1 ] || [ "$n" -gt 16 ]; then
    echo "first_pass: threads run from 1 to 16" >&2
    exit 2
  fi
done
[ "$repeat" -ge 1 ] || { echo "first_pass: --repeat wants 1 or more" >&2; exit 2; }

# Settings as THREADS:LATENCY.
if [ -z "$threads" ] && [ -z "$latencies" ]; then
  settings="16:0 1:0 16:20"
else
  settings=""
  for l in ${latencies:-0}; do
    for t in ${threads:-16}; do settings="$settings $t:$l"; done
  done
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/first_pass.XXXXXX")
standin_pid=""
stop_standin() {
  if [ -n "$standin_pid" ]; then
    kill -TERM "$standin_pid" 2>/dev/null || true
    wait "$standin_pid" 2>/dev/null || true
  fi
  standin_pid=""
}
cleanup() {
  stop_standin
  if [ "$keep" = 1 ]; then echo "scratch folders kept in $scratch"; else rm -rf "$scratch"; fi
}
trap cleanup EXIT

# The runs use copies, so a rebuild meanwhile does not mix two builds.
built=$(date -u -r "$monitor" +%Y-%m-%dT%H:%MZ)
mkdir "$scratch/bin"
cp "$monitor" "$standin" "$scratch/bin/"
monitor="$scratch/bin/velmora-monitor"
standin="$scratch/bin/quote-standin"

# The first N symbols: "Q" and four letters, none an index or a name the
# program maps.
symbols() {
  awk -v n="$1" 'BEGIN {
    for (i = 0; i < n; i++) {
      s = ""
      k = i
      for (j = 0; j < 4; j++) { s = sprintf("%c", 65 + k % 26) s; k = int(k / 26) }
      print "Q" s
    }
  }'
}

# Starts quote-standin for a run folder; sets standin_pid and port.
start_standin() {
  local dir=$1 latency=$2
  shift 2
  # Made first: the server may open it only after this shell starts reading.
  : >"$dir/standin.out"
  "$standin" --port 0 --latency "$latency" --request-log "$dir/requests.log" ${backlog:+--backlog "$backlog"} "$@" \
    >"$dir/standin.out" 2>"$dir/standin.err" &
  standin_pid=$!
  port=""
  for _ in $(seq 1 200); do
    port=$(sed -n 's|^listening on http://[^ ]*:\([0-9][0-9]*\)$|\1|p' "$dir/standin.out")
    [ -n "$port" ] && return 0
    sleep 0.05
  done
  echo "first_pass: quote-standin did not start" >&2
  cat "$dir/standin.err" >&2
  exit 1
}

# A run folder with a List.dat of N symbols; prints its path.
make_folder() {
  local dir
  dir=$(mktemp -d "$scratch/run.XXXXXX")
  symbols "$1" >"$dir/List.dat"
  echo "$dir"
}

write_config() {
  local dir=$1 t=$2 base="http://127.0.0.1:$port"
  printf '%s\r' "YahooRealTimeQuoteSpreadSheetURL=$base/d/quotes.csv" \
    "YahooHistoryQuoteSpreadSheetURL=$base/table.csv" "YahooHistoryQuoteURL=$base/q/hp" \
    "StartRealTimeQuoteLoader=Yes" "ThreadLoadQuoteNum=$t" "QuoteInterval=0" >"$dir/Config.ini"
  if [ -n "$cap" ]; then printf '%s\r' "MaxConnectionsPerHost=$cap" >>"$dir/Config.ini"; fi
  if [ "$yahoo" = 1 ]; then
    printf '%s\r' "HistoryProvider=YahooChart" "QuoteProvider=YahooChart" "YahooChartURL=$base" >>"$dir/Config.ini"
  fi
}

# Runs the monitor in a prepared folder; sets wall, cpu, started, status.
run_monitor() {
  local dir=$1 times
  started=$(date +%s.%N)
  status=0
  (
    cd "$dir"
    TIMEFORMAT='%R %U %S'
    { time "$monitor" --passes 1 >monitor.out 2>monitor.err; } 2>times.txt
  ) || status=$?
  times=$(tail -n 1 "$dir/times.txt")
  wall=$(echo "$times" | awk '{print $1}')
  cpu=$(echo "$times" | awk '{printf "%.2f", $2 + $3}')
  if [ "$status" != 0 ]; then
    echo "first_pass: velmora-monitor ended with status $status in $dir" >&2
    head -n 5 "$dir/monitor.err" >&2
  fi
}

# "REQUESTS REALTIME": lines of the request log, and the quote requests of
# each symbol beyond the 2 its history load makes.
count_requests() {
  awk '
    { total++ }
    $4 ~ /^\/d\/quotes\.csv\?/ {
      if (match($4, /[?&]s=[^&]*/)) { s = substr($4, RSTART + 3, RLENGTH - 3); if (++quotes[s] > 2) realtime++ }
    }
    END { printf "%d %d\n", total, realtime }' "$1"
}

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

echo "velmora-monitor --passes 1 against quote-standin on loopback, QuoteInterval=0"
echo "binaries: $bin (velmora-monitor built $built); source $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?')$(git -C "$root" diff --quiet HEAD -- src 2>/dev/null || echo ' with changes in src/'), $(date -u +%Y-%m-%dT%H:%MZ)"

if [ "$hung" = 1 ]; then
  n=512
  stall=$(sed -n 's/.*long stallTimeoutMs_ = \([0-9][0-9]*\);.*/\1/p' "$root/src/net/internet_session.h" | head -n 1)
  # The first security of every second thread's range (32 each with 16 threads).
  faults=()
  hung_symbols=""
  for t in 1 3 5 7 9 11 13 15; do
    s=$(symbols $((t * n / 16 + 1)) | tail -n 1)
    faults+=(--fault "$s=hang")
    hung_symbols="$hung_symbols $s"
  done
  echo "$n securities, 16 threads, latency 0; hung:$hung_symbols"
  for kind in healthy hung; do
    dir=$(make_folder $n)
    if [ "$kind" = hung ]; then start_standin "$dir" 0 "${faults[@]}"; else start_standin "$dir" 0; fi
    write_config "$dir" 16
    run_monitor "$dir"
    stop_standin
    # The newest local history file of a healthy security, from the start.
    last=$(find "$dir" -maxdepth 1 -name 'Q*.csv' -printf '%T@ %f\n' |
      awk -v h="$hung_symbols" -v t0="$started" '
        BEGIN { split(h, list, " "); for (i in list) skip[list[i] ".csv"] = 1 }
        !($2 in skip) { files++; if ($1 > newest) newest = $1 }
        END { printf "%d %.2f\n", files, files ? newest - t0 : 0 }')
    read -r requests realtime < <(count_requests "$dir/requests.log")
    printf '%-8s last of %s healthy files after %6.2f s; run %6.2f s, CPU %s s, %s requests, %s real-time quote requests\n' \
      "$kind" "${last% *}" "${last#* }" "$wall" "$cpu" "$requests" "$realtime"
  done
  if [ -n "$stall" ]; then
    echo "the loader's stall limit: $((stall / 1000)) s without a byte ends a transfer (src/net/internet_session.h); a history load is tried 3 times"
  else
    echo "the loader's stall limit: see src/net/internet_session.h (stallTimeoutMs)"
  fi
  exit 0
fi

if [ "$yahoo" = 1 ]; then
  n=512
  t=${threads:-16}
  l=${latencies:-20}
  # One market day for both runs, so the warm run finds its files current.
  now=$(TZ=America/New_York date +%Y-%m-%dT%H:%M)
  echo "$n securities from the Yahoo chart endpoint, $t threads, latency $l ms, quote-standin --now $now"
  printf '%-6s %-11s %-9s %-9s %-9s %-16s %s\n' run 'wall s' 'cpu s' requests history 'of them 10 days' 'quote requests'
  for r in $(seq 1 "$repeat"); do
    dir=$(make_folder $n)
    for kind in cold warm; do
      # The warm run measures loading, not waiting for the budget the cold
      # run spent: the providers' request counts start afresh.
      rm -f "$dir/Providers.state"
      : >"$dir/requests.log"
      start_standin "$dir" "$l" --now "$now"
      write_config "$dir" "$t"
      run_monitor "$dir"
      stop_standin
      # History requests carry period1/period2, quote requests range=5d.
      read -r requests history short quotes < <(awk '
        { total++ }
        $4 ~ /^\/v8\/finance\/chart\// && match($4, /period1=[0-9]+&period2=[0-9]+/) {
          history++
          split(substr($4, RSTART, RLENGTH), p, /[=&]/)
          if (p[4] - p[2] <= 10 * 86400) short++
        }
        $4 ~ /range=5d/ { quotes++ }
        END { printf "%d %d %d %d\n", total, history, short, quotes }' "$dir/requests.log")
      printf '%-6s %-11s %-9s %-9s %-9s %-16s %s\n' "$kind" "$wall" "$cpu" "$requests" "$history" "$short" "$quotes"
    done
    [ "$keep" = 1 ] || rm -rf "$dir"
  done
  exit 0
fi

printf '%-10s %-8s %-8s %-11s %-9s %-9s %-9s %s\n' securities threads latency 'wall s' 'cpu s' requests realtime 'bound s'
declare -A cell
for n in $sizes; do
  for setting in $settings; do
    t=${setting%%:*}
    l=${setting##*:}
    walls="" cpus="" requests="" realtime=""
    for ((r = 0; r < repeat; r++)); do
      dir=$(make_folder "$n")
      start_standin "$dir" "$l"
      write_config "$dir" "$t"
      run_monitor "$dir"
      stop_standin
      walls="$walls $wall"
      cpus="$cpus $cpu"
      read -r req rt < <(count_requests "$dir/requests.log")
      requests="$requests $req"
      realtime="$realtime $rt"
      [ "$keep" = 1 ] || rm -rf "$dir"
    done
    # Requests × latency / threads: the time the answers' delays alone take.
    bound=$(awk -v n="$n" -v l="$l" -v t="$t" 'BEGIN { printf "%.2f", 6 * n * l / 1000 / t }')
    w=$(echo "$walls" | median)
    printf '%-10s %-8s %-8s %-11s %-9s %-9s %-9s %s\n' "$n" "$t" "$l" "$w" "$(echo "$cpus" | median)" "$(echo "$requests" | median)" \
      "$(echo "$realtime" | median)" "$bound"
    echo "           runs:$walls"
    cell[$n,$setting]=$w
  done
done

# The summary table: one column per setting, then the bound of each
# setting with a latency.
echo
header="| securities |"
rule="|---|"
for setting in $settings; do
  header="$header ${setting%%:*} thr, ${setting##*:} ms |"
  rule="$rule---|"
done
for setting in $settings; do
  if [ "${setting##*:}" != 0 ]; then
    header="$header bound ${setting##*:} ms (req × lat / ${setting%%:*}) |"
    rule="$rule---|"
  fi
done
echo "$header"
echo "$rule"
for n in $sizes; do
  row="| $n |"
  for setting in $settings; do row="$row ${cell[$n,$setting]} s |"; done
  for setting in $settings; do
    t=${setting%%:*}
    l=${setting##*:}
    if [ "$l" != 0 ]; then
      row="$row $(awk -v n="$n" -v l="$l" -v t="$t" 'BEGIN { printf "%.2f", 6 * n * l / 1000 / t }') s |"
    fi
  done
  echo "$row"
done
