#!/usr/bin/env bash
# Builds everything and runs every test: the normal build with the widget
# and integration tests, the logic under AddressSanitizer + UBSan (with the
# fuzz targets), and the threaded tests under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
mkdir -p build
rm -f build/*.ctest.log
# Real prices for the stand-in service's data-folder test (npm package).
bash scripts/fetch-test-data.sh

werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
jobs=$(nproc)
# Tests must not assume UTC.
export TZ=America/New_York
export QT_QPA_PLATFORM=offscreen

status=0
summary=()

run_ctest() {  # name dir [ctest args...]
  local name=$1 dir=$2
  shift 2
  echo "== $name tests"
  if (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300 "$@" | tee "../$name.ctest.log" | tail -n 40); then
    :
  fi
  local line
  line=$(grep -E 'tests passed|tests failed' "build/$name.ctest.log" | tail -n 1 || true)
  summary+=("$name: ${line:-no result}")
  if ! grep -q '100% tests passed' "build/$name.ctest.log"; then status=1; fi
}

echo "== format (clang-format --dry-run --Werror)"
if git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror; then
  summary+=("format: clean")
else
  summary+=("format: files need clang-format")
  status=1
fi

echo "== layers (no include reaches a higher layer)"
if bash scripts/check-layers.sh; then
  summary+=("layers: clean")
else
  summary+=("layers: includes that reach a higher layer")
  status=1
fi

echo "== lint (eslint over the web page's modules)"
lint=0
bash scripts/lint-web.sh || lint=$?
if [ $lint -eq 0 ]; then
  summary+=("lint: clean")
elif [ $lint -eq 3 ]; then
  summary+=("lint: skipped (no npm)")
else
  summary+=("lint: eslint findings in src/web/assets (or eslint not installed)")
  status=1
fi

echo "== build: main"
bash scripts/build.sh build/main -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=$werror
run_ctest main build/main

# The Debian package of the main build, unpacked into a scratch folder: each
# program must run from there alone (no build-tree library, no display) and
# answer --help and --version with the package's version.
check_package() {  # build-dir
  local dir=$1 scratch deb version program bin
  rm -f "$dir"/velmora_*.deb
  if ! (cd "$dir" && cpack -G DEB) >build/package.log 2>&1; then
    echo "cpack failed (build/package.log)"
    return 1
  fi
  deb=$(ls "$dir"/velmora_*.deb)
  version=$(dpkg-deb -f "$deb" Version)
  if dpkg-deb -c "$deb" | grep -E '/(test_[a-z_]+|velmora-bench)$'; then
    echo "the package holds tests or benchmarks"
    return 1
  fi
  scratch=$(mktemp -d)
  dpkg-deb -x "$deb" "$scratch" || { rm -rf "$scratch"; return 1; }
  local ok=0
  for program in velmora velmora-monitor velmora-analyze velmora-backtest quote-standin; do
    bin=$scratch/usr/bin/$program
    if [ ! -x "$bin" ] || [ ! -f "$scratch/usr/share/man/man1/$program.1" ]; then
      echo "$program or its manual page is missing"
      ok=1
    elif env -u LD_LIBRARY_PATH ldd "$bin" | grep -E "not found|$root/build"; then
      echo "$program needs a library the system does not have"
      ok=1
    elif ! (cd "$scratch" && env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
      "$bin" --help >/dev/null); then
      echo "$program --help failed"
      ok=1
    elif [ "$(cd "$scratch" && env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
      "$bin" --version)" != "$program $version" ]; then
      echo "$program --version does not print '$program $version'"
      ok=1
    fi
  done
  for file in usr/share/applications/velmora.desktop usr/share/icons/hicolor/scalable/apps/velmora.svg; do
    if [ ! -f "$scratch/$file" ]; then
      echo "the package has no $file"
      ok=1
    fi
  done
  rm -rf "$scratch"
  [ $ok -eq 0 ] && echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
  return $ok
}

echo "== package (cpack -G DEB, unpacked, each program's --help and --version)"
if check_package build/main; then
  summary+=("package: ok")
else
  summary+=("package: FAILED")
  status=1
fi

# The systemd user units as the user manager would load them, without a
# running systemd: a scratch copy runs the built velmora-monitor, their
# Documentation= pages are the package's own, and any warning counts. The
# package must carry them.
check_units() {  # build-dir
  local dir=$1 bin scratch out unit deb listing
  case $dir in /*) ;; *) dir=$root/$dir ;; esac
  bin=$dir/bin/velmora-monitor
  local units=(velmora-monitor.service velmora-monitor-daily.service velmora-monitor-daily.timer)
  scratch=$(mktemp -d)
  mkdir -p "$scratch/runtime" "$scratch/man/man1"
  chmod 700 "$scratch/runtime"
  cp packaging/man/*.1 "$scratch/man/man1/"
  for unit in "${units[@]}"; do
    sed "s#/usr/bin/velmora-monitor#$bin#g" "packaging/systemd/$unit" >"$scratch/$unit"
  done
  if ! out=$(cd "$scratch" && XDG_RUNTIME_DIR=$scratch/runtime MANPATH=$scratch/man \
    systemd-analyze verify --user "${units[@]/#/./}" 2>&1) || [ -n "$out" ]; then
    echo "$out"
    rm -rf "$scratch"
    return 1
  fi
  rm -rf "$scratch"
  deb=$(ls "$dir"/velmora_*.deb 2>/dev/null | head -n 1 || true)
  listing=$([ -n "$deb" ] && dpkg-deb -c "$deb" || true)
  for unit in "${units[@]}"; do
    if ! grep -q "/usr/lib/systemd/user/$unit\$" <<<"$listing"; then
      echo "the package has no usr/lib/systemd/user/$unit"
      return 1
    fi
  done
}

echo "== units (systemd-analyze verify --user, and in the package)"
if check_units build/main; then
  summary+=("units: ok")
else
  summary+=("units: FAILED")
  status=1
fi

echo "== build: address + undefined sanitizers (logic, clang)"
bash scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DVELMORA_SANITIZE=address -DVELMORA_WITH_UI=OFF -DVELMORA_WITH_BENCH=OFF \
  -DVELMORA_WITH_FUZZ=ON -DVELMORA_WERROR=$werror
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest asan build/asan

echo "== build: thread sanitizer (threaded tests)"
# Only the programs whose tests start threads (suites named *Threads*).
NINJA_TARGETS="test_base test_net test_quotes test_providers test_monitor test_alerts test_web test_integration quote-standin velmora-monitor velmora-analyze velmora-backtest" bash scripts/build.sh build/tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DVELMORA_SANITIZE=thread -DVELMORA_WITH_UI=OFF -DVELMORA_WITH_BENCH=OFF -DVELMORA_WERROR=$werror
# scripts/tsan.supp: reports inside libraries built without the sanitizer.
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan.supp" \
  run_ctest tsan build/tsan -R Threads

if [ -f fuzz/run.sh ]; then
  echo "== fuzz (short fixed budget)"
  if bash fuzz/run.sh build/asan/bin 20; then
    summary+=("fuzz: no findings")
  else
    summary+=("fuzz: FINDINGS")
    status=1
  fi
fi

echo "== summary"
printf '%s\n' "${summary[@]}"
# One closing line over every test tree.
passed=0
failed=0
for name in main asan tsan; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "build/$name.ctest.log" 2>/dev/null | tail -n 1 || true)
  if [ -n "$line" ]; then
    f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    n=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
    passed=$((passed + n - f))
    failed=$((failed + f))
  fi
done
if [ $status -ne 0 ] && [ $failed -eq 0 ]; then failed=1; fi
echo "total: $passed passed, $failed failed"
exit $status
