#!/usr/bin/env bash
# Installs what building and testing KINEX needs, from Debian's packages:
# the compiler and CMake, GoogleTest and Google Benchmark, the JSON and
# command-line libraries of kinex, and for CI's stages clang-format, clang
# with its fuzzing runtime, xmllint, python3 and rsvg-convert (the plot
# tests render the pictures). Installs only what is
# missing; run as root (or through sudo). Safe to run again.
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
