"""kinex.volcano: the lines against numpy's, the curve against cycles built
and evaluated here, the documents against kinex volcano's, and the tables
that make no volcano refused with a message that says why."""

import io
import json
import math
import os
import pickle
import re
import warnings
import xml.etree.ElementTree

import numpy as np
import pytest

import kinex
from conftest import EXAMPLES, KINEX_TOOL, run

# A three-step cycle: TS1 and TS-RE have columns of their own, the step
# Int1 -> Int2 has none (its transition state is the higher of the two).
HEADER = ["Catalyst", "Descriptor d", "Cat", "TS1", "Int1", "Int2", "TS-RE", "Product", "[R1]"]
STATES = ["Cat", "TS1", "Int1", "Int2", "TS-RE", "Product"]
# Each state's line: intercept, slope (kcal/mol per unit of d).
LINES = {"Cat": (0.0, 0.0), "TS1": (17.0, 3.0), "Int1": (-3.0, 2.5), "Int2": (-1.0, -2.0),
         "TS-RE": (14.0, -2.5), "Product": (-10.0, 0.0)}


def write_table(folder, rows, header=HEADER, name="catalysts.csv"):
    path = folder / name
    lines = [",".join(header)] + [",".join(str(c) for c in row) for row in rows]
    path.write_text("\n".join(lines) + "\n")
    return str(path)


def line_rows(d_values, noise=None, concentration=0.5):
    """A row per descriptor value, each state on its line plus noise[row][state]."""
    rows = []
    for r, d in enumerate(d_values):
        energies = [LINES[s][0] + LINES[s][1] * d + (noise[r][k] if noise is not None else 0.0)
                    for k, s in enumerate(STATES)]
        rows.append([f"cat{r}", repr(d)] + [repr(e) for e in energies] + [repr(concentration)])
    return rows


def cycle_at(energies, T=298.15):
    """The cycle of energies by state, built here: the implied transition
    state the higher of its neighbours."""
    E = energies
    return kinex.Cycle(T, [E["Cat"], E["Int1"], E["Int2"]],
                       [E["TS1"], max(E["Int1"], E["Int2"]), E["TS-RE"]],
                       E["Product"] - E["Cat"], reactant=[0.5, None, None],
                       names=["Cat", "TS1", "Int1", "TS(Int1->Int2)", "Int2", "TS-RE", "Product"])


def leave_one_out_t(d, y, r):
    """Row r's residual against the line fitted without it, in units of that
    line's prediction sd."""
    keep = np.arange(len(d)) != r
    slope, intercept = np.polyfit(d[keep], y[keep], 1)
    s = math.sqrt(((y[keep] - intercept - slope * d[keep]) ** 2).sum() / (keep.sum() - 2))
    X = np.column_stack([np.ones(keep.sum()), d[keep]])
    x = np.array([1.0, d[r]])
    return (y[r] - intercept - slope * d[r]) / (s * math.sqrt(1.0 + x @ np.linalg.inv(X.T @ X) @ x))


def student_tail(t, nu):
    """P(|T| >= |t|) for Student's t, by integrating its density."""
    x = np.linspace(abs(t), abs(t) + 2000.0, 2_000_001)
    density = math.exp(math.lgamma((nu + 1) / 2) - math.lgamma(nu / 2)) / math.sqrt(nu * math.pi) \
        * (1.0 + x ** 2 / nu) ** (-(nu + 1) / 2)
    return 2.0 * np.trapz(density, x)


@pytest.fixture
def noisy(tmp_path):
    """Eight catalysts on the lines with noise of up to 0.4 kcal/mol, cat5's
    TS1 3 kcal/mol off its line."""
    rng = np.random.default_rng(8)
    d = [-1.3, -0.9, -0.4, -0.1, 0.3, 0.7, 1.1, 1.6]
    noise = rng.uniform(-0.4, 0.4, size=(len(d), len(STATES)))
    noise[:, 0] = noise[:, 5] = 0.0  # Cat and Product the same in every row
    noise[5, 1] += 3.0
    rows = line_rows(d, noise)
    return write_table(tmp_path, rows), np.array(d), np.array([[float(c) for c in r[2:8]] for r in rows])


