#!/usr/bin/env bash
# The compiler matrix: the program built with g++ at -O0, -O2 (and -O3 with
# --all) and with clang++ at -O2, each in build-matrix/<preset>/, then the same
# generated cases through every build and the reference model. Every report,
# message line and exit status must be equal.
#   scripts/compiler_matrix.sh [--all] [COUNT] [difftest options...]
#   scripts/compiler_matrix.sh 20000 --seed 7 --jobs 2
set -euo pipefail
cd "$(dirname "$0")/.."
presets=(gcc-O2 clang-O2 gcc-O0)
if [ "${1:-}" = --all ]; then
  presets+=(gcc-O3)
  shift
fi
count=${1:-300}
[ $# -gt 0 ] && shift
scripts/setup.sh
binaries=()
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
  binaries+=(--binary "build-matrix/$preset/wsphere")
done
exec "$(scripts/python_with_numpy.sh)" tests/reference/difftest.py --count "$count" "${binaries[@]}" "$@"
