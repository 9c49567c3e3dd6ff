"""Builds the extension module kinex._kinex with the project's CMake build.

Run through pip: on a machine without network, with Debian's setuptools,
wheel, numpy and pybind11 (./setup.sh installs them):

    /usr/bin/python3 -m venv --system-site-packages ~/kinex-env
    ~/kinex-env/bin/pip install --no-build-isolation .

The module is built for the interpreter that runs this (sys.executable).
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent

# Checked first, so that an interpreter without numpy (another python3 first
# on PATH) hears which one to use rather than failing later on something else.
try:
    import numpy  # noqa: F401
except ImportError:
    sys.exit(
        f"kinex: the Python package needs numpy, which {sys.executable} does not have.\n"
        "Install it with Debian's Python, which has it (after ./setup.sh):\n"
        "  /usr/bin/python3 -m venv --system-site-packages ~/kinex-env\n"
        "  ~/kinex-env/bin/pip install --no-build-isolation .")


def reusable_build():
    """The Quick start's CMake build folder (ROOT/build) when it builds the
    module for this very interpreter, else None."""
    cache = ROOT / "build" / "CMakeCache.txt"
    if not cache.is_file():
        return None
    values = {}
    for line in cache.read_text(errors="replace").splitlines():
        name, _, value = line.partition("=")
        values[name.split(":")[0]] = value
    python = values.get("KINEX_PYTHON", "")
    same = python and os.path.realpath(python) == os.path.realpath(sys.executable)
    return ROOT / "build" if values.get("KINEX_BUILD_PYTHON") == "ON" and same else None


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        build = reusable_build()
        if build is not None:
            print(f"kinex: the module of the CMake build in {build}, brought up to date",
                  flush=True)
        else:
            build = Path(self.build_temp).resolve() / "cmake"
            print("kinex: building the extension module with CMake (a few minutes on two "
                  "cores; a CMake build in ./build for this Python is reused instead)",
                  flush=True)
            configure = [
                "cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                "-DKINEX_BUILD_TESTS=OFF", "-DKINEX_BUILD_BENCHMARKS=OFF",
                "-DKINEX_BUILD_PYTHON=ON", f"-DKINEX_PYTHON={sys.executable}",
            ]
            subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "kinex_python", "-j", jobs],
                       check=True)
        built = sorted((build / "python" / "kinex").glob("_kinex*.so"))
        if not built:
            sys.exit("kinex: the CMake build made no extension module")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


# The build folder of pip's build, apart from build/ of the README's CMake
# commands.
setup(ext_modules=[Extension("kinex._kinex", sources=[])], cmdclass={"build_ext": CMakeBuild},
      options={"build": {"build_base": "build-pip"}})
