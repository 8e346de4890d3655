#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds one tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >"$dir.configure.log" 2>&1 || {
  cat "$dir.configure.log"
  exit 1
}
# NINJA_TARGETS limits the build to some targets (the ThreadSanitizer tree).
# shellcheck disable=SC2086
ninja -C "$dir" ${NINJA_TARGETS:-} >"$dir.build.log" 2>&1 || {
  grep -E -B2 -A12 'error|FAILED' "$dir.build.log" | head -n 200
  exit 1
}
