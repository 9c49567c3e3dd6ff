"""What the Python tests share: the programs to compare with, the examples,
and cycles generated as input files."""

import json
import os
import random
import subprocess
from pathlib import Path

import pytest

EXAMPLES = Path(os.environ.get("KINEX_EXAMPLES", Path(__file__).resolve().parents[2] / "examples"))
KINEX_EXE = os.environ.get("KINEX_EXE", "KINEX.exe")
KINEX_TOOL = os.environ.get("KINEX_TOOL", "kinex")
EXAMPLE_FILES = sorted(str(p) for p in EXAMPLES.glob("*.txt"))


def run(*args, check=True):
    return subprocess.run([str(a) for a in args], capture_output=True, check=check)


def kinex_json(*files):
    """What `kinex json FILES` writes, parsed; the command line, which names
    the program as it was called, left out."""
    doc = json.loads(run(KINEX_TOOL, "json", *files).stdout)
    for d in doc if isinstance(doc, list) else [doc]:
        d.pop("command_line")
    return doc


def cycle_text(rng, n):
    """An input file of a random n-step cycle: energies of either sign, some
    steps with concentrations, now and then a temperature or a DeltaG that
    takes the results beyond the range of doubles."""
    T = rng.choice([298.15, rng.uniform(50, 1200), 15.0])
    lines = [repr(T), str(n)]
    for _ in range(n):
        g = rng.uniform(-30, 10)
        ts = g + rng.uniform(0, 35)
        reac = repr(rng.choice([0.5, 1e-3, 2.0, 1e-9])) if rng.random() < 0.4 else "x"
        prod = repr(rng.choice([1e-3, 0.1, 5.0])) if rng.random() < 0.3 else "x"
        lines.append(f"{g!r} {ts!r} {reac} {prod}")
    lines.append(repr(rng.choice([-10.0, -40.0, rng.uniform(-60, 5), -500.0])))
    return "\n".join(lines) + "\n"


@pytest.fixture(scope="session")
def generated(tmp_path_factory):
    """60 generated input files."""
    folder = tmp_path_factory.mktemp("cycles")
    rng = random.Random(20261208)
    files = []
    for k in range(60):
        path = folder / f"cycle{k:02d}.txt"
        path.write_text(cycle_text(rng, rng.randint(1, 9)))
        files.append(str(path))
    return files
