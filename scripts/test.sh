#!/usr/bin/env bash
# Every check the project has: the test suite on the shipped build (with the
# differential test against the reference model); the compiler matrix (g++
# -O2, clang++ -O2 and g++ -O0 on 300 fresh generated cases, seed printed); an
# install into a temporary prefix, checked; the Windows build, cross-compiled
# and tested under Wine (with the differential test through the .exe); then
# the same suite, with the fuzz corpus replay, on a build under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build --output-on-failure
scripts/compiler_matrix.sh 300 --quiet
scripts/install_check.sh
scripts/windows_check.sh
scripts/sanitize.sh
