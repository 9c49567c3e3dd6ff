"""The objects travel (pickling, threads, processes) without changing a bit,
and show themselves in notebooks and DataFrames."""

import math
import multiprocessing
import pickle
import re
import xml.dom.minidom
import xml.etree.ElementTree

import numpy as np
import pytest

import kinex
from conftest import EXAMPLES


def results_equal(a, b):
    return a.to_dict() == b.to_dict() and a.report() == b.report() and \
        np.array_equal(a.xtof_ts, b.xtof_ts) and a.tof_per_s.hex() == b.tof_per_s.hex()


def cycles():
    return [kinex.read(p) for p in sorted(EXAMPLES.glob("*.txt"))] + \
        kinex.read_table(EXAMPLES / "screening.csv")


def test_cycles_and_results_pickle_round_trip():
    for cycle in cycles():
        again = pickle.loads(pickle.dumps(cycle))
        assert (again.name, again.names, again.descriptors) == (cycle.name, cycle.names, cycle.descriptors)
        assert np.array_equal(again.reactant, cycle.reactant, equal_nan=True)
        result = cycle.evaluate()
        back = pickle.loads(pickle.dumps(result))
        assert results_equal(back, result)
        assert results_equal(back, again.evaluate())
        assert [w.code for w in back.warnings] == [w.code for w in result.warnings]


def test_input_errors_pickle_with_their_parts(tmp_path):
    path = tmp_path / "bad.txt"
    path.write_text("298.15\n1\n0 1x x x\n-10\n")
    with pytest.raises(kinex.InputError) as caught:
        kinex.read(path)
    again = pickle.loads(pickle.dumps(caught.value))
    assert (str(again), again.file, again.line, again.column, again.reason) == \
        (str(caught.value), caught.value.file, caught.value.line, caught.value.column, caught.value.reason)


def _evaluate(cycle):
    return cycle.evaluate()


def test_results_from_worker_processes_are_those_made_here():
    all_cycles = cycles()
    with multiprocessing.get_context("spawn").Pool(2) as pool:
        remote = pool.map(_evaluate, all_cycles)
    for r, cycle in zip(remote, all_cycles):
        assert results_equal(r, cycle.evaluate())


def test_evaluate_many_is_cycle_by_cycle_evaluation_on_any_number_of_threads():
    all_cycles = cycles() * 5
    serial = [c.evaluate() for c in all_cycles]
    for threads in (1, 2, 3, 0):
        many = kinex.evaluate_many(all_cycles, threads=threads)
        assert [r.name for r in many] == [c.name for c in all_cycles]
        assert all(results_equal(a, b) for a, b in zip(many, serial))
    assert kinex.evaluate_many([]) == []
    from_generator = kinex.evaluate_many(c for c in all_cycles[:3])
    assert all(results_equal(a, b) for a, b in zip(from_generator, serial))


def test_dataframes_of_results_and_scans():
    import pandas

    results = kinex.evaluate_many(kinex.read_table(EXAMPLES / "screening.csv"))
    frame = kinex.to_dataframe(results)
    assert list(frame.columns[:16]) == ["file", "T", "n", "DeltaG", "tof_per_s", "tdi_step",
                                        "tdts_step", "energetic_span", "warning", "log10_tof",
                                        "evaluation", "effective_span", "apparent_barrier",
                                        "warning_count", "tdi", "tdts"]
    assert "Descriptor dG(O*)" in frame.columns
    assert frame["tof_per_s"].tolist() == [r.tof_per_s for r in results]
    scan = kinex.scan_temperature(results[0].cycle, [280.0, 300.0])
    assert kinex.to_dataframe(scan)["T"].tolist() == [280.0, 300.0]
    assert isinstance(kinex.to_dataframe([]), pandas.DataFrame)


def test_each_column_of_a_results_frame_holds_its_own_quantity():
    built = [  # name, T, energies of the intermediates and transition states, DeltaG
        ("three", 298.15, [0.0, -5.1, -2.0], [15.2, 20.3, 12.0], -10.0),
        ("cold", 10.0, [0.0], [0.5], -15.0),  # beyond the range of doubles
        ("uphill", 350.0, [0.0, 3.0], [12.0, 25.0], 2.0),  # no driving force
    ]
    cycles = [kinex.Cycle(T, G_int, G_ts, DeltaG, reactant=[0.5] + [None] * (len(G_int) - 1),
                          names=[f"{name}{k}" for k in range(2 * len(G_int))], name=name)
              for name, T, G_int, G_ts, DeltaG in built]
    results = kinex.evaluate_many(cycles)
    frame = kinex.to_dataframe(results)
    expected = {
        "file": [b[0] for b in built], "T": [b[1] for b in built],
        "n": [len(b[2]) for b in built], "DeltaG": [b[4] for b in built],
        "tof_per_s": [r.tof_per_s for r in results],
        "log10_tof": [math.log10(abs(r.tof_per_s)) for r in results],
        "tdi_step": [r.tdi_step for r in results], "tdts_step": [r.tdts_step for r in results],
        "tdi": [r.tdi for r in results], "tdts": [r.tdts for r in results],
        "energetic_span": [r.energetic_span for r in results],
        "effective_span": [r.effective_span for r in results],
        "apparent_barrier": [r.apparent_barrier for r in results],
        "warning": [r.warning_text is not None for r in results],
        "evaluation": [r.evaluation for r in results],
        "warning_count": [len(r.warnings) for r in results],
    }
    assert sorted(expected) == sorted(frame.columns)
    for column, values in expected.items():
        if frame[column].dtype.kind == "f":
            np.testing.assert_allclose(frame[column], values, rtol=1e-12, err_msg=column)
        else:
            assert frame[column].tolist() == values, column
    # No two columns alike, so that any two swapped differ from the above.
    for a in frame.columns:
        for b in frame.columns:
            assert a == b or not frame[a].equals(frame[b]), (a, b)


