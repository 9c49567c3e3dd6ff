"""The Python package in a few lines, as a notebook would use it (run from the
project folder; the documentation shows it and what it prints)."""

import numpy as np
import kinex

cycle = kinex.read("examples/three_step.txt")
result = cycle.evaluate()
print(f"TOF = {result.tof_per_s:.4e} 1/s, TDI = {result.tdi}, TDTS = {result.tdts}")
print("X_TOF of the transition states:", result.xtof_ts.round(3))
print("X_TOF of the reactants:", result.xtof_reactant.round(3))
print(result.advice)

picture = cycle.plot(title="Three-step example")
picture.save("three_step.svg")

scan = kinex.scan_temperature(cycle, np.arange(250.0, 401.0, 50.0))
print(scan.log10_tof.round(3), scan.tdts)

cycles = kinex.read_table("examples/screening.csv")
table = kinex.to_dataframe(kinex.evaluate_many(cycles))
print(table[["file", "tof_per_s", "tdi", "tdts"]])
