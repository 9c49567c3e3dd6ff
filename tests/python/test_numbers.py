"""Every number of the Python package is the one behind the report: the
same bits as kinex json, the same bytes as KINEX.exe."""

import math
import struct

import numpy as np
import pytest

import kinex
from conftest import EXAMPLE_FILES, EXAMPLES, KINEX_EXE, kinex_json, run


def bits(x):
    return struct.pack("<d", x) if isinstance(x, float) else x


def same(a, b):
    """Equal as documents, floats bit for bit."""
    if isinstance(a, dict):
        return isinstance(b, dict) and list(a) == list(b) and all(same(a[k], b[k]) for k in a)
    if isinstance(a, list):
        return isinstance(b, list) and len(a) == len(b) and all(map(same, a, b))
    return type(a) is type(b) and bits(a) == bits(b)


def checked_against_json(result, doc):
    """The attributes against the document of kinex json, bit for bit."""
    r = doc["results"]
    pairs = [
        (result.tof_per_s, r["tof_per_s"]), (result.tof_per_h, r["tof_per_h"]),
        (result.tof_per_day, r["tof_per_day"]), (result.log10_tof, r["log10_tof"]),
        (result.energetic_span, r["energetic_span"]), (result.effective_span, r["effective_span"]),
        (result.apparent_barrier, r["apparent_barrier"]),
    ]
    for ours, theirs in pairs:
        if theirs is None:
            assert not math.isfinite(ours)
        else:
            assert bits(ours) == bits(theirs)
    # One vocabulary: every attribute of the result is the document's key of
    # the same name.
    for name in ("tdi_step", "tdts_step", "tdi", "tdts", "tdi_ties", "tdts_ties", "evaluation",
                 "warning", "warning_text", "advice", "advice_reactant_steps",
                 "advice_product_steps"):
        assert getattr(result, name) == r[name], name
    for name in ("xtof_int", "xtof_ts", "xtof_reactant", "xtof_product"):
        ours, theirs = getattr(result, name), r[name]
        assert len(ours) == len(theirs)
        for a, b in zip(ours, theirs):
            assert (b is None and not math.isfinite(a)) or bits(float(a)) == bits(b)
    assert [w.code for w in result.warnings] == [w["code"] for w in doc["warnings"]]


@pytest.mark.parametrize("path", EXAMPLE_FILES, ids=lambda p: p.rsplit("/", 1)[-1])
def test_examples_match_kinex_json_and_the_report(path):
    result = kinex.read(path).evaluate()
    doc = kinex_json(path)
    ours = result.to_dict()
    ours.pop("command_line")
    assert same(ours, doc)
    checked_against_json(result, doc)
    assert result.report().encode() == run(KINEX_EXE, path).stdout


def test_tied_terms_name_the_earliest_states_and_the_report_its_own(tmp_path):
    """TS1 and TS3 both lie 2.1 kcal/mol above I2: the outputs name TS1, tied
    with TS3, at every temperature; the report stays KINEX.exe's."""
    text = "0.0 0.0 x x\n-54.1 -54.1 x x\n-72.1 -70.0 x x\n-70.0\n"
    for T in (10.0, 298.15, 733.0, 2000.0):
        path = tmp_path / f"tie{T}.txt"
        path.write_text(f"{T}\n3\n{text}")
        result = kinex.read(str(path)).evaluate()
        assert (result.tdi, result.tdts, result.tdi_ties, result.tdts_ties) == ("I2", "TS1", [], ["TS3"])
        checked_against_json(result, kinex_json(str(path)))
        assert result.report().encode() == run(KINEX_EXE, str(path)).stdout


def test_generated_cycles_match_kinex_json_and_the_report(generated):
    docs = kinex_json(*generated)
    assert len(docs) == len(generated)
    for path, doc in zip(generated, docs):
        result = kinex.read(path).evaluate()
        ours = result.to_dict()
        ours.pop("command_line")
        assert same(ours, doc), path
        checked_against_json(result, doc)
        assert result.report().encode() == run(KINEX_EXE, path).stdout, path


@pytest.mark.parametrize("options", ["l", "i d", "a t h", "idathl", "x", "lh q"])
def test_report_options_as_kinex_exe(options):
    path = str(EXAMPLES / "five_step.txt")
    ours = kinex.read(path).report(options)
    assert ours.encode() == run(KINEX_EXE, path, *options.split()).stdout


def test_a_cycle_built_in_memory_is_the_cycle_of_its_file():
    built = kinex.Cycle(298.15, [0.0, -5.1, -2.0], [15.2, 20.3, 12.0], -10.0,
                        reactant=[None, 0.5, None], product={3: 1.0e-3},
                        name=str(EXAMPLES / "three_step.txt"))
    read = kinex.read(EXAMPLES / "three_step.txt")
    a, b = built.evaluate().to_dict(), read.evaluate().to_dict()
    assert same(a, b)
    assert built.report() == read.report()


def test_table_rows_match_kinex_json_of_the_table():
    table = str(EXAMPLES / "screening.csv")
    cycles = kinex.read_table(table)
    docs = kinex_json(table)
    assert [c.name for c in cycles] == [d["file"] for d in docs]
    for cycle, doc in zip(cycles, docs):
        ours = cycle.evaluate().to_dict()
        ours.pop("command_line")
        assert same(ours, doc), cycle.name
    assert cycles[0].descriptors == docs[0]["descriptors"]


def test_beyond_the_range_of_doubles_log10_tof_stays_exact():
    # A 150 kcal/mol span at 10 K: the direct TOF underflows to 0.
    cycle = kinex.Cycle(10.0, [0.0, -5.0], [150.0, 20.0], -10.0)
    result = cycle.evaluate()
    assert result.evaluation == "log-space"
    assert math.isfinite(result.log10_tof) and result.log10_tof < -3000
    assert result.tdi == "I0" and result.tdts == "TS1"


def test_scans_are_evaluations_at_each_value():
    cycle = kinex.read(EXAMPLES / "three_step.txt")
    temperatures = np.linspace(250.0, 400.0, 7)
    scan = kinex.scan_temperature(cycle, temperatures)
    assert len(scan) == 7 and scan.quantity == "T"
    for k, T in enumerate(temperatures):
        at = kinex.Cycle(T, cycle.G_int, cycle.G_ts, cycle.DeltaG, cycle.reactant,
                         cycle.product).evaluate()
        assert bits(float(scan.tof_per_s[k])) == bits(at.tof_per_s)
        assert bits(float(scan.log10_tof[k])) == bits(at.log10_tof)
        assert (scan.tdi[k], scan.tdts[k]) == (at.tdi, at.tdts)
    conc = kinex.scan_concentration(cycle, 1, [1e-3, 1e-2, 1e-1], species="reactant")
    assert conc.quantity == "reactant_1"
    for k, c in enumerate([1e-3, 1e-2, 1e-1]):
        reactant = cycle.reactant.copy()
        reactant[0] = c
        at = kinex.Cycle(cycle.T, cycle.G_int, cycle.G_ts, cycle.DeltaG, reactant,
                         cycle.product).evaluate()
        assert bits(float(conc.tof_per_s[k])) == bits(at.tof_per_s)
