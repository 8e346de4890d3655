#!/usr/bin/env bash
# Lints the web view's JavaScript modules (src/web/assets) with ESLint and
# the rules of eslint.config.mjs. ESLint is installed from npm into
# build/eslint/ (a private package.json, pinned versions; nothing is done
# when they are there already).
# Exit status: 0 clean, 1 findings or ESLint could not be installed,
# 3 skipped because npm is not on this machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest="$root/build/eslint"
versions=("eslint@9.39.5" "@eslint/js@9.39.5" "globals@16.5.0")
stamp="$dest/installed"  # the versions of the last install
eslint="$dest/node_modules/.bin/eslint"

if [ "$(cat "$stamp" 2>/dev/null)" != "${versions[*]}" ] || [ ! -x "$eslint" ]; then
  if ! command -v npm >/dev/null 2>&1; then
    echo "lint-web: npm not found; the web page's modules are not linted" >&2
    exit 3
  fi
  mkdir -p "$dest"
  # A private package.json keeps npm from climbing to a parent folder's.
  if [ ! -f "$dest/package.json" ]; then
    printf '{ "name": "velmora-eslint", "version": "1.0.0", "private": true }\n' >"$dest/package.json"
  fi
  rm -f "$stamp"
  if ! (cd "$dest" && npm install --no-audit --no-fund --silent --save=false "${versions[@]}" >"$dest/npm.log" 2>&1); then
    echo "lint-web: npm install ${versions[*]} failed (build/eslint/npm.log)" >&2
    exit 1
  fi
  echo "${versions[*]}" >"$stamp"
fi

cd "$root"
"$eslint" --max-warnings 0 src/web/assets