def test_the_lines_are_numpys_least_squares_and_the_outliers_its_residuals(noisy):
    path, d, G = noisy
    with warnings.catch_warnings():
        warnings.simplefilter("error")  # good lines and rows: no warning
        v = kinex.volcano(path, samples=0)
    assert (v.descriptor, v.descriptor_is_state, v.chosen_by) == \
        ("Descriptor d", False, "the table's only descriptor column")
    assert [f.state for f in v.fits] == STATES
    outliers, tails = {}, {}
    for k, fit in enumerate(v.fits):
        slope, intercept = np.polyfit(d, G[:, k], 1) if np.ptp(G[:, k]) else (0.0, G[0, k])
        residual = G[:, k] - (intercept + slope * d)
        sst = ((G[:, k] - G[:, k].mean()) ** 2).sum()
        sd = math.sqrt((residual ** 2).sum() / (len(d) - 2))
        assert fit.slope == pytest.approx(slope, abs=1e-12)
        assert fit.intercept == pytest.approx(intercept, abs=1e-12)
        assert fit.r2 == pytest.approx(1.0 - (residual ** 2).sum() / sst if sst else 1.0, abs=1e-12)
        assert fit.mae == pytest.approx(np.abs(residual).mean(), abs=1e-12)
        assert fit.residual_sd == pytest.approx(sd, abs=1e-12)
        # The covariance of (intercept, slope): s² (XᵀX)⁻¹.
        X = np.column_stack([np.ones_like(d), d])
        np.testing.assert_allclose(fit.covariance, sd ** 2 * np.linalg.inv(X.T @ X), atol=1e-12)
        tails[fit.state] = [] if not sst else \
            [(r, abs(residual[r]), student_tail(leave_one_out_t(d, G[:, k], r), len(d) - 3))
             for r in range(len(d))]
    # The outlier test: a residual of 1 kcal/mol or more whose tail probability,
    # times the number of residuals tested, is below 5 %.
    tested = sum(len(t) for t in tails.values())
    for state, rows in tails.items():
        for r, size, p in rows:
            if size >= 1.0 and p * tested < 0.05:
                outliers.setdefault(f"cat{r}", []).append(state)
    assert outliers == {"cat5": ["TS1"]}
    assert {p.name: p.outlier_states for p in v.points if p.outlier} == outliers


def test_an_outlier_is_flagged_from_where_students_t_of_m_minus_3_degrees_says(noisy, tmp_path):
    """cat5's TS1 moved off its line in steps of 0.1 kcal/mol: flagged from
    the same step as the leave-one-out t test with m - 3 degrees of freedom
    says (a test of m - 2 or m - 4 degrees would flip 0.2 to 0.4 away)."""
    _, d, G = noisy
    G[5, 1] -= 3.0  # back on its line, with its noise
    tested = 4 * len(d)  # TS1, Int1, Int2 and TS-RE have scatter
    flags = []
    for offset in np.arange(1.0, 3.05, 0.1):
        E = G.copy()
        E[5, 1] += offset
        rows = [[f"cat{r}", repr(float(d[r]))] + [repr(float(e)) for e in E[r]] + [0.5]
                for r in range(len(d))]
        v = kinex.volcano(write_table(tmp_path, rows, name="moved.csv"), samples=0)
        slope, intercept = np.polyfit(d, E[:, 1], 1)
        expected = abs(E[5, 1] - intercept - slope * d[5]) >= 1.0 and \
            student_tail(leave_one_out_t(d, E[:, 1], 5), len(d) - 3) * tested < 0.05
        assert ("TS1" in v.points[5].outlier_states) == expected, offset
        flags.append(expected)
    assert not flags[0] and flags[-1]  # the steps cross from kept to flagged


