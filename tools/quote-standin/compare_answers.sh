#!/usr/bin/env bash
# compare_answers.sh OLD NEW: starts two quote-standin programs with the same
# fixed clock, data folder, faults and splits, asks both the same list of
# URLs (every endpoint, good requests and bad ones) and compares status,
# content type and body byte for byte. Prints one line per difference and
# a summary; exits 1 when any answer differs.
set -euo pipefail
old=$1
new=$2
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/data"
cat >"$work/data/ABC.csv" <<'EOF'
Date,Open,High,Low,Close,Volume,Adj Close
2005-12-05,10.00,10.50,9.80,10.20,1200300,10.10
2005-12-02,9.90,10.10,9.70,10.00,1100000,9.90
1-Dec-05,9.50,9.95,9.40,9.85,900000,9.75
2005-11-30,9.40,9.60,9.30,9.45,800000,9.35
2005-12-06,10.20,10.40,10.00,10.30,1500000,10.20
EOF
cat >"$work/data/^XYZ.csv" <<'EOF'
date,close,open,high,low,volume
2005-12-05,1000.5,990,1005,985,3000000000
2005-12-06,1010,1000.5,1012,998,3100000000
EOF

options=(--port 0 --data-dir "$work/data" --page-size 50
  --fault ERRA=404 --fault ERRB=500 --fault ERRC=502 --fault ERRD=401
  --fault MOVA=redirect --fault MOVB=redirect-twice --fault MOVC=redirect-no-location
  --fault EMPT=empty --fault RATE=ratelimit=30 --fault CHAL=challenge --fault QUOT=quota
  --fault CRMB=crumb --fault ZERO=zeros --fault NULL=nulls --fault NOTF=notfound
  --provider-split MSFT=2005-06-01:2 --provider-split IBM=2004-03-10:1.5)

# start NAME BINARY NOW [more options]: the server's base URL in $work/NAME.url.
start() {
  local name=$1 binary=$2 now=$3
  shift 3
  "$binary" "${options[@]}" --now "$now" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  pids+=($!)
  for _ in $(seq 100); do
    if grep -q '^listening on ' "$work/$name.out"; then
      sed -n 's/^listening on //p' "$work/$name.out" | head -n 1 >"$work/$name.url"
      return
    fi
    sleep 0.05
  done
  echo "compare_answers.sh: $binary did not start" >&2
  cat "$work/$name.err" >&2
  exit 2
}

