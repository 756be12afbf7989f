#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly and without a display: the
# Windows build's tests go through here. The Wine prefix (Wine's C: drive and
# registry) is made on first use, which takes some seconds; WINEPREFIX chooses
# another one. Mono and Gecko are not wanted (console programs only).
set -euo pipefail
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
export WINEPREFIX="${WINEPREFIX:-${HOME:-/tmp}/.wine-wsphere}"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1 || true
  wineserver --wait || true
fi
exec wine "$@"
