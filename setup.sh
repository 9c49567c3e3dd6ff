#!/usr/bin/env bash
# Installs, from Debian's packages, what KINEX needs; only what is missing.
# Run as root (or through sudo); safe to run again.
#
#   ./setup.sh        what the programs and the Python package need to build
#                     and run: the compiler and CMake, the JSON and
#                     command-line libraries of kinex, librsvg and cairo
#                     (kinex renders its pictures as PDF and PNG with them)
#                     with pkg-config, the font the pictures are drawn in
#                     (DejaVu Sans), pybind11, Python's headers and numpy,
#                     and setuptools, wheel, venv and pip for `pip install .`.
#   ./setup.sh --dev  that, and what the test suite, the benchmarks, the
#                     documentation and CI's stages need: GoogleTest and
#                     Google Benchmark, clang-format, clang with its fuzzing
#                     runtime, xmllint, rsvg-convert (the plot tests render
#                     the pictures), fontTools (they measure the pictures'
#                     texts with the font itself), pytest, pandas and Dask's
#                     distributed, jsonschema (the JSON documents' schemas),
#                     matplotlib (the pictures drawn on its Axes), Sphinx
#                     with MyST and Furo, and dpkg-shlibdeps and file (the
#                     .deb's Depends, read off the programs by cpack).
#   ./setup.sh --windows  what the Windows build needs (cmake/mingw-w64-x86_64.cmake):
#                     Debian's mingw-w64 cross compiler with the POSIX thread
#                     model, wine to run its tests, GoogleTest's sources to
#                     build them, and the JSON and command-line libraries.
#                     The options may be given together.
set -euo pipefail

developer=false
windows=false
for option in "$@"; do
  case "$option" in
    --dev) developer=true ;;
    --windows) windows=true ;;
    *)
      echo "usage: ./setup.sh [--dev] [--windows]" >&2
      exit 2
      ;;
  esac
done

missing=()
need() {  # need PACKAGE TEST...: the package when the test fails
  local package=$1
  shift
  "$@" >/dev/null 2>&1 || missing+=("$package")
}
need g++ command -v g++
need cmake command -v cmake
need make command -v make
need nlohmann-json3-dev test -f /usr/include/nlohmann/json.hpp
need libcli11-dev test -f /usr/include/CLI/CLI.hpp
# The pictures as PDF and PNG, rendered in process, in the font their layout
# is measured with (src/figures/plot_font.h).
need pkg-config command -v pkg-config
need librsvg2-dev pkg-config --exists 'librsvg-2.0 >= 2.52'
need libcairo2-dev pkg-config --exists cairo
need fonts-dejavu-core test -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -a -f /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
# The Python package, for Debian's /usr/bin/python3 (another python3 first
# on PATH may lack Debian's packages): pybind11 and the headers to build it,
# numpy to run it.
need python3 test -x /usr/bin/python3
need pybind11-dev test -f /usr/include/pybind11/pybind11.h
need python3-dev /usr/bin/python3 -c "import sysconfig, os; assert os.path.exists(os.path.join(sysconfig.get_paths()['include'], 'Python.h'))"
need python3-numpy /usr/bin/python3 -c "import numpy"
# setuptools, wheel, venv and pip for `pip install .` into a virtual
# environment.
need python3-setuptools /usr/bin/python3 -c "import setuptools"
need python3-wheel /usr/bin/python3 -c "import wheel"
need python3-venv /usr/bin/python3 -c "import ensurepip"
need python3-pip /usr/bin/python3 -m pip --version
if $developer; then
  need libgtest-dev test -f /usr/include/gtest/gtest.h
  need libgmock-dev test -f /usr/include/gmock/gmock.h
  need libbenchmark-dev test -f /usr/include/benchmark/benchmark.h
  need clang-format command -v clang-format
  need clang command -v clang++
  need libclang-rt-14-dev compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a'
  need libxml2-utils command -v xmllint
  need librsvg2-bin command -v rsvg-convert
  need python3-fonttools /usr/bin/python3 -c "import fontTools.ttLib"
  need python3-pytest /usr/bin/python3 -c "import pytest"
  need python3-pandas /usr/bin/python3 -c "import pandas"
  need python3-distributed /usr/bin/python3 -c "import distributed"
  need python3-jsonschema /usr/bin/python3 -c "import jsonschema"
  need python3-matplotlib /usr/bin/python3 -c "import matplotlib"
  need python3-sphinx /usr/bin/python3 -c "import sphinx"
  need python3-myst-parser /usr/bin/python3 -c "import myst_parser"
  need furo /usr/bin/python3 -c "import furo"
  # The release archives: cpack reads the .deb's Depends off the programs.
  need dpkg-dev command -v dpkg-shlibdeps
  need file command -v file
fi

if $windows; then
  need g++-mingw-w64-x86-64-posix command -v x86_64-w64-mingw32-g++-posix
  need wine64 test -x /usr/lib/wine/wine64
  need googletest test -f /usr/src/googletest/CMakeLists.txt
fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup.sh: everything needed is installed"
  exit 0
fi
echo "setup.sh: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
