"""The cost of the Python package: one call on a 5-step cycle (against the
same call in C++, BM_ApiEvaluateFiveSteps of kinex_bench), and the
screening rate of evaluate_many over 100,000 small cycles on one and two
threads.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py
"""

import os
import sys
import time
import timeit

import numpy as np

import kinex

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")


def per_call(statement, number):
    """The best of five runs of `number` calls, in microseconds per call."""
    best = min(timeit.repeat(statement, number=number, repeat=5))
    return best / number * 1e6


def main():
    cycle = kinex.read(os.path.join(EXAMPLES, "five_step.txt"))
    print(f"5-step cycle, cycle.evaluate():         {per_call(cycle.evaluate, 20000):7.2f} us/call")
    result = cycle.evaluate()
    print(f"5-step cycle, result.tof_per_s:             {per_call(lambda: result.tof_per_s, 200000):7.3f} us/call")
    print(f"5-step cycle, result.to_dict():         {per_call(result.to_dict, 5000):7.2f} us/call")
    g = [0.0, 0.0, 0.0, -15.0, 0.0]
    t = [5.0, 20.0, 5.0, 5.0, 5.0]
    build = lambda: kinex.Cycle(298.15, g, t, -5.0, reactant=[1.0] * 5, product=[1.0] * 5)
    print(f"5-step cycle, kinex.Cycle(...):         {per_call(build, 20000):7.2f} us/call")

    count = int(sys.argv[1]) if len(sys.argv) > 1 else 100_000
    rng = np.random.default_rng(1)
    energies = rng.uniform(-20.0, 0.0, (count, 3))
    barriers = energies + rng.uniform(5.0, 25.0, (count, 3))
    cycles = [kinex.Cycle(298.15, e, b, -10.0) for e, b in zip(energies, barriers)]
    # The call, and apart from it the freeing of its results (on the
    # calling thread, when the list is dropped).
    for threads in (1, 2):
        best, freed = float("inf"), float("inf")
        for _ in range(3):
            start = time.perf_counter()
            results = kinex.evaluate_many(cycles, threads=threads)
            middle = time.perf_counter()
            del results
            end = time.perf_counter()
            best, freed = min(best, middle - start), min(freed, end - middle)
        print(f"evaluate_many, {count} 3-step cycles, {threads} thread(s): "
              f"{count / best:8.0f} cycles/s ({best:.3f} s; freeing the results {freed:.3f} s)")


if __name__ == "__main__":
    main()
