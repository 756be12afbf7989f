#!/usr/bin/env bash
# The Windows build and its checks, all under Wine (called by scripts/test.sh):
#   1. cross-compile with mingw-w64 (preset windows, folder build-windows/);
#   2. ctest there: the shared unit tests built for Windows, the Windows
#      platform layer and wsphere.exe as a Windows process (full 32-bit exit
#      codes), a real control-C;
#   3. the Windows download: the ZIP made by cpack, unzipped, its wsphere.exe
#      run on its own example;
#   4. the differential test against the reference model, through the .exe
#      (WSPHERE_WINDOWS_CASES cases, 120 by default; the seed is printed).
# Ends with a line "windows: N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

passed=0
failed=0
step() {  # step NAME COMMAND...: runs one check and counts it
  local name="$1"
  shift
  echo "== windows: $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "== windows: $name FAILED"
  fi
}

build() {
  cmake --preset windows >/dev/null && cmake --build --preset windows
}

package() {
  local folder
  folder="$(mktemp -d)"
  rm -f build-windows/package/*.zip
  cpack --config build-windows/CPackConfig.cmake -B build-windows/package >/dev/null &&
    (cd "$folder" && cmake -E tar xf "$OLDPWD"/build-windows/package/wsphere-1.0.0-win64.zip) &&
    local top="$folder/wsphere-1.0.0-win64" &&
    [ -f "$top/README.md" ] && [ -f "$top/wsphere-input.exe" ] &&
    (cd "$top/examples/kyanite" && "$OLDPWD/scripts/wine.sh" ../../wsphere.exe) &&
    cmp "$top/examples/kyanite/output.txt" examples/kyanite/output.txt
  local result=$?
  rm -rf "$folder"
  return $result
}

# The generated cases of the differential test through wsphere.exe, against
# the reference model and the Linux program (when built): report bytes,
# message lines (Windows paths mapped back) and the low byte of the status.
difftest() {
  local python binaries=(--binary build-windows/wsphere.exe)
  python="$(scripts/python_with_numpy.sh)" || return 1
  [ -x build/wsphere ] && binaries=(--binary build/wsphere "${binaries[@]}")
  "$python" tests/reference/difftest.py --count "${WSPHERE_WINDOWS_CASES:-120}" --jobs 2 --quiet \
    "${binaries[@]}" --wrapper scripts/wine.sh --keep build-windows/difftest-failures
}

step "cross-compile (mingw-w64)" build
step "ctest under Wine" ctest --preset windows
step "ZIP download" package
step "differential test through wsphere.exe" difftest

echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
