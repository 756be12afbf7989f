#!/usr/bin/env bash
# Prints the path of a Python 3 that has numpy (the reference model needs it):
# the first python3 on PATH when it has numpy, else Debian's /usr/bin/python3.
set -euo pipefail
for candidate in "$(command -v python3 || true)" /usr/bin/python3; do
  if [ -n "$candidate" ] && "$candidate" -c 'import numpy' >/dev/null 2>&1; then
    echo "$candidate"
    exit 0
  fi
done
echo "no python3 with numpy: run scripts/setup.sh" >&2
exit 1
