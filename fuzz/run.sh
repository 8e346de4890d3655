#!/usr/bin/env bash
# run.sh BIN_DIR SECONDS: runs every fuzz target (fuzz/*_fuzz.cpp) for SECONDS
# over a copy of its seed corpus in fuzz/corpus/<target>/. Exits non-zero when
# a target is missing or finds anything; the inputs that failed are kept in
# ./fuzz-artifacts/<target>/.
set -uo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 BIN_DIR SECONDS_PER_TARGET" >&2
  exit 2
fi
bin=$(cd "$1" && pwd) || exit 2
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
out=$PWD/fuzz-artifacts
# Some targets create and delete files on every run: a RAM-backed folder
# keeps them fast where the machine has one.
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
# Targets that write files do it under TMPDIR; a crash leaves nothing behind.
export TMPDIR=$work

status=0
for source in "$here"/*_fuzz.cpp; do
  target=$(basename "$source" .cpp)
  exe=$bin/$target
  if [[ ! -x $exe ]]; then
    echo "FAIL $target: $exe was not built"
    status=1
    continue
  fi
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  if [[ -d $here/corpus/$target ]]; then cp -R "$here/corpus/$target/." "$work/$target/corpus/"; fi
  options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1
    -artifact_prefix="$work/$target/artifacts/")
  if [[ -f $here/$target.dict ]]; then options+=(-dict="$here/$target.dict"); fi
  # Absolute paths: targets that write files move into a folder of their own.
  if (cd "$work/$target" && "$exe" "${options[@]}" "$work/$target/corpus" >log 2>&1); then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$target/log" | grep -o '[0-9]*$')
    echo "ok   $target: ${runs:-?} runs in ${seconds}s"
  else
    echo "FAIL $target:"
    tail -n 60 "$work/$target/log"
    mkdir -p "$out/$target"
    cp "$work/$target/artifacts/"* "$out/$target/" 2>/dev/null
    echo "failing inputs kept in $out/$target"
    status=1
  fi
done
exit $status
