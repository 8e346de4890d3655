#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  clang libclang-rt-14-dev
  qt6-base-dev libqt6svg6 libcurl4-openssl-dev libcpp-httplib-dev nlohmann-json3-dev qtkeychain-qt6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core tzdata locales
  xvfb xauth wrk clang-format dbus-daemon file
  chromium systemd
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# The machines ship Node.js with npm (used for test data); Debian's npm
# package conflicts with that Node.js, so it is only installed where npm is absent.
if ! command -v npm >/dev/null 2>&1; then missing+=(npm); fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