# Paths asked of every server (the fixed clock is a trading day, 10:42 in
# New York, while the market is open; the second pair sees it closed).
paths=(
  "/"
  "/nothing"
  "/table.csv?s=MSFT&a=0&b=1&c=2005&d=11&e=31&f=2005&g=d"
  "/table.csv?s=MSFT&a=0&b=1&c=1990&d=11&e=31&f=2005&g=w"
  "/table.csv?s=MSFT&a=0&b=1&c=1970&d=11&e=31&f=2005&g=m"
  "/table.csv?s=msft&a=1&b=31&c=2004&d=1&e=30&f=2005&g=d&y=50&z=50"
  "/table.csv?s=IBM&a=0&b=1&c=2005&d=11&e=31&f=2005&g=d&y=100"
  "/table.csv?s=^DJI&a=5&b=1&c=2005&d=11&e=31&f=2005&g=d"
  "/table.csv?s=^GSPC&a=0&b=1&c=1999&d=11&e=31&f=2005&g=w"
  "/table.csv?s=ABC&a=0&b=1&c=2005&d=11&e=31&f=2005&g=d"
  "/table.csv?s=ABC&a=0&b=1&c=2005&d=11&e=31&f=2005&g=w"
  "/table.csv?s=%5EXYZ&a=0&b=1&c=2005&d=11&e=31&f=2005&g=d"
  "/table.csv?s=BRK-B&a=0&b=1&c=2000&d=0&e=1&f=2001&g=m"
  "/table.csv?s=MSFT&a=12&b=1&c=2005&d=11&e=31&f=2005"
  "/table.csv?s=MSFT&b=1&c=2005&d=11&e=31&f=2005"
  "/table.csv?s=MSFT&a=0&b=1&c=2005&d=11&e=31&f=2005&g=x"
  "/table.csv?s=MSFT&a=0&b=1&c=2005&d=11&e=31&f=2005&y=-1"
  "/table.csv?a=0&b=1&c=2005&d=11&e=31&f=2005"
  "/table.csv?s=bad%20symbol&a=0&b=1&c=2005&d=11&e=31&f=2005"
  "/q/hp?s=MSFT&a=0&b=1&c=2005&d=11&e=31&f=2005&g=d"
  "/q/hp?s=MSFT&a=0&b=1&c=2005&d=11&e=31&f=2005&g=d&z=50&y=50"
  "/q/hp?s=^IXIC&a=0&b=1&c=2000&d=11&e=31&f=2005&g=m"
  "/q/hp?s=ABC&a=0&b=1&c=2005&d=11&e=31&f=2005&g=d"
  "/q/hp?s=MSFT&a=0&b=1&c=2005&d=11&e=31&f=2005&g=q"
  "/d/quotes.csv?s=MSFT&f=sl1d1t1c1ohgv"
  "/d/quotes.csv?s=msft&f=st5l9c6p4b1a3"
  "/d/quotes.csv?s=^IXIC&f=sl1d1t1c1ohgv"
  "/d/quotes.csv?s=%5ETV.O&f=sl1d1t1c1ohgv"
  "/d/quotes.csv?s=ABC&f=sl1d1t1c1ohgvnxyz"
  "/d/quotes.csv?s=EURUSD=X&f=sl1"
  "/d/quotes.csv?s=MSFT&f=BAD"
  "/d/quotes.csv?s=MSFT"
  "/stock-chart.php?symbol=MSFT"
  "/stock-chart.php?symbol=NASDAQ"
  "/stock-chart.php?symbol=abc"
  "/stock-chart.php?symbol=%3Cb%3E"
  "/v8/finance/chart/MSFT?range=5d&interval=1d"
  "/v8/finance/chart/MSFT?range=30d&interval=1wk"
  "/v8/finance/chart/MSFT?range=90d&interval=1mo"
  "/v8/finance/chart/MSFT?period1=1104537600&period2=1133913600&interval=1d"
  "/v8/finance/chart/MSFT?period1=946684800&period2=1133913600&interval=1wk"
  "/v8/finance/chart/IBM?period1=946684800&period2=1233913600&interval=1mo"
  "/v8/finance/chart/%5EGSPC?range=10d&interval=1d"
  "/v8/finance/chart/ABC?range=10d&interval=1d"
  "/v8/finance/chart/ABC?period1=0&period2=2000000000&interval=1wk"
  "/v8/finance/chart/MSFT?interval=1d"
  "/v8/finance/chart/MSFT?range=5x&interval=1d"
  "/v8/finance/chart/MSFT?range=5d&interval=2h"
  "/v8/finance/chart/MSFT?period1=abc&interval=1d"
  "/tiingo/daily/msft/prices?startDate=2005-01-01&endDate=2005-12-31&format=csv"
  "/tiingo/daily/msft/prices?startDate=1999-01-01&endDate=2005-12-31&resampleFreq=weekly&format=csv"
  "/tiingo/daily/msft/prices?startDate=1990-01-01&resampleFreq=monthly&format=csv"
  "/tiingo/daily/ibm/prices?startDate=2004-01-01&endDate=2004-06-30&format=csv"
  "/tiingo/daily/brk-b/prices?endDate=2005-06-30&format=csv"
  "/tiingo/daily/abc/prices?startDate=2005-01-01&format=csv"
  "/tiingo/daily/msft/prices?startDate=2005-02-30&format=csv"
  "/tiingo/daily/msft/prices?startDate=2005-01-01&resampleFreq=hourly&format=csv"
  "/tiingo/daily/msft/prices?startDate=2005-01-01"
  "/tiingo/daily/%5EDJI/prices?startDate=2005-01-01&format=csv"
  "/tiingo/daily/vod.l/prices?startDate=2005-01-01&format=csv"
  "/iex/msft"
  "/iex/msft,ibm,brk-b,abc,vod.l,%5Edji"
  "/iex/"
  "/api/v1/quote?symbol=MSFT&token=k"
  "/api/v1/quote?symbol=ABC"
  "/api/v1/quote?symbol=%5EDJI"
  "/api/v1/quote?symbol=RY.TO"
  "/api/v1/quote"
  "/moved/table.csv?s=MOVA&a=0&b=1&c=2005&d=11&e=31&f=2005"
  "/moved/moved/table.csv?s=MOVB&a=0&b=1&c=2005&d=11&e=31&f=2005"
)
for sym in ERRA ERRB ERRC ERRD MOVA MOVB MOVC EMPT RATE CHAL QUOT CRMB ZERO NULL NOTF; do
  paths+=("/table.csv?s=$sym&a=0&b=1&c=2005&d=11&e=31&f=2005"
    "/d/quotes.csv?s=$sym&f=sl1d1t1c1ohgv"
    "/v8/finance/chart/$sym?range=20d&interval=1d"
    "/tiingo/daily/$sym/prices?startDate=2005-11-01&format=csv"
    "/iex/$sym,msft"
    "/api/v1/quote?symbol=$sym")
