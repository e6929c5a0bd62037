#!/usr/bin/env bash
# Installs Sorvane into a fresh prefix and checks what the desktop sees of it: the
# desktop entry and the metainfo pass their validators, the entry's command line
# names the installed program, and the icons are there at their sizes.
# Usage: check-install.sh BUILD_DIR PREFIX
# PREFIX lies in a new temp folder; one starting with ./ is passed on as relative.
set -euo pipefail
build=$1
id=org.sorvane.Sorvane
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A relative prefix must still give absolute paths, so install from inside the folder.
given=$2
[[ $given == ./* ]] || given="$work/$given"
(cd "$work" && cmake --install "$build" --prefix "$given" >/dev/null)
prefix=$(cd "$work" && cd "$given" && pwd)
entry="$prefix/share/applications/$id.desktop"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"

[ -x "$prefix/sorvane" ] || fail "no program at $prefix/sorvane"
[ -x "$prefix/sorvane-convert" ] || fail "no converter at $prefix/sorvane-convert"
desktop-file-validate "$entry" | { grep -v ': hint: ' || true; } | grep . && fail "desktop entry"
appstreamcli validate --no-net "$metainfo" || fail "metainfo"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $id.desktop"

# Undo the string escapes, then the quoting, then the doubled %: the result must be
# the program's absolute path, one argument with no field codes.
exec_value=$(sed -n 's/^Exec=//p' "$entry")
unescaped="" i=0
while ((i < ${#exec_value})); do
  c=${exec_value:i:1}
  if [[ $c == '\' ]]; then
    ((i += 1))
    case ${exec_value:i:1} in s) c=' ' ;; n) c=$'\n' ;; t) c=$'\t' ;; r) c=$'\r' ;; *) c=${exec_value:i:1} ;; esac
  fi
  unescaped+=$c
  ((i += 1))
done
if [[ $unescaped == \"*\" ]]; then
  inner=${unescaped:1:-1} unescaped="" i=0
  while ((i < ${#inner})); do
    [[ ${inner:i:1} == '\' ]] && ((i += 1))
    unescaped+=${inner:i:1}
    ((i += 1))
  done
fi
stripped=${unescaped//%%/}
[[ $stripped != *%* ]] || fail "Exec holds a field code: $exec_value"
command=${unescaped//%%/%}
[[ $command == "$prefix/sorvane" ]] || fail "Exec names '$command', not '$prefix/sorvane'"
grep -qx 'Icon=sorvane' "$entry" || fail "Icon is not the theme name sorvane"

for size in 16 32 48 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/sorvane.png"
  [ -f "$icon" ] || fail "no $size px icon"
  # Width and height are the big-endian words at byte 16 of a PNG.
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$icon")
  [[ $w == "$size" && $h == "$size" ]] || fail "$icon is ${w}x$h"
done
echo "ok: $prefix"
