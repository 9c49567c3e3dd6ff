"""kinex.map: the arrays and documents against kinex map's, the grid at the
catalysts against their own log10 TOF, and what it refuses."""

import io
import json
import pickle
import sys
import warnings

import numpy as np
import pytest

import kinex
from conftest import EXAMPLES, KINEX_TOOL, run

TABLE = str(EXAMPLES / "map.csv")
X, Y = "Descriptor dG(OA)", "Descriptor dG(RE)"


@pytest.mark.parametrize("second", [{"y": Y}, {"T": (250.0, 450.0)}], ids=["two", "temperature"])
def test_the_map_is_kinex_maps_to_the_last_bit(second):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", kinex.InputWarning)
        m = kinex.map(TABLE, X, points=(9, 7), threads=1, **second)
    y = second.get("y") or "T=250:450"
    done = run(KINEX_TOOL, "map", TABLE, "--x", X, "--y", y, "--points", "9,7", "--json")
    assert m.to_dict() == json.loads(done.stdout)
    assert m.log10_tof.shape == m.tdi.shape == m.tdts.shape == (7, 9)
    grid = m.to_dict()["grid"]
    assert np.array_equal(m.log10_tof, np.array(grid["log10_tof"]))
    assert m.tdi.tolist() == grid["tdi"] and m.tdts.tolist() == grid["tdts"]
    assert list(m.x) == grid["x"] and list(m.y) == grid["y"]
    assert m.csv() == run(KINEX_TOOL, "map", TABLE, "--x", X, "--y", y, "--points", "9,7",
                          "--csv").stdout.decode()
    assert m.over_temperature == ("T" in second)


def test_the_span_map_is_kinex_maps_and_lowest_at_its_top():
    m = kinex.map(TABLE, X, Y, points=(9, 7), quantity="energetic_span")
    args = ["map", TABLE, "--x", X, "--y", Y, "--points", "9,7", "--quantity", "energetic_span"]
    doc = m.to_dict()
    assert doc == json.loads(run(KINEX_TOOL, *args, "--json").stdout)
    assert m.quantity == doc["quantity"] == "energetic_span" and "log10_tof" not in doc["grid"]
    assert np.array_equal(m.energetic_span, np.array(doc["grid"]["energetic_span"]))
    assert doc["top"]["energetic_span"] == m.energetic_span.min()
    assert m.csv() == run(KINEX_TOOL, *args, "--csv").stdout.decode()
    assert m.csv().startswith("x,y,energetic_span,tdi,tdts,")


@pytest.mark.parametrize("second, quantity", [
    ({"y": Y}, "log10_tof"), ({"T": (250.0, 450.0)}, "log10_tof"), ({"y": Y}, "energetic_span"),
], ids=["two", "temperature", "span"])
def test_the_map_pickles_whole_and_makes_the_csvs_dataframe(second, quantity, monkeypatch):
    import pandas

    with warnings.catch_warnings():
        warnings.simplefilter("ignore", kinex.InputWarning)
        m = kinex.map(TABLE, X, points=(8, 6), quantity=quantity, **second)
    back = pickle.loads(pickle.dumps(m))
    assert back.to_dict() == m.to_dict() and back.csv() == m.csv() and back.text() == m.text()
    assert repr(back) == repr(m) and back.plot().svg == m.plot().svg
    frame = kinex.to_dataframe(m)
    assert frame.shape == (6 * 8, 6)
    assert list(frame.columns) == m.csv().splitlines()[0].split(",")
    pandas.testing.assert_frame_equal(frame, pandas.read_csv(io.StringIO(m.csv())))
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="needs pandas"):
        kinex.to_dataframe(m)


def test_a_plane_exact_table_puts_every_catalyst_on_the_grid(tmp_path):
    # Catalysts on the lattice 0..4 x 0..2 and every state a plane of quarters.
    planes = {"I0": (0, 0, 0), "TS1": (14, 0.75, 0.5), "I1": (0, 1, -0.25), "TS2": (20, -0.5, 1.25),
              "I2": (-6, 0.25, 0.5), "P": (-12, 0, 0)}
    at = [(0, 0), (1, 2), (2, 1), (3, 0), (4, 2), (0, 2), (4, 0)]
    lines = ["Catalyst,Descriptor x,Descriptor y," + ",".join(planes)]
    for k, (x, y) in enumerate(at):
        lines.append(f"c{k},{x},{y}," + ",".join(str(a + b * x + c * y)
                                                 for a, b, c in planes.values()))
    table = tmp_path / "planes.csv"
    table.write_text("\n".join(lines) + "\n")
    m = kinex.map(table, "Descriptor x", "Descriptor y", points=(5, 3), x_range=(0, 4),
                  y_range=(0, 2))
    for p in m.points:
        assert m.log10_tof[int(p.y), int(p.x)] == pytest.approx(p.log10_tof, abs=1e-9)
        assert (m.tdi[int(p.y), int(p.x)], m.tdts[int(p.y), int(p.x)]) == (p.tdi, p.tdts)


@pytest.mark.parametrize("args, error, words", [
    ({"y": "Descriptor dG(XX)"}, ValueError, 'is no Descriptor column of the table'),
    ({}, TypeError, "give either y"),
    ({"y": Y, "T": (300, 400)}, TypeError, "not both"),
    ({"T": (400, 300)}, ValueError, "T: (400.0, 300.0) is not FROM below TO"),
    ({"y": Y, "points": (1, 5)}, ValueError, "points[0]"),
    ({"y": Y, "x_range": (2, 1)}, ValueError, "x_range: (2.0, 1.0)"),
    ({"y": Y, "points": (100000, 100000)}, ValueError, "more than the"),
    ({"y": Y, "quantity": "selectivity"}, ValueError, "quantity: 'selectivity' is not"),
])
def test_what_makes_no_map_is_refused_with_the_reason(args, error, words):
    with pytest.raises(error) as caught:
        kinex.map(TABLE, X, **args)
    assert words in str(caught.value)


def test_the_picture_is_kinex_maps():
    m = kinex.map(TABLE, X, Y, points=(12, 10))
    picture = m.plot(size="column")
    assert isinstance(picture, kinex.Picture)
    done = run(KINEX_TOOL, "map", TABLE, "--x", X, "--y", Y, "--points", "12,10", "--size",
               "column", "-o", "/dev/stdout")
    assert picture.svg == done.stdout.decode()[:len(picture.svg)]