def test_pictures_and_tables_for_notebooks(tmp_path):
    hostile = kinex.Cycle(298.15, [0.0, -5.0], [15.0, 12.0], -10.0,
                          names=["<b>&A", "TS\"1", "B", "TS2", "P<"], name="<script>x</script>")
    result = hostile.evaluate()
    svg = result.plot(title="A & B")._repr_svg_()
    xml.dom.minidom.parseString(svg)  # well-formed whatever the names
    assert "A &amp; B" in svg
    page = result._repr_html_()
    assert "<script>" not in page and "&lt;b&gt;&amp;A" in page
    overlay = kinex.plot(hostile, kinex.read(EXAMPLES / "three_step.txt"), width=600)
    xml.dom.minidom.parseString(str(overlay))
    out = tmp_path / "profile.svg"
    overlay.save(out)
    assert out.read_text(encoding="utf-8") == str(overlay)
    assert [p.name for p in tmp_path.iterdir()] == ["profile.svg"]  # no temporary left


def test_notebooks_show_what_each_object_holds_in_few_digits():
    three = kinex.read(str(EXAMPLES / "three_step.txt"))
    table = EXAMPLES / "volcano.csv"
    shown = [  # the object, what its page must hold, its repr's numbers
        (three.evaluate(), ["reactant of step 2", "Using the reactant", "X<sub>TOF</sub>"],
         ["7.481e-07"]),
        (kinex.Cycle(298.15, [0.0], [15.0], 5.0, name="uphill").evaluate(),
         ["no positive driving force", "kinex check finds"], []),
        (three.uncertainty(1.0, samples=400, seed=1), ["<svg", "95 % interval", "P(TDI)", "I1"],
         []),
        (kinex.volcano(table, samples=20), ["<svg", "TS-RE", "top"], ["-0.6602", "-6.961"]),
    ]
    for thing, parts, numbers in shown:
        page = thing._repr_html_()
        xml.dom.minidom.parseString(page)  # well-formed, so a notebook shows it
        for part in parts:
            assert part in page, (type(thing).__name__, part)
        text = repr(thing)
        for number in numbers:
            assert number in text, text
        # No number of a repr carries more than four significant digits.
        for number in re.findall(r"-?\d+\.\d+(?:e[-+]\d+)?", text):
            assert len(re.sub(r"e.*|[^0-9]", "", number).lstrip("0")) <= 4, text


def picture_texts(picture):
    """The words of every text of the SVG `picture`, as an XML parser reads them."""
    root = xml.etree.ElementTree.fromstring(str(picture))
    return {"".join(t.itertext()) for t in root.iter("{http://www.w3.org/2000/svg}text")}


def test_cycles_are_named_and_pictures_titled_as_asked():
    named = kinex.read(EXAMPLES / "three_step.txt", name="Ni & <PPh3>")
    assert named.name == "Ni & <PPh3>"
    assert pickle.loads(pickle.dumps(named)).name == "Ni & <PPh3>"
    five = kinex.read(str(EXAMPLES / "five_step.txt"))
    result = five.evaluate()
    five.name = "Pd"
    assert (five.name, result.cycle.name) == ("Pd", str(EXAMPLES / "five_step.txt"))
    assert pickle.loads(pickle.dumps(five)).name == "Pd"
    cases = [
        (kinex.plot(named, five), {"Ni & <PPh3>", "Pd"}),
        (kinex.plot(named, result, labels=["A"]), {"A", "five_step"}),
        (kinex.plot([named, result], labels=[None, "B"], xlabel="x & y"), {"Ni & <PPh3>", "B", "x & y"}),
        (named.plot(xlabel="along", ylabel="G & H"), {"along", "G & H"}),
        (result.plot(title="T"), {"T", "Reaction coordinate \u2192", "Gibbs energy (kcal/mol)"}),
    ]
    for picture, words in cases:
        assert words <= picture_texts(picture)
    with pytest.raises(ValueError, match="labels"):
        kinex.plot(named, labels=["a", "b"])
    with pytest.raises(TypeError):
        named.name = 3


@pytest.mark.parametrize("make, old, new", [
    (lambda c: c.evaluate(), "tof", "tof_per_s"),
    (lambda c: c.evaluate(), "driving_force_warning", "warning_text"),
    (lambda c: c.uncertainty(1.0, samples=50), "median", "log10_tof_median"),
    (lambda c: c.uncertainty(1.0, samples=50), "interval_95", "log10_tof_interval_95"),
    (lambda c: kinex.scan_temperature(c, [300.0]), "tof", "tof_per_s"),
])
def test_old_names_give_the_new_with_a_warning_that_names_it(make, old, new):
    thing = make(kinex.read(str(EXAMPLES / "three_step.txt")))
    with pytest.warns(DeprecationWarning, match=f"{old} is now called {new}"):
        value = getattr(thing, old)
    assert repr(value) == repr(getattr(thing, new))
