#!/usr/bin/env bash
# Installs the data sets that some tests read (real prices for the stand-in
# quote service) into build/test-data/. Idempotent and quiet when present;
# the tests that need a file skip themselves when it is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest="$root/build/test-data"
sp500="$dest/node_modules/vega-datasets/data/sp500-2000.csv"

if [ -f "$sp500" ]; then
  exit 0
fi
if ! command -v npm >/dev/null 2>&1; then
  echo "fetch-test-data: npm not found; the S&P 500 test will be skipped" >&2
  exit 0
fi

mkdir -p "$dest"
# A private package.json keeps npm from climbing to a parent folder's.
if [ ! -f "$dest/package.json" ]; then
  printf '{ "name": "velmora-test-data", "version": "1.0.0", "private": true }\n' >"$dest/package.json"
fi
if ! (cd "$dest" && npm install --no-audit --no-fund --silent --save=false "vega-datasets@2.11.0" >/dev/null 2>&1); then
  echo "fetch-test-data: npm install vega-datasets failed; the S&P 500 test will be skipped" >&2
  exit 0
fi
if [ ! -f "$sp500" ]; then
  echo "fetch-test-data: $sp500 missing after install; the S&P 500 test will be skipped" >&2
fi
