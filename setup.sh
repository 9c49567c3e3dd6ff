#!/usr/bin/env bash
# Installs what building and testing KINEX needs, from Debian's packages:
# the compiler and CMake, GoogleTest and Google Benchmark, the JSON and
# command-line libraries of kinex, and for CI's stages clang-format, clang
# with its fuzzing runtime, xmllint, python3 and rsvg-convert (the plot
# tests render the pictures), what the Python package needs, and Sphinx with
# its MyST parser and theme for the documentation (docs/, its tests and the
# manual pages). Installs only what is missing; run as root (or through
# sudo). Safe to run again.
set -euo pipefail

missing=()
need() {  # need PACKAGE TEST...: the package when the test fails
  local package=$1
  shift
  "$@" >/dev/null 2>&1 || missing+=("$package")
}
need g++ command -v g++
need cmake command -v cmake
need make command -v make
need libgtest-dev test -f /usr/include/gtest/gtest.h
need libgmock-dev test -f /usr/include/gmock/gmock.h
need libbenchmark-dev test -f /usr/include/benchmark/benchmark.h
need nlohmann-json3-dev test -f /usr/include/nlohmann/json.hpp
need libcli11-dev test -f /usr/include/CLI/CLI.hpp
need clang-format command -v clang-format
need clang command -v clang++
need libclang-rt-14-dev compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a'
need libxml2-utils command -v xmllint
need python3 test -x /usr/bin/python3
need librsvg2-bin command -v rsvg-convert
# The Python package, for Debian's /usr/bin/python3 (another python3 first
# on PATH may lack Debian's packages): pybind11 and the headers to build it,
# numpy to run it, pytest, pandas and Dask's distributed for its tests, and
# setuptools, wheel, venv and pip for `pip install .`.
need pybind11-dev test -f /usr/include/pybind11/pybind11.h
need python3-dev /usr/bin/python3 -c "import sysconfig, os; assert os.path.exists(os.path.join(sysconfig.get_paths()['include'], 'Python.h'))"
need python3-numpy /usr/bin/python3 -c "import numpy"
need python3-pytest /usr/bin/python3 -c "import pytest"
need python3-pandas /usr/bin/python3 -c "import pandas"
need python3-distributed /usr/bin/python3 -c "import distributed"
need python3-setuptools /usr/bin/python3 -c "import setuptools"
need python3-wheel /usr/bin/python3 -c "import wheel"
need python3-venv /usr/bin/python3 -c "import ensurepip"
need python3-pip /usr/bin/python3 -m pip --version
# The documentation, for the same interpreter: Sphinx, MyST Markdown and the
# Furo theme.
need python3-sphinx /usr/bin/python3 -c "import sphinx"
need python3-myst-parser /usr/bin/python3 -c "import myst_parser"
need furo /usr/bin/python3 -c "import furo"

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
