#!/usr/bin/env bash
# Retakes the README's screenshots under Xvfb: the main window after a computation,
# the results window with a saved record, and the About box. Sorvane is driven like a
# person would, with mouse clicks and typing (xdotool).
#
# The program runs from a fresh install of the build (same executable, an empty
# database beside it), so the record it saves never lands in the build's database.
#
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build; run scripts/build.sh first)
# Needs: xvfb, openbox, xdotool, imagemagick and the CJK font (scripts/setup.sh
# test installs them). The window manager draws the title bars with the windows' captions.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs/screenshots
display=${SCREENSHOT_DISPLAY:-:99}
[ -x "$build/bin/sorvane" ] || { echo "no $build/bin/sorvane; build first" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/sorvane" >/dev/null

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
# A server that quit at once means the display was taken: never drive someone else's.
kill -0 "${pids[0]}" 2>/dev/null && xdotool getdisplaygeometry >/dev/null ||
  { echo "Xvfb did not start on $display (set SCREENSHOT_DISPLAY)" >&2; exit 1; }

# Title bars with the icon, the caption and the close box only: none of Sorvane's
# windows can be minimised or maximised, though openbox would draw those buttons.
cat >"$work/openbox.xml" <<'XML'
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <theme><titleLayout>NLC</titleLayout></theme>
</openbox_config>
XML
openbox --config-file "$work/openbox.xml" >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 0.5

# The Chinese locale the program is made for: the date's short form comes from it.
QT_QPA_PLATFORM=xcb LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$work/sorvane/sorvane" >"$work/sorvane.log" 2>&1 &
pids+=($!)

# The program's visible window titled exactly $1 other than window $2, or nothing.
# Titles are compared as the UTF-8 _NET_WM_NAME: the program's Chinese locale need
# not exist here, and then the legacy WM_NAME holds mangled text.
find_window() {
  local id
  for id in $(xdotool search --onlyvisible --class '^sorvane$' 2>/dev/null); do
    [ "$id" = "${2:-}" ] && continue
    if [ "$(xprop -id "$id" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$1\"" ]; then
      echo "$id"
      return
    fi
  done
}

# Waits for that window to show and prints its id. The readings' dialogs share a
# title, as do the main window and the message box, hence the window to skip.
window() {
  local id
  for _ in $(seq 100); do
    id=$(find_window "$@")
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window titled '$1'; program log:" >&2
  cat "$work/sorvane.log" >&2
  exit 1
}

# Waits until no visible window is titled $1 any more.
gone() {
  for _ in $(seq 100); do
    [ -z "$(find_window "$1")" ] && return
    sleep 0.1
  done
  echo "window '$1' did not close" >&2
  exit 1
}

# Clicks at (x, y) pixels inside window $1.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# Types $2 into the dialog $1 and confirms with Enter.
answer() {
  xdotool windowfocus --sync "$1"
  xdotool type --delay 40 "$2"
  xdotool key Return
  sleep 0.3
}

# Saves window $1 with its title bar as $out/$2 once it has had time to paint.
shoot() {
  sleep 0.8
  mkdir -p "$out"
  import -frame -window "$1" "$out/$2"
  echo "wrote $out/$2 ($(identify -format '%wx%h' "$out/$2"))"
}

# Pixel positions of the controls, at 96 dpi (15 twips a pixel).
main=$(window ' Sorvane')
sleep 0.5

# Main window: Com1, a count of 2, the readings 7 and 8.
click "$main" 188 164
answer "$(window '计算 pH 均值')" 2
first=$(window '  共 2 个样本')
answer "$first" 7
answer "$(window '  共 2 个样本' "$first")" 8
main=$(window ' Sorvane')
shoot "$main" main.png

# About box: the hot spot in the picture's top-right corner.
if [ "${SKIP_ABOUT:-}" != 1 ]; then
  click "$main" 384 16
  about=$(window '关于  Sorvane')
  shoot "$about" about.png
  xdotool windowfocus --sync "$about" key Return
  gone '关于  Sorvane'
fi

# Results window: 保存/查看, then 记录(&A), an identifier and 保存(&U).
if [ "${SKIP_RESULTS:-}" != 1 ]; then
  click "$main" 340 164
  results=$(window ' pH平均值结果库')
  sleep 0.5
  click "$results" 60 99
  xdotool windowfocus --sync "$(window ' Sorvane' "$main")" key Return
  sleep 0.3
  click "$results" 248 33
  xdotool type --delay 40 "W-0612"
  click "$results" 256 99
  shoot "$results" results.png
fi
