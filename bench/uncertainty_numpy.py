#!/usr/bin/python3
"""The Monte Carlo of sample_uncertainty written the way numpy code would do it.

The same cycles as bench/uncertainty_bench.cc's shape (n steps, a reactant and a
product concentration at every step, sigma 1 kcal/mol on every state,
correlation 0.3, shared 0.5), every sample over the logarithms of its terms:
ln TOF, TDI/TDTS by the dominant term (first in column order) and the X_TOF of
the states, reactants and products, vectorised over chunks of samples (arrays
of shape (chunk, n, n)), no loop over samples. Prints samples per second, to
be set beside the items_per_second of BM_Uncertainty:

    /usr/bin/python3 bench/uncertainty_numpy.py [n ...]
"""
import sys
import time

import numpy as np

K_B = float(np.float32(1.380658e-23))
N_A = float(np.float32(6.0221367e23))
H = float(np.float32(6.6260755e-34))
KCAL = float(np.float32(4.184)) * 1000.0
R = K_B * N_A


def make_cycle(n, seed=777):
    rng = np.random.default_rng(seed + n)
    g_int = rng.uniform(-10, 10, n)
    g_int[0] = 0.0
    g_ts = rng.uniform(-10, 10, n) + 20.0
    reac = rng.uniform(0.5, 2.0, n)
    prod = rng.uniform(0.5, 2.0, n)
    return 298.15, g_int, g_ts, -15.0, reac, prod


def prepare(n, reac, prod):
    """Index arrays and 0/1 matrices that do not change between samples."""
    a = np.arange(1, n + 1)[:, None]
    b = np.arange(1, n + 1)[None, :]
    ts = (a + b - 2) % n  # 0-based transition state of term (a, b)
    next_turn = (a + b - 1) <= n
    inter = np.where(next_turn, n + a - 1, a - 1)  # into [this turn, next turn]
    ln_r, ln_p = np.log(reac), np.log(prod)
    C = np.zeros((n, n))
    m_ts = np.zeros((n * n, n))
    m_reac = np.zeros((n * n, n))
    m_prod = np.zeros((n * n, n))
    for ai in range(1, n + 1):
        for bi in range(1, n + 1):
            k = (ai - 1) * n + (bi - 1)
            for s in range(ai, ai + bi - 1):
                C[ai - 1, bi - 1] += ln_p[(s - 1) % n]
            for s in range(ai + bi, ai + n):
                C[ai - 1, bi - 1] += ln_r[(s - 1) % n]
            m_ts[k, ts[ai - 1, bi - 1]] = 1.0
            for i in range(1, n + 1):
                J = (i - ai) % n
                if J >= bi:
                    m_reac[k, i - 1] = 1.0
                if J <= bi - 2:
                    m_prod[k, i - 1] = 1.0
    return ts, inter, C, m_ts, m_reac, m_prod, ln_r.sum(), ln_p.sum()


def sample(n, samples, chunk=20000, sigma=1.0, rho=0.3, shared=0.5, seed=1):
    T, g_int, g_ts, dG0, reac, prod = make_cycle(n)
    ts, inter, C, m_ts, m_reac, m_prod, LR, LP = prepare(n, reac, prod)
    inv_RT = KCAL / (T * R)
    ln_pref = np.log(T * K_B / H)
    states = 2 * n + 1
    # Independent generators for the shared and the own parts of the errors.
    rng_u, rng_v = (np.random.default_rng(s) for s in np.random.SeedSequence(seed).spawn(2))
    log10 = np.empty(samples)
    tdi = np.empty(samples, dtype=np.int32)
    sums = np.zeros(4 * n)
    squares = np.zeros(4 * n)
    done = 0
    while done < samples:
        N = min(chunk, samples - done)
        w = np.sqrt(shared) * rng_u.standard_normal((N, states + 1)) + np.sqrt(
            1 - shared) * rng_v.standard_normal((N, states + 1))
        e = sigma * (np.sqrt(rho) * w[:, :1] + np.sqrt(1 - rho) * w[:, 1:])
        G = g_int + e[:, 0:2 * n:2]
        dG = dG0 + (e[:, 2 * n] - e[:, 0])
        this_next = np.concatenate([G, G + dG[:, None]], axis=1) * inv_RT
        x_ts = (g_ts + e[:, 1:2 * n:2]) * inv_RT
        l = (x_ts[:, ts] - this_next[:, inter]) + C
        m = l.max(axis=(1, 2))
        # The dominant term: the first largest in column order.
        first = np.argmax(l.transpose(0, 2, 1).reshape(N, -1), axis=1)
        b, a = np.divmod(first, n)
        tdi[done:done + N] = a + 1
        t = np.exp(l - m[:, None, None])
        S = t.sum(axis=(1, 2))
        u = -dG * inv_RT + LR
        sign = np.where(u > LP, 1.0, -1.0)
        hi, lo = np.maximum(u, LP), np.minimum(u, LP)
        lnN = hi + np.log1p(-np.exp(lo - hi))
        log10[done:done + N] = (((ln_pref + lnN) - m) - np.log(S)) / np.log(10)
        q = sign * np.exp(LP - lnN)
        flat = t.reshape(N, -1)
        x = np.concatenate([
            t.sum(axis=2) / S[:, None], flat @ m_ts / S[:, None],
            (1 + q)[:, None] - flat @ m_reac / S[:, None], -q[:, None] - flat @ m_prod / S[:, None]
        ], axis=1)
        sums += x.sum(axis=0)
        squares += (x * x).sum(axis=0)
        done += N
    return log10.mean(), log10.std(ddof=1), np.percentile(log10, [2.5, 50, 97.5])


def main():
    sizes = [int(a) for a in sys.argv[1:]] or [3, 10, 30]
    print(f"numpy {np.__version__}, one process")
    for n in sizes:
        samples = 200000
        start = time.perf_counter()
        mean, sd, _ = sample(n, samples)
        seconds = time.perf_counter() - start
        print(f"n = {n:3d}: {samples / seconds:12,.0f} samples/s   (log10 TOF {mean:.3f} +- {sd:.3f})")


if __name__ == "__main__":
    main()
