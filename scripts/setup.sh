#!/usr/bin/env bash
# Installs what Sorvane needs on a Debian 12 machine (as root): the packages of the named
# lists in scripts/packages/ that are missing, then the set-up steps of those lists in
# scripts/setup.d/ (<list>-*.sh, for example the print spooler the print tests use).
# Usage: scripts/setup.sh [run] [build] [test]   (no list: all three)
set -euo pipefail
cd "$(dirname "$0")/.."

lists=("$@")
((${#lists[@]})) || lists=(run build test)
wanted=()
for list in "${lists[@]}"; do
  [ -f "scripts/packages/$list.txt" ] || { echo "setup: no package list '$list'" >&2; exit 2; }
  mapfile -t -O "${#wanted[@]}" wanted < <(grep -v -e '^#' -e '^[[:space:]]*$' "scripts/packages/$list.txt")
done
missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

for list in "${lists[@]}"; do
  for step in scripts/setup.d/"$list"-*.sh; do
    [ -e "$step" ] || continue
    echo "setup: ${step##*/}"
    bash "$step"
  done
done
