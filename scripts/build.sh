#!/usr/bin/env bash
# Builds wsphere and its tests into build/ (installing missing tools first).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2
