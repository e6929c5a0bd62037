#!/usr/bin/env bash
# Set-up, build and start Sorvane.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
exec build/bin/sorvane
