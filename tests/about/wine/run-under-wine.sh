#!/usr/bin/env bash
# Cross-compiles the Win32 registry reader test and runs it under Wine, in a prefix of its
# own inside the build tree (set up once; later runs reuse it), with no display.
# Usage: run-under-wine.sh <source dir> <work dir>. Exit 77 = skipped, with the reason.
set -uo pipefail
source_dir=$1
work_dir=$2

skip() {
  echo "SKIPPED: $*"
  exit 77
}

cxx=$(command -v x86_64-w64-mingw32-g++) ||
  skip "the MinGW-w64 cross compiler x86_64-w64-mingw32-g++ is not installed"
wine=""
for candidate in wine64 /usr/lib/wine/wine64 wine; do
  if found=$(command -v "$candidate"); then
    wine=$found
    break
  fi
done
[ -n "$wine" ] || skip "Wine (wine64) is not installed"
wineserver=""
for candidate in wineserver /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
  if found=$(command -v "$candidate"); then
    wineserver=$found
    break
  fi
done

mkdir -p "$work_dir"
program="$work_dir/GetKeyValueUnderWine.exe"
"$cxx" -std=c++20 -O1 -Wall -Wextra -static -I"$source_dir/src" -o "$program" \
  "$source_dir/tests/about/wine/GetKeyValueUnderWine.cpp" \
  "$source_dir/src/about/GetKeyValue.cpp" \
  "$source_dir/src/platform/Win32Registry.cpp" || {
  echo "FAILED: cross compilation"
  exit 1
}

export WINEPREFIX="$work_dir/prefix" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer dialogs while the prefix is set up.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

stop_server() {
  [ -n "$wineserver" ] && "$wineserver" -k >/dev/null 2>&1
}
trap stop_server EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "setting up the Wine prefix $WINEPREFIX"
  "$wine" wineboot --init </dev/null >"$work_dir/wineboot.log" 2>&1 || {
    echo "FAILED: wineboot (see $work_dir/wineboot.log)"
    exit 1
  }
  [ -n "$wineserver" ] && "$wineserver" -w
fi

"$wine" "$program" </dev/null 2>&1
