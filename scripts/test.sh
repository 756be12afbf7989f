#!/usr/bin/env bash
# Every check the project has: builds, then runs the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build --output-on-failure
