"""Ctrl-C reaches the long calls: each stops within about a second of the
signal with KeyboardInterrupt, and returns nothing half-built."""

import sys

import pytest

from conftest import EXAMPLES, run

SCRIPT = """
import os, signal, sys, threading, time
import kinex
c = kinex.Cycle(298.15, [0.0] + [-1.0 * k for k in range(1, 30)], [12.0 + k for k in range(30)],
                -10.0)
calls = {
    "uncertainty": lambda: c.uncertainty(sigma=1.0, samples=50_000_000),
    "evaluate_many": lambda: kinex.evaluate_many([c] * 400_000),
    "evaluate_arrays": lambda: kinex.evaluate_arrays(298.15, [c.G_int] * 60_000,
                                                     [c.G_ts] * 60_000, -10.0),
    "volcano": lambda: kinex.volcano(sys.argv[2], samples=100_000, points=20_000),
}
sent = []
def interrupt():
    time.sleep(0.5)
    sent.append(time.monotonic())
    os.kill(os.getpid(), signal.SIGINT)
threading.Thread(target=interrupt, daemon=True).start()
try:
    calls[sys.argv[1]]()
    print("returned")
except KeyboardInterrupt:
    print("interrupted", time.monotonic() - sent[0])
"""


@pytest.mark.parametrize("call", ["uncertainty", "evaluate_many", "evaluate_arrays", "volcano"])
def test_ctrl_c_stops_a_long_call_within_about_a_second(call):
    done = run(sys.executable, "-c", SCRIPT, call, EXAMPLES / "volcano.csv", check=False)
    words = done.stdout.split()
    assert words[:1] == [b"interrupted"], done.stdout + done.stderr
    assert float(words[1]) < 3.0