done

count=0
differ=0
# ask NAME PATH [curl options]: status, type and body of one answer.
ask() {
  local name=$1 path=$2
  shift 2
  curl -sS -g --max-time 10 -o "$work/body.$name" -D "$work/head.$name" "$@" "$(cat "$work/$name.url")$path" ||
    true
  # A redirect names the server's own port; the rest must match exactly.
  grep -i -E '^(HTTP/|content-type:|location:|retry-after:|x-standin-fault:)' "$work/head.$name" |
    tr -d '\r' | sed "s|$(cat "$work/$name.url")|BASE|" >"$work/meta.$name" || true
}
compare() {
  local path=$1
  shift
  ask a "$path" "$@"
  ask b "$path" "$@"
  count=$((count + 1))
  if ! cmp -s "$work/body.a" "$work/body.b" || ! cmp -s "$work/meta.a" "$work/meta.b"; then
    differ=$((differ + 1))
    echo "differs: $path $*"
  fi
}

for now in 2005-12-06T10:42 2005-12-10T09:00 2007-03-11T03:30; do
  start a "$old" "$now"
  start b "$new" "$now"
  for path in "${paths[@]}"; do compare "$path"; done
  compare "/table.csv?s=ERRD&a=0&b=1&c=2005&d=11&e=31&f=2005" -u user:secret
  kill "${pids[@]}" 2>/dev/null || true
  wait "${pids[@]}" 2>/dev/null || true
  pids=()
done
# With a required key: the key refusals and the answers behind them.
start a "$old" 2026-12-07T14:03 --require-key sekrit --provider-fault tiingo=ratelimit=5
start b "$new" 2026-12-07T14:03 --require-key sekrit --provider-fault tiingo=ratelimit=5
for path in "/api/v1/quote?symbol=MSFT" "/api/v1/quote?symbol=MSFT&token=sekrit" \
  "/api/v1/quote?symbol=MSFT&token=wrong" "/tiingo/daily/msft/prices?startDate=2026-01-01&format=csv" \
  "/iex/msft" "/v8/finance/chart/MSFT?range=5d&interval=1d"; do
  compare "$path"
  compare "$path" -H "Authorization: Token sekrit"
done

echo "$count URLs asked, $differ answers differ"
[[ $differ -eq 0 ]]
