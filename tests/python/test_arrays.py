"""kinex.evaluate_arrays against evaluate_many, bit for bit, over random
cycles; its refusals of bad arrays; a table read as arrays."""

import pickle
import re
import sys

import numpy as np
import pytest

import kinex
from conftest import EXAMPLES

# The result arrays and the Result attribute each must equal.
SAME_AS = {
    "tof_per_s": "tof_per_s", "log10_tof": "log10_tof", "tdi_step": "tdi_step",
    "tdts_step": "tdts_step", "energetic_span": "energetic_span",
    "effective_span": "effective_span", "apparent_barrier": "apparent_barrier",
    "apparent_activation_energy": "apparent_activation_energy",
    "driving_force": "driving_force", "xtof_int": "xtof_int", "xtof_ts": "xtof_ts",
    "xtof_reactant": "xtof_reactant", "xtof_product": "xtof_product", "warning": "warning",
    "evaluation": "evaluation", "tdi": "tdi", "tdts": "tdts",
}
# The flags and the finding of kinex check each stands for.
FLAGS = {"negative_barrier": "negative-barrier", "tof_above_limit": "TOF-above-limit",
         "energies_look_kj": "energies-look-kJ",
         "temperature_looks_celsius": "temperature-looks-celsius",
         "result_not_finite": "result-not-finite"}


def random_cycles(rng, N, n, concentrations):
    """N random n-step cycles: energies of either sign, now and then spans,
    temperatures or a DeltaG that take the results beyond the range of
    doubles (the log-space evaluation), cold temperatures, negative
    barriers, no driving force; concentrations with steps that have none."""
    scale = rng.choice([1.0, 1.0, 40.0], size=(N, 1))
    G_int = rng.uniform(-30, 10, (N, n)) * scale
    G_ts = G_int + rng.uniform(-3, 35, (N, n)) * scale
    T = rng.choice([298.15, 15.0, 150.0, 900.0], size=N)
    DeltaG = rng.uniform(-40, 5, N) * scale[:, 0]
    if not concentrations:
        return dict(T=T, G_int=G_int, G_ts=G_ts, DeltaG=DeltaG)
    def conc():
        c = rng.choice([0.5, 1e-3, 2.0, 1e-9, 1.0], size=(N, n))
        c[rng.random((N, n)) < 0.5] = np.nan
        return c
    return dict(T=T, G_int=G_int, G_ts=G_ts, DeltaG=DeltaG, reactant=conc(), product=conc())


def bits(values):
    """The values as their bits (str arrays as they are)."""
    values = np.asarray(values)
    return values if values.dtype.kind == "U" else values.astype(values.dtype).view(np.uint8)


@pytest.mark.parametrize("concentrations", [False, True], ids=["energies", "concentrations"])
def test_arrays_give_the_bits_of_evaluate_many_for_every_cycle(concentrations):
    rng = np.random.default_rng(29 + concentrations)
    for n in range(1, 31):
        given = random_cycles(rng, 12, n, concentrations)
        names = [f"S{k}" for k in range(2 * n)] if n % 2 else None
        arrays = kinex.evaluate_arrays(**given, threads=1 + n % 3, names=names)
        cycles = [kinex.Cycle(given["T"][k], given["G_int"][k], given["G_ts"][k],
                              given["DeltaG"][k],
                              reactant=given["reactant"][k] if concentrations else None,
                              product=given["product"][k] if concentrations else None,
                              names=names)
                  for k in range(12)]
        results = kinex.evaluate_many(cycles, threads=1)
        assert len(arrays) == 12 and arrays.n == n
        for key, attribute in SAME_AS.items():
            expected = [getattr(r, attribute) for r in results]
            assert (bits(getattr(arrays, key)) == bits(expected)).all(), (n, key)
        for flag, code in FLAGS.items():
            expected = [any(w.code == code for w in r.warnings) for r in results]
            assert getattr(arrays, flag).tolist() == expected, (n, flag)


def test_arrays_broadcast_T_and_DeltaG_and_read_any_real_dtype():
    G_int = np.array([[0, -5, -2], [0, -4, -1]])  # integers
    G_ts = np.array([[15.2, 20.3, 12.0], [14.0, 19.0, 11.0]], dtype=np.float32)
    one = kinex.evaluate_arrays(298.15, G_int, G_ts, -10)
    each = kinex.evaluate_arrays([298.15, 298.15], G_int.astype(float),
                                 G_ts.astype(float), np.array([-10.0, -10.0]))
    assert (bits(one.xtof_ts) == bits(each.xtof_ts)).all()
    assert set(one.to_dict()) == set(SAME_AS) - {"evaluation", "tdi", "tdts"} | {"log_space"} | set(FLAGS)
    assert not one.tof_per_s.flags.writeable
    again = pickle.loads(pickle.dumps(one))
    assert all((bits(v) == bits(getattr(again, k))).all() for k, v in one.to_dict().items())
    assert again.tdi.tolist() == one.tdi.tolist()
    empty = kinex.evaluate_arrays(300.0, np.zeros((0, 2)), np.zeros((0, 2)), -1.0)
    assert len(empty) == 0 and empty.xtof_int.shape == (0, 2) and empty.tdi.shape == (0,)


GOOD = dict(T=[298.15, 300.0, 310.0], G_int=np.zeros((3, 2)), G_ts=np.full((3, 2), 10.0),
            DeltaG=-5.0, reactant=np.full((3, 2), np.nan), product=None)


def changed(key, value):
    given = dict(GOOD)
    given[key] = value
    return given


