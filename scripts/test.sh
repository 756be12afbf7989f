#!/usr/bin/env bash
# Every check the project has: builds, then runs the test suite, then installs
# into a temporary prefix and checks what was installed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build --output-on-failure
scripts/install_check.sh
