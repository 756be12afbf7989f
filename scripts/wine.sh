#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly and without a display: the
# Windows build's tests go through here.
#   scripts/wine.sh [--unprivileged] PROGRAM.exe [ARGUMENTS]
# The Wine prefix (Wine's C: drive and registry) is made on first use, which
# takes some seconds; WINEPREFIX chooses another one. With --unprivileged, a
# run by root goes as the user nobody, with a prefix of its own, so that file
# permissions (and the read-only attribute, which Wine keeps as one) apply.
set -euo pipefail

unprivileged=false
if [ "${1:-}" = "--unprivileged" ]; then
  unprivileged=true
  shift
fi
program="$1"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

run_as=()
if $unprivileged && [ "$(id -u)" -eq 0 ] &&
   setpriv --reuid=65534 --regid=65534 --clear-groups test -r "$program" 2>/dev/null; then
  home="${TMPDIR:-/tmp}/wsphere-wine-nobody"
  install -d -o 65534 -g 65534 -m 700 "$home"
  export HOME="$home" WINEPREFIX="$home/prefix"
  run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  export WINEPREFIX="${WINEPREFIX:-${HOME:-/tmp}/.wine-wsphere}"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "${run_as[@]}" wineboot --init >/dev/null 2>&1 || true
  "${run_as[@]}" wineserver --wait || true
fi
exec "${run_as[@]}" wine "$@"
