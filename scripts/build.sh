#!/usr/bin/env bash
# Configures and builds Sorvane in ./build; further arguments go to the configure step
# (for example -DSORVANE_BUILD_TESTS=OFF).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j"$(nproc)"
