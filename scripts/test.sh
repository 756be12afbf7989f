#!/usr/bin/env bash
# Every check the project has: the test suite on the shipped build; an install
# into a temporary prefix, checked; the Windows build, cross-compiled and
# tested under Wine; then the same suite, with the fuzz corpus replay, on a
# build under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build --output-on-failure
scripts/install_check.sh
scripts/windows_check.sh
scripts/sanitize.sh
