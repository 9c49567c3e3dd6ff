"""The GIL is released while cycles are computed: other Python threads run
meanwhile, and two Python threads evaluate two cycles in about the time of
one where the machine has a second core free."""

import functools
import tempfile
import threading
import time
from pathlib import Path

import numpy as np
import pytest

import kinex


def big_cycle(n=600):
    rng = np.random.default_rng(7)
    g = rng.uniform(-20, 0, n)
    return kinex.Cycle(298.15, g, g + rng.uniform(5, 25, n), -10.0, reactant=np.full(n, 0.5))


def as_arrays(cycle, count):
    """`count` copies of `cycle` as the arrays of evaluate_arrays."""
    rows = lambda values: np.tile(values, (count, 1))
    return dict(T=cycle.T, G_int=rows(cycle.G_int), G_ts=rows(cycle.G_ts), DeltaG=cycle.DeltaG,
                reactant=rows(cycle.reactant), product=rows(cycle.product))


@functools.lru_cache(maxsize=None)
def volcano_table():
    """A table of 8 catalysts whose states scatter about lines of a descriptor."""
    rng = np.random.default_rng(5)
    lines = ["Catalyst,Descriptor d,Cat,TS1,Int,TS2,Product"]
    for k, d in enumerate(np.linspace(-1.5, 1.5, 8)):
        e = np.array([0, 17 + 3 * d, -3 + 2.5 * d, 14 - 2.5 * d, -10]) + \
            rng.uniform(-0.5, 0.5, 5) * [0, 1, 1, 1, 0]
        lines.append(f"cat{k},{d!r}," + ",".join(repr(float(x)) for x in e))
    path = Path(tempfile.mkdtemp()) / "volcano.csv"
    path.write_text("\n".join(lines) + "\n")
    return str(path)


# Each a single call into the library, of about a quarter of a second.
CALLS = {
    "evaluate": lambda cycle: big_cycle(1200).evaluate(threads=1),
    "evaluate_many": lambda cycle: kinex.evaluate_many([cycle] * 8, threads=1),
    "evaluate_arrays": lambda cycle: kinex.evaluate_arrays(**as_arrays(cycle, 8), threads=1),
    "scan_temperature": lambda cycle: kinex.scan_temperature(cycle, np.linspace(250, 400, 8)),
    "volcano": lambda cycle: kinex.volcano(volcano_table(), points=200, samples=1200, threads=1),
}


def count_while(work):
    """How often this thread goes round a loop while `work` runs on another
    thread, and how long `work` took (s)."""
    started, done = threading.Event(), threading.Event()
    took, failed = [], []

    def run():
        started.set()
        begin = time.perf_counter()
        try:
            work()
        except BaseException as error:  # told below; the loop must still end
            failed.append(error)
        finally:
            took.append(time.perf_counter() - begin)
            done.set()

    worker = threading.Thread(target=run)
    worker.start()
    started.wait()
    count = 0
    while not done.is_set():
        count += 1
    worker.join()
    if failed:
        raise failed[0]
    return count, took[0]


@pytest.mark.parametrize("call", list(CALLS))
def test_python_runs_on_while_cycles_are_computed(call):
    # While the other thread is in the library (one call), this one counts:
    # with the GIL held it could only count in the switch interval before
    # the call starts (a few ms). The yardstick is the count while the other
    # thread sleeps as long; on a machine with no core free the two share
    # one, which halves the count, not more.
    cycle = big_cycle()
    count, seconds = count_while(lambda: CALLS[call](cycle))
    asleep, _ = count_while(lambda: time.sleep(seconds))
    assert count > 0.25 * asleep, (count, asleep, seconds)


def timed(work, threads):
    start = time.perf_counter()
    pool = [threading.Thread(target=work) for _ in range(threads)]
    for t in pool:
        t.start()
    for t in pool:
        t.join()
    return time.perf_counter() - start


# The same work, on the same cycle as the yardstick below.
WORK = {
    "evaluate": lambda cycle: [cycle.evaluate(threads=1) for _ in range(4)],
    "evaluate_many": lambda cycle: kinex.evaluate_many([cycle] * 4, threads=1),
    "evaluate_arrays": lambda cycle: kinex.evaluate_arrays(**as_arrays(cycle, 4), threads=1),
    "scan_temperature": lambda cycle: kinex.scan_temperature(cycle, [280.0, 290.0, 300.0, 310.0]),
    "volcano": lambda cycle: kinex.volcano(volcano_table(), points=100, samples=1000, threads=1),
}


@pytest.mark.parametrize("call", list(WORK))
def test_two_threads_finish_faster_than_one_after_the_other(call):
    cycle = big_cycle()
    WORK[call](cycle)  # warm up

    def work():
        WORK[call](cycle)

    def internal():  # as much work on two threads of the library itself
        kinex.evaluate_many([cycle] * 8, threads=2)

    def internal_serial():
        kinex.evaluate_many([cycle] * 8, threads=1)

    # Two Python threads against one thread twice; as a yardstick, what two
    # threads of the library gain on this machine now (about 0.5 with a
    # second core free, about 1 without one). With the GIL held the Python
    # threads would gain nothing whatever the yardstick. (CTest runs this
    # file alone.)
    ratios = []
    for _ in range(3):
        yardstick = timed(internal, 1) / timed(internal_serial, 1)
        ratio = timed(work, 2) / (timed(work, 1) + timed(work, 1))
        ratios.append((ratio, yardstick))
        if ratio < 0.8 or ratio < yardstick + 0.2:
            break
    assert any(r < 0.8 or r < y + 0.2 for r, y in ratios), ratios
