#!/usr/bin/env bash
# check-layers.sh [ROOT]: fails on any include under src/ and tools/ that
# reaches from a lower layer into a higher one (scripts/layers.txt), naming
# the file and line. An include of a project header is placed whichever way
# it is written: "monitor/x.h", "../monitor/x.h" or <monitor/x.h>, or a
# header beside the file; one that names a layer's folder but no header
# there, or a header outside every layer, fails too.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
table="$root/scripts/layers.txt"
cd "$root"
files=$(git ls-files -co --exclude-standard -- 'src/*.h' 'src/*.cpp' 'tools/*.h' 'tools/*.cpp')
# shellcheck disable=SC2086
printf '%s\n' $files | awk -v table="$table" '
    BEGIN {
      while ((getline line < table) > 0) {
        if (line ~ /^[ \t]*(#|$)/) continue
        n = split(line, f, /[ \t]+/)
        # A header the build writes: "generated base/version.h base".
        if (f[1] == "generated") { generated[f[2]] = f[3]; continue }
        layer = f[1]; folder = f[2]
        folderOf[layer] = folder
        layers[++count] = layer
        # "monitor/x.h" names the layer whose folder ends in "/monitor".
        m = split(folder, parts, "/")
        named[parts[m]] = layer
        for (i = 3; i <= n; ++i) allowed[layer, f[i]] = 1
      }
      bad = 0
    }
    # The first pass reads the list of files, the second the files.
    FILENAME == "-" { exists[$0] = 1; next }
    function layerOf(path,    i, folder) {
      for (i = 1; i <= count; ++i) {
        folder = folderOf[layers[i]] "/"
        if (substr(path, 1, length(folder)) == folder) return layers[i]
      }
      return ""
    }
    # "a/b/../c/./d.h" -> "a/c/d.h"; "" when it climbs out of the root.
    function normal(path,    n, p, i, out, k) {
      n = split(path, p, "/"); k = 0
      for (i = 1; i <= n; ++i) {
        if (p[i] == "" || p[i] == ".") continue
        if (p[i] == "..") { if (k == 0) return ""; --k; continue }
        out[++k] = p[i]
      }
      path = ""
      for (i = 1; i <= k; ++i) path = path (i > 1 ? "/" : "") out[i]
      return path
    }
    function refuse(target, why) {
      printf "%s:%d: %s \"%s\"\n", FILENAME, FNR, why, target
      bad = 1
    }
    FNR == 1 {
      from = layerOf(FILENAME)
      dir = FILENAME; sub(/\/[^\/]*$/, "", dir)
      if (from == "") printf "%s: in no layer of scripts/layers.txt\n", FILENAME
      if (from == "") bad = 1
    }
    /^[ \t]*#[ \t]*include[ \t]*["<]/ {
      target = $0
      angle = target ~ /include[ \t]*</
      sub(/^[^"<]*["<]/, "", target); sub(/[">].*$/, "", target)
      first = target; sub(/\/.*$/, "", first)
      relative = target ~ /^\.\.?\//
      path = ""
      if (!relative && (target in generated)) {
        to = generated[target]
        if (from != "" && to != from && !((from, to) in allowed))
          refuse(target, "the " from " layer may not include (layer " to ")")
        next
      }
      if (relative) {
        path = normal(dir "/" target)
      } else if (!angle && ((dir "/" target) in exists)) {
        path = dir "/" target
      } else if (("src/" target) in exists) {
        path = "src/" target
      } else if (from != "" && ((folderOf[from] "/" target) in exists)) {
        path = folderOf[from] "/" target
      } else if (match(FILENAME, /^tools\/[^\/]+\//) && ((substr(FILENAME, 1, RLENGTH) target) in exists)) {
        path = substr(FILENAME, 1, RLENGTH) target  # a tool includes by its own root
      } else if (index(target, "/") > 0 && (first in named)) {
        refuse(target, "the include names the " named[first] " layer but no header there:")
        next
      } else {
        next  # a system or library header
      }
      if (!(path in exists)) { refuse(target, "no project header is"); next }
      to = layerOf(path)
      if (to == "") { refuse(target, "the header lies in no layer:"); next }
      if (from != "" && to != from && !((from, to) in allowed))
        refuse(target, "the " from " layer may not include (layer " to ")")
    }
    END { exit bad }
  ' - $files
