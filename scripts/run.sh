#!/usr/bin/env bash
# Builds and runs Velmora. The programs run inside run-data/ (created on the
# first run, kept out of git), next to the stand-in quote service, which is
# started in the background and stopped when the program exits.
# Without a display the window-free velmora-monitor runs instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
mkdir -p build
bash scripts/build.sh build/main -DCMAKE_BUILD_TYPE=RelWithDebInfo
bin="$root/build/main/bin"

data="${VELMORA_DATA_DIR:-$root/run-data}"
mkdir -p "$data"
cd "$data"

standin_pid=""
stop_standin() {
  if [ -n "$standin_pid" ]; then
    kill "$standin_pid" 2>/dev/null || true
    wait "$standin_pid" 2>/dev/null || true
  fi
}
trap stop_standin EXIT

if [ -x "$bin/quote-standin" ]; then
  "$bin/quote-standin" >"$data/quote-standin.out" 2>&1 &
  standin_pid=$!
  for _ in $(seq 1 50); do
    grep -q "listening on" "$data/quote-standin.out" 2>/dev/null && break
    sleep 0.1
  done
  if grep -q "listening on" "$data/quote-standin.out" 2>/dev/null; then
    echo "quote-standin: $(head -n 1 "$data/quote-standin.out")"
  else
    echo "quote-standin did not start (see $data/quote-standin.out); is its port already in use?"
  fi
fi

echo "Data folder: $data"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$bin/velmora" "$@"
else
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): running velmora-monitor"
  echo "without windows instead. Stop it with Ctrl+C."
  "$bin/velmora-monitor" "$@"
fi
