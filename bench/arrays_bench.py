#!/usr/bin/python3
"""kinex.evaluate_arrays beside the numpy screening of bench/arrays_numpy.py:
cycles per second over the same N cycles of n steps (default 100,000 of 3),
with one and two threads, and evaluate_many's rate for reference. The runs
of the two alternate and each rate is the best of its runs, so that another
load on the machine weighs on both alike.

    PYTHONPATH=build/python /usr/bin/python3 bench/arrays_bench.py [N [n]]
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import arrays_numpy  # noqa: E402
import kinex  # noqa: E402


def best_rate(rates, key, N, call):
    start = time.perf_counter()
    call()
    rates[key] = max(rates.get(key, 0.0), N / (time.perf_counter() - start))


def main():
    N = int(sys.argv[1]) if len(sys.argv) > 1 else 100_000
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    T, G_int, G_ts, DeltaG = arrays_numpy.screening(N, n)
    rates = {}
    for _ in range(7):
        best_rate(rates, "numpy", N, lambda: arrays_numpy.energetic_span_tof(T, G_int, G_ts, DeltaG))
        for threads in (1, 2):
            best_rate(rates, f"arrays, {threads} thread(s)", N,
                      lambda: kinex.evaluate_arrays(T, G_int, G_ts, DeltaG, threads=threads))
    some = min(N, 20_000)
    cycles = [kinex.Cycle(T, G_int[k], G_ts[k], DeltaG[k]) for k in range(some)]
    for _ in range(3):
        best_rate(rates, "evaluate_many, 1 thread", some,
                  lambda: kinex.evaluate_many(cycles, threads=1))
    print(f"{N} cycles of {n} steps, cycles per second:")
    print(f"  numpy (energetic-span TOF, TDI, TDTS; no X_TOF): {rates['numpy']:10.3g}")
    for threads in (1, 2):
        key = f"arrays, {threads} thread(s)"
        print(f"  kinex.evaluate_arrays, threads={threads} (every X_TOF):  {rates[key]:10.3g}"
              f"   {rates[key] / rates['numpy']:.2f} x numpy")
    print(f"  kinex.evaluate_many, threads=1:                  {rates['evaluate_many, 1 thread']:10.3g}")


if __name__ == "__main__":
    main()
