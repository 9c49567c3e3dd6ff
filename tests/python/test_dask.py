"""The Dask screening example on a local cluster of two worker processes
gives every TOF of a serial run, bit for bit."""

import csv
import importlib.util
import io
import random
import subprocess
import sys

import pytest

import kinex
from conftest import EXAMPLES


def example():
    spec = importlib.util.spec_from_file_location("dask_screening", EXAMPLES / "dask_screening.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def small_table(path, rows=40):
    rng = random.Random(5)
    lines = ["Catalyst,Descriptor d,I0,TS1,I1,TS2,Product,[R1]"]
    for k in range(rows):
        i1 = rng.uniform(-15, 0)
        lines.append(f"cat{k},{rng.uniform(-2, 2)!r},0,{rng.uniform(5, 25)!r},{i1!r},"
                     f"{i1 + rng.uniform(5, 25)!r},-10,{rng.choice(['0.5', 'x', '1e-3'])}")
    path.write_text("\n".join(lines) + "\n")


def test_the_example_on_two_local_workers_matches_a_serial_run(tmp_path):
    table = tmp_path / "small.csv"
    small_table(table)
    cycles = kinex.read_table(table)
    serial = [c.evaluate() for c in cycles]
    screening = example()
    with screening.local_cluster(2) as cluster, screening.Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        distributed = screening.screen(cycles, client, chunk=7)
    assert [r.name for r in distributed] == [r.name for r in serial]
    for a, b in zip(distributed, serial):
        assert a.tof_per_s.hex() == b.tof_per_s.hex() and a.to_dict() == b.to_dict()

    # The script itself, as a user runs it: its CSV holds the same TOFs.
    out = subprocess.run([sys.executable, str(EXAMPLES / "dask_screening.py"), str(table),
                          "--chunk", "9"], capture_output=True, text=True, check=True).stdout
    rows = list(csv.DictReader(io.StringIO(out)))
    assert [float(r["tof_per_s"]).hex() for r in rows] == [r.tof_per_s.hex() for r in serial]
