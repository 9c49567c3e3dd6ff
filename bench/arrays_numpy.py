#!/usr/bin/python3
"""A screening over arrays written the way numpy code would do it, to set
beside kinex.evaluate_arrays (bench/arrays_bench.py runs both).

For N cycles of n steps, vectorised over the cycles with no loop over them:
the energetic-span TOF by a log-sum-exp over an array of shape (N, n, n) of
the spans of every intermediate-transition state pair (DeltaG added where
the transition state comes before the intermediate), and the TDI and TDTS
by the argmax of that array. No concentrations and no degrees of TOF
control: those numpy code commonly leaves out.

    /usr/bin/python3 bench/arrays_numpy.py [N [n]]
"""
import sys
import time

import numpy as np

K_B = float(np.float32(1.380658e-23))
N_A = float(np.float32(6.0221367e23))
H = float(np.float32(6.6260755e-34))
KCAL = float(np.float32(4.184)) * 1000.0
R = K_B * N_A


def screening(N, n, seed=1):
    """N random cycles of n steps: T, G_int, G_ts, DeltaG as evaluate_arrays takes them."""
    rng = np.random.default_rng(seed)
    G_int = rng.uniform(-20.0, 0.0, (N, n))
    G_int[:, 0] = 0.0
    G_ts = G_int + rng.uniform(5.0, 25.0, (N, n))
    DeltaG = rng.uniform(-30.0, -5.0, N)
    return 298.15, G_int, G_ts, DeltaG


def energetic_span_tof(T, G_int, G_ts, DeltaG):
    """TOF (1/s), TDI and TDTS steps (1..n) of every cycle."""
    N, n = G_int.shape
    RT = R * T / KCAL
    # spans[k, i, j]: transition state j+1 over intermediate i; the
    # transition state of an earlier step lies in the next turn.
    later = np.arange(n)[None, :] >= np.arange(n)[:, None]
    spans = G_ts[:, None, :] - G_int[:, :, None] + np.where(later, 0.0, DeltaG[:, None, None])
    x = (spans / RT).reshape(N, n * n)
    top = x.max(axis=1)
    lse = top + np.log(np.exp(x - top[:, None]).sum(axis=1))
    tof = (K_B * T / H) * -np.expm1(DeltaG / RT) * np.exp(-lse)
    k = x.argmax(axis=1)
    return tof, k // n + 1, k % n + 1


def rate(N=100_000, n=3, repeat=5):
    """Cycles per second, the best of `repeat` runs."""
    T, G_int, G_ts, DeltaG = screening(N, n)
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        energetic_span_tof(T, G_int, G_ts, DeltaG)
        best = min(best, time.perf_counter() - start)
    return N / best


if __name__ == "__main__":
    N = int(sys.argv[1]) if len(sys.argv) > 1 else 100_000
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    print(f"numpy, energetic-span TOF, TDI, TDTS: {rate(N, n):.3g} cycles/s ({N} cycles of {n} steps)")