def with_value(key, row, step, value):
    array = np.array(GOOD[key], dtype=float)
    array[row, step] = value
    return changed(key, array)


BAD = {  # name: (arguments, error, what its message must say)
    "G_ts of another shape": (changed("G_ts", np.ones((3, 3))), ValueError,
                              r"G_ts: an array of G_int's shape \(3, 2\).*\(3, 3\)"),
    "T of another length": (changed("T", [300.0, 300.0]), ValueError, r"T: .*\(3,\).*\(2,\)"),
    "DeltaG of two dimensions": (changed("DeltaG", np.ones((3, 1))), ValueError,
                                 r"DeltaG: an array of 1 dimension or a single number"),
    "reactant of another shape": (changed("reactant", np.ones((2, 2))), ValueError,
                                  r"reactant: an array of G_int's shape"),
    "G_int of one dimension": (changed("G_int", np.zeros(2)), ValueError,
                               r"G_int: an array of 2 dimensions, not one of shape \(2,\)"),
    "no steps": (dict(GOOD, G_int=np.zeros((3, 0)), G_ts=np.zeros((3, 0)), reactant=None),
                 ValueError, r"G_int: a cycle needs at least one step"),
    "NaN energy in row 2": (with_value("G_int", 2, 1, np.nan), ValueError,
                            r"G_int\[2, 1\]: nan is not a finite energy \(row 2\)"),
    "infinite transition state in row 1": (with_value("G_ts", 1, 0, np.inf), ValueError,
                                           r"G_ts\[1, 0\]: inf is not a finite energy \(row 1\)"),
    "negative concentration in row 1": (with_value("reactant", 1, 1, -0.5), ValueError,
                                        r"reactant\[1, 1\]: -0.5 is not above 0.*\(row 1\)"),
    "infinite concentration": (with_value("reactant", 0, 0, np.inf), ValueError,
                               r"reactant\[0, 0\]: inf is not finite"),
    "T of 0 in row 1": (changed("T", [300.0, 0.0, 300.0]), ValueError,
                        r"T\[1\]: 0 K is not above 0"),
    "negative T for all": (changed("T", -5.0), ValueError, r"^T: -5 K is not above 0"),
    "NaN DeltaG": (changed("DeltaG", np.nan), ValueError, r"^DeltaG: nan is not finite"),
    "energies as text": (changed("G_int", np.array([["0", "1"]] * 3)), TypeError,
                         r"G_int: an array of real numbers, not one of dtype <U1"),
    "energies as bools": (changed("G_ts", np.ones((3, 2), dtype=bool)), TypeError,
                          r"G_ts: an array of real numbers, not one of dtype bool"),
    "energies as objects": (changed("G_int", [[0.0, None]] * 3), TypeError,
                            r"G_int: an array of real numbers, not one of dtype object"),
    "threads below 0": (dict(GOOD, threads=-1), ValueError, r"threads"),
    "too few names": (dict(GOOD, names=["A", "B"]), ValueError, r"names: 2 names"),
}


@pytest.mark.parametrize("name", list(BAD))
def test_bad_arrays_are_refused_naming_the_argument_and_row(name):
    given, error, message = BAD[name]
    with pytest.raises(error, match=message):
        kinex.evaluate_arrays(**given)


def test_a_table_read_as_arrays_is_its_cycles_evaluated(tmp_path):
    table = EXAMPLES / "screening.csv"
    arrays = kinex.read_table(table, as_arrays=True)
    cycles = kinex.read_table(table)
    assert arrays.rows == [c.name.split(":", 1)[1] for c in cycles]
    assert arrays.names == cycles[0].names
    assert (bits(arrays.descriptors["Descriptor dG(O*)"]) ==
            bits([c.descriptors["Descriptor dG(O*)"] for c in cycles])).all()
    results, many = arrays.evaluate(threads=2), kinex.evaluate_many(cycles)
    assert results.cycles is arrays
    for key, attribute in SAME_AS.items():
        assert (bits(getattr(results, key)) == bits([getattr(r, attribute) for r in many])).all()

    bad = tmp_path / "bad.csv"
    bad.write_text(table.read_text().replace("Pd-B,-0.85,0.0,17.9", "Pd-B,-0.85,0.0,abc"))
    with pytest.raises(kinex.InputError, match="bad.csv:3"):
        kinex.read_table(bad, as_arrays=True)
    with pytest.warns(kinex.InputWarning, match="left out: .*bad.csv:3"):
        kept = kinex.read_table(bad, errors="warn", as_arrays=True)
    assert kept.rows == ["Pd-A", "Ni(PPh3)2, L1", "Cu-C"] and kept.lines.tolist() == [2, 4, 5]


def test_a_frame_of_result_arrays(monkeypatch):
    import pandas

    results = kinex.read_table(EXAMPLES / "screening.csv", as_arrays=True).evaluate()
    frame = kinex.to_dataframe(results)
    assert list(frame.columns[:6]) == ["file", "name", "T", "DeltaG", "Descriptor dG(O*)",
                                       "tof_per_s"]
    assert frame["xtof_ts_3"].tolist() == results.xtof_ts[:, 2].tolist()
    assert frame["tdts"].tolist() == results.tdts.tolist()
    alone = kinex.to_dataframe(kinex.evaluate_arrays(**GOOD))
    assert isinstance(alone, pandas.DataFrame) and "name" not in alone.columns
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match=re.escape("needs pandas")):
        kinex.to_dataframe(results)