def test_the_curve_is_the_fitted_cycle_evaluated_here(noisy):
    path, _, _ = noisy
    v = kinex.volcano(path, points=41, samples=0)
    assert len(v) == 41 and v.x[0] < -1.3 and v.x[-1] > 1.6
    for p in (0, 7, 20, 33, 40):
        x = v.x[p]
        result = cycle_at({f.state: f.intercept + f.slope * x for f in v.fits}).evaluate()
        # The same energies through the same model: the same bits.
        assert v.log10_tof[p] == result.log10_tof
        assert v.energetic_span[p] == pytest.approx(result.energetic_span, abs=1e-12)
        assert v.effective_span[p] == pytest.approx(result.effective_span, abs=1e-12)
        assert (v.tdi[p], v.tdts[p]) == (result.tdi, result.tdts)
        G = list(result.cycle.G_int) + [result.cycle.G_int[0] + result.cycle.DeltaG]
        assert v.most_endergonic_step[p] == pytest.approx(max(np.diff(G)), abs=1e-12)
    # The regions cover the points in order, each of one TDI and TDTS.
    assert v.regions[0].first == 0 and v.regions[-1].last == 40
    for a, b in zip(v.regions, v.regions[1:]):
        assert b.first == a.last + 1 and (a.tdi, a.tdts) != (b.tdi, b.tdts)
    for region in v.regions:
        assert {(v.tdi[p], v.tdts[p]) for p in range(region.first, region.last + 1)} == \
            {(region.tdi, region.tdts)}
        assert region.from_ <= v.x[region.first] and v.x[region.last] <= region.to
    assert (v.regions[0].from_, v.regions[-1].to) == (v.x[0], v.x[-1])
    for a, b in zip(v.regions, v.regions[1:]):  # one boundary between two points
        assert a.to == b.from_ and v.x[a.last] < a.to <= v.x[b.first]
    # The top lies between the neighbours of the highest point, no lower.
    top_x, top_y = v.top
    assert top_y >= v.log10_tof.max() == v.log10_tof[v.top_index]
    assert abs(top_x - v.x[v.top_index]) <= v.x[1] - v.x[0]


def test_an_exact_table_has_the_catalysts_on_the_curve_and_a_band_of_no_width(tmp_path):
    # Dyadic lines over a grid with mean 0: the fits and residuals are exact.
    d = [-1.0, -0.5, 0.0, 0.5, 1.0]
    v = kinex.volcano(write_table(tmp_path, line_rows(d)), range=(-1.0, 1.0), points=5)
    assert list(v.x) == d
    assert all(f.residual_sd == 0.0 and f.r2 == 1.0 for f in v.fits)
    for p, point in enumerate(v.points):
        assert not point.outlier
        assert (point.x, point.log10_tof, point.tdi, point.tdts) == \
            (v.x[p], v.log10_tof[p], v.tdi[p], v.tdts[p])
        assert point.energetic_span == v.energetic_span[p]
    band = v.band
    assert (band.samples, band.seed, band.level) == (1000, 0, 0.95)
    for curve in ("log10_tof", "energetic_span", "most_endergonic_step"):
        low, high = getattr(band, curve)
        assert np.array_equal(low, getattr(v, curve)) and np.array_equal(high, getattr(v, curve))


def test_the_band_of_noisy_lines_holds_the_curve_and_follows_the_seed(noisy):
    path, _, _ = noisy
    a, b, c = (kinex.volcano(path, points=20, samples=300, seed=s) for s in (1, 1, 2))
    low, high = a.band.log10_tof
    assert np.all(low < a.log10_tof) and np.all(a.log10_tof < high)
    assert np.array_equal(a.band.log10_tof[0], b.band.log10_tof[0])
    assert not np.array_equal(a.band.log10_tof[0], c.band.log10_tof[0])


CLI_CASES = [
    # (case, kinex volcano's options, kinex.volcano's arguments)
    ("defaults", [], {}),
    ("auto_descriptor", ["--descriptor", "auto"], dict(descriptor="auto")),
    ("state_descriptor", ["--descriptor", "Int1", "--samples", "200"],
     dict(descriptor="Int1", samples=200)),
    ("range_points_seed", ["--range=-2:3", "--points", "17", "--samples", "150", "--seed", "9"],
     dict(range=(-2, 3), points=17, samples=150, seed=9)),
    ("temperature", ["-T", "350", "--samples", "0"], dict(T=350, samples=0)),
]


@pytest.mark.parametrize("case,options,arguments", CLI_CASES, ids=[c[0] for c in CLI_CASES])
def test_the_documents_are_kinex_volcanos(noisy, case, options, arguments):
    path, _, _ = noisy
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", kinex.InputWarning)
        v = kinex.volcano(path, **arguments)
    assert v.to_dict() == json.loads(run(KINEX_TOOL, "volcano", path, *options, "--json").stdout)
    assert v.csv().encode() == run(KINEX_TOOL, "volcano", path, *options, "--csv").stdout
    assert v.text().encode() == run(KINEX_TOOL, "volcano", path, *options).stdout


