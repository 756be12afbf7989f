#!/usr/bin/env bash
# Installs what the build needs when it is missing: compilers (g++, and clang++
# for the compiler matrix), CMake, GoogleTest, Google Benchmark, Python 3 for
# the report summary script and its test, numpy for the reference model of the
# differential test, gemmi with PEGTL for the companion program
# wsphere-input, for the Windows build mingw-w64 (g++ with POSIX threads)
# with Wine to run its tests and GoogleTest's sources (built for Windows
# there), and for the Python package wsphere: pybind11, the Python headers,
# ASE, pymatgen, matplotlib, pandas and pytest (Debian's, for /usr/bin/python3),
# with Dask and dask.distributed for wsphere-batch.
set -euo pipefail

missing=()
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v clang++ >/dev/null 2>&1 || missing+=(clang)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v ctest >/dev/null 2>&1 || missing+=(cmake)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
command -v python3 >/dev/null 2>&1 || missing+=(python3)
/usr/bin/python3 -c 'import numpy' >/dev/null 2>&1 || missing+=(python3-numpy)
[ -f /usr/include/gemmi/smcif.hpp ] || missing+=(gemmi-dev)
[ -f /usr/include/tao/pegtl.hpp ] || missing+=(tao-pegtl-dev)
[ -f /usr/include/pybind11/pybind11.h ] || missing+=(pybind11-dev)
/usr/bin/python3 -c 'import sysconfig, os, sys; sys.exit(not os.path.isfile(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' \
  >/dev/null 2>&1 || missing+=(python3-dev)
for module in ase:python3-ase pymatgen:python3-pymatgen matplotlib:python3-matplotlib \
    pandas:python3-pandas pytest:python3-pytest dask:python3-dask distributed:python3-distributed; do
  /usr/bin/python3 -c "import ${module%%:*}" >/dev/null 2>&1 || missing+=("${module#*:}")
done
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null 2>&1 || missing+=(wine)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
command -v setpriv >/dev/null 2>&1 || missing+=(util-linux)

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
