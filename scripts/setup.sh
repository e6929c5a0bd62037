#!/usr/bin/env bash
# Installs what Sorvane needs on a Debian 12 machine (as root), then runs the set-up
# steps in scripts/setup.d (services that tests use, such as the print spooler).
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t wanted < <(grep -v -e '^#' -e '^[[:space:]]*$' scripts/debian-packages.txt)
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

for step in scripts/setup.d/*.sh; do
  [ -e "$step" ] || continue
  echo "setup: ${step##*/}"
  bash "$step"
done