def test_the_warnings_are_issued_and_kept(tmp_path):
    rows = line_rows([-1.0, -0.5, 0.0, 0.5, 1.0])
    rows[2][1] = ""  # no descriptor: left out
    path = write_table(tmp_path, rows[:4])  # three rows: lines without scatter
    with pytest.warns(kinex.InputWarning) as caught:
        v = kinex.volcano(path, samples=10)
    assert [str(w.message) for w in caught] == [f"{path}: {w}" for w in v.warnings]
    assert any("left out: cat2" in w for w in v.warnings)
    assert v.rows == ["cat0", "cat1", "cat3"]
    assert v.to_dict() == json.loads(run(KINEX_TOOL, "volcano", path, "--samples", "10",
                                         "--json").stdout)


def table_lacking(folder, what):
    d = [-1.0, -0.5, 0.0, 0.5, 1.0]
    rows = line_rows(d)
    if what == "one_row":
        rows = rows[:1]
    elif what == "constant_descriptor":
        for row in rows:
            row[1] = "0.25"
    elif what == "missing_cell":
        rows[2][4] = ""
    elif what == "other_temperature":
        header = HEADER + ["T"]
        return write_table(folder, [r + ["350" if k == 3 else "298.15"] for k, r in enumerate(rows)],
                           header)
    return write_table(folder, rows)


BAD_TABLES = [
    # (case, how the table is made bad, arguments, exception, words the message holds)
    ("one_row", "one_row", {}, ValueError, ["at least two catalysts", "has 1"]),
    ("constant_descriptor", "constant_descriptor", {}, ValueError,
     ['"Descriptor d" is 0.25 in every row', "to vary"]),
    ("missing_cell", "missing_cell", {}, kinex.InputError, ["catalysts.csv:4:"]),
    ("unknown_descriptor", None, dict(descriptor="Descriptor e"), ValueError,
     ['"Descriptor e" is neither a Descriptor column nor a state column', "Descriptor d", "TS-RE", "auto"]),
    ("other_temperature", "other_temperature", {}, ValueError,
     ["temperature 350.0 K", "one set of conditions"]),
    ("range_reversed", None, dict(range=(1, -1)), ValueError, ["range", "FROM below TO"]),
    ("one_point", None, dict(points=1), ValueError, ["points: 1", "from 2"]),
    ("samples_not_whole", None, dict(samples=2.5), TypeError, ["samples: 2.5"]),
    ("errors_unknown", None, dict(errors="ignore"), ValueError, ["errors: 'ignore'"]),
]


@pytest.mark.parametrize("case,bad,arguments,error,words", BAD_TABLES, ids=[c[0] for c in BAD_TABLES])
def test_bad_tables_and_arguments_are_refused_saying_why(tmp_path, case, bad, arguments, error, words):
    path = table_lacking(tmp_path, bad)
    with pytest.raises(error) as caught:
        kinex.volcano(path, samples=arguments.pop("samples", 0), **arguments)
    for word in words:
        assert word in str(caught.value)
    if error is ValueError and bad is not None:
        # The message is kinex volcano's, without the program's name.
        cli = run(KINEX_TOOL, "volcano", path, check=False)
        assert cli.returncode != 0
        assert cli.stderr.decode().strip() == "kinex volcano: " + str(caught.value)


def test_bad_rows_left_out_with_a_warning_and_files_that_are_no_tables(tmp_path):
    path = table_lacking(tmp_path, "missing_cell")
    with pytest.warns(kinex.InputWarning, match="left out: .*catalysts.csv:4:"):
        v = kinex.volcano(path, errors="warn", samples=0)
    assert v.rows == ["cat0", "cat1", "cat3", "cat4"]
    with pytest.raises(kinex.InputError):
        kinex.volcano(tmp_path / "absent.csv")
    with pytest.raises(ValueError, match="no table"):
        kinex.volcano(EXAMPLES / "three_step.txt")


