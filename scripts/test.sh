#!/usr/bin/env bash
# Set-up, build and run every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run build test
scripts/build.sh -DSORVANE_BUILD_TESTS=ON
cd build
ctest --output-on-failure --timeout 600
