#!/usr/bin/env bash
# Installs the built program into a temporary prefix and checks that what a user
# gets works: the binary and its man page are in place, the installed binary
# gives the shipped report of an example, and the Debian package holds the same.
# Expects a finished build in build/ (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install check: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install build --prefix "$prefix" >/dev/null
[ -x "$prefix/bin/wsphere" ] || fail "bin/wsphere is missing"
[ -x "$prefix/bin/wsphere-summary" ] || fail "bin/wsphere-summary is missing"
if [ -x build/wsphere-input ]; then
  "$prefix/bin/wsphere-input" --help >/dev/null || fail "the installed wsphere-input is missing or fails"
fi
pages=("$prefix/share/man/man1/wsphere.1.gz")
[ -x build/wsphere-input ] && pages+=("$prefix/share/man/man1/wsphere-input.1.gz")
for man_page in "${pages[@]}"; do
  [ -f "$man_page" ] || fail "the man page $man_page is missing"
  gzip -t "$man_page" || fail "the man page $man_page is no gzip file"
  if command -v man >/dev/null 2>&1; then
    warnings=$(MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >/dev/null) ||
      fail "man cannot show the page $man_page"
    [ -z "$warnings" ] || fail "the man page $man_page has warnings: $warnings"
  fi
done

# The installed binary on an example, run the way the manual tells users to.
run="$work/run"
cp -r "$prefix/share/doc/wsphere/examples/quartz" "$run"
(cd "$run" && "$prefix/bin/wsphere") || fail "the installed wsphere failed"
cmp "$run/output.txt" examples/quartz/output.txt ||
  fail "the installed wsphere gives another report"
"$prefix/bin/wsphere-summary" "$run/output.txt" >/dev/null ||
  fail "the installed wsphere-summary failed"

# The Python package, where the build has it: importable from the prefix's site
# directory, giving the report's values, and found by the installed
# wsphere-summary for its pictures.
if [ -f build/CMakeCache.txt ] && grep -q '^WSPHERE_PYTHON_INSTALL_DIR' build/CMakeCache.txt; then
  site_dir=$(sed -n 's/^WSPHERE_PYTHON_INSTALL_DIR:STRING=//p' build/CMakeCache.txt)
  python=$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' build/CMakeCache.txt)
  [ -f "$prefix/$site_dir/wsphere/__init__.py" ] || fail "the Python package is missing from $site_dir"
  (cd "$work" && PYTHONPATH="$prefix/$site_dir" MPLBACKEND=Agg "$python" -c '
import sys, wsphere
assert wsphere.__file__.startswith(sys.argv[1]), wsphere.__file__
result = wsphere.analyse_input(sys.argv[2] + "/input.txt")
report = wsphere.read_report(sys.argv[2] + "/output.txt")
assert [r["w"] for r in report.w_rows["W table"]] == [f"{w:.5f}" for w in result.w]
' "$prefix" "$run") || fail "the installed Python package fails"
  # (run by the interpreter that has matplotlib, which need not be the first on PATH)
  MPLBACKEND=Agg "$python" "$prefix/bin/wsphere-summary" "$run/output.txt" --plot "$work/w.png" >/dev/null ||
    fail "the installed wsphere-summary cannot draw"
  [ "$(head -c 4 "$work/w.png" | tail -c 3)" = PNG ] || fail "wsphere-summary --plot wrote no PNG"
  # wsphere-batch, installed beside the program, finds the installed package by
  # itself and writes the example's run into a database.
  [ -x "$prefix/bin/wsphere-batch" ] || fail "bin/wsphere-batch is missing"
  "$prefix/bin/wsphere-batch" "$run" --db "$work/batch.sqlite" --quiet || fail "the installed wsphere-batch failed"
  [ "$("$python" -c 'import sqlite3, sys; print(sqlite3.connect(sys.argv[1]).execute(
      "SELECT count(*) FROM runs WHERE status = '"'ok'"' AND atoms = 9").fetchone()[0])' "$work/batch.sqlite")" = 1 ] ||
    fail "the installed wsphere-batch wrote no run of the example"
fi

# The Debian package holds the program, the man page and the manual.
if command -v dpkg-deb >/dev/null 2>&1; then
  cpack --config build/CPackConfig.cmake -B "$work/package" >/dev/null
  deb=$(find "$work/package" -maxdepth 1 -name 'wsphere_*.deb' -print -quit)
  [ -n "$deb" ] || fail "cpack made no .deb"
  contents=$(dpkg-deb -c "$deb")
  for file in ./usr/bin/wsphere ./usr/bin/wsphere-summary ./usr/share/man/man1/wsphere.1.gz \
      ./usr/share/doc/wsphere/README.md ./usr/share/doc/wsphere/examples/quartz/output.txt; do
    grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
  done
fi
echo "install check: passed"
