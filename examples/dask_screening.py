"""A screening of a table of catalysts on a Dask cluster.

    /usr/bin/python3 examples/dask_screening.py examples/screening.csv
        runs it on a local cluster of two worker processes on this machine;
    /usr/bin/python3 examples/dask_screening.py table.csv --scheduler tcp://HOST:8786
        runs it on the cluster whose scheduler listens there: the only change.

The table is read here, its rows sent to the workers in chunks, evaluated
there with kinex.evaluate_many, and the results (kinex.Result, which pickle)
gathered back in row order. Every worker needs kinex installed for the same
Python version. Writes a CSV: name, TOF (1/s), log10 TOF, TDI, TDTS.
"""

import argparse
import csv
import sys

import kinex
from dask.distributed import Client, LocalCluster


def evaluate_chunk(cycles):
    """What runs on a worker: one chunk of cycles, one thread (a worker
    process per core does the rest)."""
    return kinex.evaluate_many(cycles, threads=1)


def screen(cycles, client, chunk=500):
    """Every cycle evaluated on the cluster of `client`, in their order."""
    chunks = [cycles[k:k + chunk] for k in range(0, len(cycles), chunk)]
    futures = client.map(evaluate_chunk, chunks, pure=False)
    return [result for part in client.gather(futures) for result in part]


def local_cluster(workers):
    """A cluster of `workers` processes on this machine, one thread each.
    Its dashboard takes a free port: the default, 8787, may be taken by
    another cluster, and Dask then warns (None does not turn it off)."""
    return LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                        dashboard_address=":0")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("table", help="a table of catalysts (.csv or .tsv)")
    parser.add_argument("--scheduler", help="the address of a running cluster's scheduler "
                        "(tcp://HOST:8786); without it, a local cluster")
    parser.add_argument("--workers", type=int, default=2,
                        help="worker processes of the local cluster (default 2)")
    parser.add_argument("--chunk", type=int, default=500, help="cycles per task (default 500)")
    args = parser.parse_args(argv)

    cycles = kinex.read_table(args.table)
    if args.scheduler:
        with Client(args.scheduler) as client:
            results = screen(cycles, client, args.chunk)
    else:
        with local_cluster(args.workers) as cluster, Client(cluster) as client:
            results = screen(cycles, client, args.chunk)
    out = csv.writer(sys.stdout, lineterminator="\n")
    out.writerow(["name", "tof_per_s", "log10_tof", "tdi", "tdts"])
    for r in results:
        out.writerow([r.name, repr(r.tof_per_s), repr(r.log10_tof), r.tdi, r.tdts])


if __name__ == "__main__":
    main()
