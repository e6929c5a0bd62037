#!/usr/bin/env bash
# Set-up, build and start Sorvane: only what running and building need, no tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run build
scripts/build.sh -DSORVANE_BUILD_TESTS=OFF
exec build/bin/sorvane
