#!/usr/bin/env bash
# Builds the Python package into build/ and draws the README's pictures into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
python=$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' build/CMakeCache.txt)
PYTHONPATH=build/python "$python" scripts/make_pictures.py