def test_the_volcano_pickles_plots_and_makes_a_dataframe(noisy):
    import pandas

    path, _, _ = noisy
    v = kinex.volcano(path, points=30, samples=200)
    back = pickle.loads(pickle.dumps(v))
    assert back.to_dict() == v.to_dict() and back.text() == v.text() and back.csv() == v.csv()
    assert repr(back) == repr(v) and "8 catalysts" in repr(v)

    frame = kinex.to_dataframe(v)
    pandas.testing.assert_frame_equal(frame, pandas.read_csv(io.StringIO(v.csv())))

    for curve in ("tof", "span", "step"):
        picture = v.plot(curve)
        assert isinstance(picture, kinex.Picture)
        root = xml.etree.ElementTree.fromstring(str(picture))
        assert root.tag == "{http://www.w3.org/2000/svg}svg"
        markers = [c for c in root.iter("{http://www.w3.org/2000/svg}circle")
                   if c.get("class", "").startswith("point")]
        assert len(markers) == len(v.points)
    with pytest.raises(ValueError, match="curve: 'rate'"):
        v.plot("rate")
    texts = lambda picture: {"".join(t.itertext()) for t in xml.etree.ElementTree.fromstring(
        str(picture)).iter("{http://www.w3.org/2000/svg}text")}
    assert "Volcano: " + os.path.basename(str(path)) in texts(v.plot())
    assert {"A & <B>", "d (kcal/mol)", "G"} <= texts(v.plot("span", "A & <B>", "d (kcal/mol)", "G"))
    assert not any(t.startswith("Volcano") for t in texts(v.plot(title="")))


def test_a_picture_is_saved_as_its_name_says_and_never_over_its_table(tmp_path, noisy):
    path, _, _ = noisy
    picture = kinex.volcano(path, samples=0).plot()
    link = tmp_path / "link.svg"
    link.symlink_to(path)
    before = open(path, "rb").read()
    for target, words in [(path, ".svg, .pdf or .png"), (tmp_path / "v.eps", ".svg, .pdf or .png"),
                          (link, "is the input file")]:
        with pytest.raises(ValueError, match=words):
            picture.save(target)
    with pytest.raises(ValueError, match="10 to 2400 dots per inch"):
        picture.save(tmp_path / "v.png", dpi=5)
    assert open(path, "rb").read() == before and not (tmp_path / "v.eps").exists()
    assert not (tmp_path / "v.png").exists()
    picture.save(tmp_path / "v.svg")
    assert (tmp_path / "v.svg").read_text() == str(picture)
    width = float(re.search(r'<svg[^>]* width="([\d.]+)"', str(picture)).group(1))
    for name, start in [("v.pdf", b"%PDF-"), ("V.PNG", b"\x89PNG\r\n\x1a\n")]:
        picture.save(tmp_path / name, dpi=150)
        assert (tmp_path / name).read_bytes().startswith(start)
    assert picture.to_pdf().startswith(b"%PDF-")
    # On paper: a column's width, and a given size with the text's points.
    for size, font, px in [("column", 0.0, 316.8), ("85x60mm", 9.0, 321.26)]:
        drawn = str(kinex.volcano(path, samples=0).plot(size=size, font_size=font))
        assert float(re.search(r'<svg[^>]* width="([\d.]+)"', drawn).group(1)) == px
    png = picture.to_png(dpi=48)
    assert png.startswith(b"\x89PNG") and int.from_bytes(png[16:20], "big") == math.ceil(width / 2)
    assert int.from_bytes((tmp_path / "V.PNG").read_bytes()[16:20], "big") == \
        math.ceil(width * 150 / 96)


def test_a_top_at_the_ranges_end_and_a_cycle_without_driving_force_are_said(tmp_path):
    # log10 TOF falls along d, and the product rises above the catalyst from d = 0.5 on.
    header = ["Catalyst", "Descriptor d", "Cat", "TS1", "Int1", "TS2", "Product"]
    rows = [[f"c{k}", d, 0.0, 15 + d, -2.0, 12.0, -3 + 4 * d] for k, d in enumerate([-1, 0, 1, 2])]
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        v = kinex.volcano(write_table(tmp_path, rows, header), samples=0)
    assert not v.top_inside and v.top[0] == v.x[0]
    assert list(v.no_driving_force) == [x >= 0.75 for x in v.x]
    assert [p.no_driving_force for p in v.points] == [False, False, True, True]
    said = " ".join(str(w.message) for w in caught)
    assert re.search(r"no positive driving force from Descriptor d = 0\.7\d* to 2\.30", said)
    assert "energies of c2, c3" in said
    assert v.to_dict()["top"]["inside"] is False
