#!/usr/bin/env bash
# check-layers.sh [ROOT]: fails on any #include "…" under src/ and tools/
# that reaches from a lower layer into a higher one (scripts/layers.txt),
# naming the file and line. Includes of a file's own folder ("calendar.h")
# stay inside its layer.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
table="$root/scripts/layers.txt"
cd "$root"
git ls-files -co --exclude-standard -- 'src/*.h' 'src/*.cpp' 'tools/*.h' 'tools/*.cpp' |
  awk -v table="$table" '
    BEGIN {
      while ((getline line < table) > 0) {
        if (line ~ /^[ \t]*(#|$)/) continue
        n = split(line, f, /[ \t]+/)
        layer = f[1]; folder = f[2]
        folderOf[layer] = folder
        layers[++count] = layer
        for (i = 3; i <= n; ++i) allowed[layer, f[i]] = 1
      }
      bad = 0
    }
    # The layer of a path: the longest listed folder that holds it.
    function layerOf(path,    i, best, bestLength, folder) {
      best = ""; bestLength = 0
      for (i = 1; i <= count; ++i) {
        folder = folderOf[layers[i]] "/"
        if (substr(path, 1, length(folder)) == folder && length(folder) > bestLength) {
          best = layers[i]; bestLength = length(folder)
        }
      }
      return best
    }
    FNR == 1 { source = FILENAME; from = layerOf(source) }
    /^[ \t]*#[ \t]*include[ \t]*"/ {
      target = $0
      sub(/^[^"]*"/, "", target); sub(/".*$/, "", target)
      if (index(target, "/") == 0) next  # a header beside the file
      to = layerOf("src/" target)
      if (to == "") to = layerOf("tools/" target)
      if (from == "" || to == "") next
      if (!((from, to) in allowed)) {
        printf "%s:%d: the %s layer may not include \"%s\" (layer %s)\n", source, FNR, from, target, to
        bad = 1
      }
    }
    END { exit bad }
  ' $(cat)
