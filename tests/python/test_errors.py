"""Every way in which a cycle, a file or an argument can be wrong raises the
documented exception, with a message that names what is wrong."""

import os
import pickle
import re
import sys
import warnings

import pytest

import kinex
from conftest import EXAMPLES, KINEX_EXE, run

GOOD = dict(T=298.15, G_int=[0.0, -5.0], G_ts=[15.0, 12.0], DeltaG=-10.0)

BAD_CYCLES = [
    # (case, changes to GOOD, exception, words the message holds)
    ("temperature_zero", dict(T=0.0), ValueError, ["T: 0.0", "above 0"]),
    ("temperature_nan", dict(T=float("nan")), ValueError, ["T: nan", "finite"]),
    ("energy_not_finite", dict(G_ts=[15.0, float("inf")]), ValueError, ["step 2", "G_ts", "not finite"]),
    ("energy_not_a_number", dict(G_int=[0.0, "abc"]), TypeError, ["G_int", "step 2", "'abc'"]),
    ("energies_a_string", dict(G_int="0 1"), TypeError, ["G_int", "sequence"]),
    ("lengths_differ", dict(G_ts=[15.0]), ValueError, ["G_ts", "1 values", "G_int has 2"]),
    ("no_steps", dict(G_int=[], G_ts=[]), ValueError, ["at least one step"]),
    ("deltag_inf", dict(DeltaG=float("-inf")), ValueError, ["DeltaG", "not finite"]),
    ("reactant_negative", dict(reactant=[None, -1.0]), ValueError, ["step 2", "reactant", "not above 0"]),
    ("reactant_zero_by_step", dict(reactant={1: 0.0}), ValueError, ["step 1", "reactant", "not above 0"]),
    ("reactant_step_out_of_range", dict(reactant={3: 1.0}), ValueError, ["reactant", "step 3", "1..2"]),
    ("product_too_few", dict(product=[1.0]), ValueError, ["product", "1 values", "2 steps"]),
    ("product_not_a_number", dict(product=[None, "x"]), TypeError, ["product", "step 2"]),
    ("names_too_few", dict(names=["A", "TS-A", "B"]), ValueError, ["names", "3 names", "give 4"]),
    # One rule for arguments across the package.
    ("temperature_a_bool", dict(T=True), TypeError, ["T: True is not a number"]),
    ("energy_a_bool", dict(G_int=[0.0, False]), TypeError, ["G_int", "step 2", "False"]),
    ("reactant_step_beyond_64_bits", dict(reactant={2**70: 1.0}), ValueError, ["reactant", "1..2"]),
    ("name_with_a_lone_surrogate", dict(names=["A", "TS\udcff", "B", "TS-B"]), ValueError,
     ["names", "lone surrogate"]),
    ("cycle_name_with_a_lone_surrogate", dict(name="a\udcff"), ValueError, ["name", "lone surrogate"]),
    ("names_not_strings", dict(names=["A", 1, "B", "TS-B"]), TypeError, ["names", "1"]),
]


@pytest.mark.parametrize("case,changes,error,words", BAD_CYCLES, ids=[c[0] for c in BAD_CYCLES])
def test_bad_cycles_are_refused_naming_the_argument_and_step(case, changes, error, words):
    with pytest.raises(error) as caught:
        kinex.Cycle(**{**GOOD, **changes})
    for word in words:
        assert word in str(caught.value)


BAD_FILES = [
    # (case, file contents)
    ("letters_for_the_temperature", "warm\n2\n0 10 x x\n-5 12 x x\n-10\n"),
    ("too_few_steps", "298.15\n2\n0 10 x x\n"),
    ("no_steps", "298.15\n0\n-10\n"),
    ("bad_concentration", "298.15\n1\n0 10 abc x\n-10\n"),
    ("byte_order_mark", "\ufeff298.15\n1\n0 10 x x\n-10\n"),
]


@pytest.mark.parametrize("case,text", BAD_FILES, ids=[c[0] for c in BAD_FILES])
def test_bad_files_raise_input_error_with_the_diagnostic(tmp_path, case, text):
    path = tmp_path / f"{case}.txt"
    path.write_text(text, encoding="utf-8")
    with pytest.raises(kinex.InputError) as caught:
        kinex.read(path)
    error = caught.value
    assert isinstance(error, ValueError)
    diagnostic = run(KINEX_EXE, path, check=False).stderr.decode()
    # KINEX.exe puts its name first; the rest is the same text.
    assert diagnostic.split(": ", 1)[1].rstrip("\n") == str(error)
    assert error.file == str(path)
    head = f"{path}:{error.line}: " if error.line else f"{path}: "
    assert str(error).startswith(head + error.reason)
    if error.column and case != "byte_order_mark":
        # The line as it stands in the file, and the caret under the column.
        shown, caret = str(error).split("\n")[1:3]
        assert shown == text.split("\n")[error.line - 1]
        assert caret.index("^") == error.column - 1


def test_a_missing_file_raises_input_error():
    with pytest.raises(kinex.InputError) as caught:
        kinex.read("/no/such/cycle.txt")
    assert caught.value.file == "/no/such/cycle.txt"
    assert caught.value.line is None
    assert "No such file" in caught.value.reason


def test_paths_are_taken_as_str_bytes_or_path_alike():
    path = EXAMPLES / "three_step.txt"
    for given in (str(path), path, bytes(path)):
        assert kinex.read(given).n == 3
    assert len(kinex.read_table(bytes(EXAMPLES / "screening.csv"))) > 0


def test_reading_warnings_are_issued_and_kept(tmp_path):
    path = tmp_path / "celsius.txt"
    path.write_text("25 C\n1\n0 10 x x\n-10\n")
    with pytest.warns(kinex.InputWarning, match="Celsius"):
        cycle = kinex.read(path)
    assert [w.code for w in cycle.warnings] == ["celsius-temperature"]
    assert cycle.warnings[0].line == 1


TABLE = "name,I0,TS1,I1,TS2,Product\ngood,0,15,-5,12,-10\nbad,0,1a5,-5,12,-10\nalso,0,16,-4,13,-10\n"


def test_a_bad_table_row_raises_or_is_left_out_with_a_warning(tmp_path):
    path = tmp_path / "t.csv"
    path.write_text(TABLE)
    with pytest.raises(kinex.InputError) as caught:
        kinex.read_table(path)
    assert (caught.value.line, caught.value.column) == (3, 3)
    assert str(caught.value).startswith(f"{path}:3:3: ")
    with pytest.warns(kinex.InputWarning, match="left out"):
        cycles = kinex.read_table(path, errors="warn")
    assert [c.name for c in cycles] == [f"{path}:good", f"{path}:also"]
    with pytest.raises(ValueError, match="errors"):
        kinex.read_table(path, errors="ignore")


def test_iter_table_gives_each_row_before_the_pipe_ends(tmp_path):
    """One row held at a time: a row is there before the rest is written,
    and a table that fails part-way gives the rows before it, then raises."""
    path = tmp_path / "t.csv"
    os.mkfifo(path)
    writer = open(os.open(path, os.O_RDWR), "w", buffering=1)  # opens without a reader
    writer.write(TABLE.splitlines(keepends=True)[0] + "good,0,15,-5,12,-10\n")
    rows = kinex.iter_table(path)
    assert next(rows).name == f"{path}:good"
    writer.write('"open,1\n')
    writer.close()
    with pytest.raises(kinex.InputError, match="3:1: a quote opens a cell"):
        next(rows)


def test_latin1_names_and_cells_read_with_replacement_characters(tmp_path):
    """Texts that are no UTF-8 reach Python as kinex's JSON shows them."""
    path = tmp_path / "t.csv"
    path.write_bytes(b"name,Descriptor,I0,TS\xe91,I1,TS2,Product\n"
                     b"c\xe9,1,0,15,-2,12,-10\nd,2,0,16,-3,12,-10\nbad,3,0,1\xe95,-2,12,-10\n")
    with pytest.warns(kinex.InputWarning):
        cycle = kinex.read_table(path, errors="warn")[0]
    assert (cycle.name, cycle.evaluate().tdts) == (f"{path}:c\ufffd", "TS\ufffd1")
    with pytest.raises(kinex.InputError, match="'1\ufffd5' is not a number"):
        kinex.read_table(path)
    with pytest.warns(kinex.InputWarning):
        assert kinex.volcano(path, samples=0, errors="warn").points[0].name == "c\ufffd"


@pytest.mark.parametrize("text,words", [
    ("", ["empty"]),
    ("name,I0\n", ["header"]),
    ("name,I0,TS1,Product\n", ["no rows"]),
], ids=["empty", "header_too_short", "no_rows"])
def test_tables_that_cannot_be_read_raise_input_error(tmp_path, text, words):
    path = tmp_path / "t.csv"
    path.write_text(text)
    with pytest.raises(kinex.InputError) as caught:
        kinex.read_table(path)
    for word in words:
        assert word in str(caught.value)


def test_bad_arguments_of_scans_plots_and_screening():
    cycle = kinex.Cycle(**GOOD)
    cases = [
        (lambda: kinex.scan_temperature(cycle, [300.0, -1.0]), ValueError, r"T_values\[1\]"),
        (lambda: kinex.scan_temperature(cycle, [300.0, float("nan")]), ValueError, r"T_values\[1\]"),
        (lambda: kinex.scan_temperature(cycle, "300"), TypeError, "T_values"),
        (lambda: kinex.scan_concentration(cycle, 3, [1.0]), ValueError, "step: 3"),
        (lambda: kinex.scan_concentration(cycle, 1, [0.0]), ValueError, r"values\[0\]"),
        (lambda: kinex.scan_concentration(cycle, 1, [1.0], species="solvent"), ValueError, "species"),
        (lambda: cycle.plot(width=-5), ValueError, "width"),
        (lambda: cycle.evaluate(threads=-1), ValueError, "threads: -1 is below 0"),
        (lambda: cycle.plot().save("no_such_folder/a.svg"), OSError,
         "^no_such_folder/a.svg: No such file or directory$"),
        (lambda: cycle.plot(width=1e100), ValueError, "width 1e\\+100 px: a picture is at most"),
        (lambda: cycle.uncertainty(sigma=1e308), ValueError, "would leave the range of numbers"),
        (lambda: cycle.plot(y_range=(5, -5)), ValueError, "y_range"),
        (lambda: cycle.plot(size="3.3cm"), ValueError, "size: 3.3cm: give 'column', 'page'"),
        (lambda: cycle.plot(size="column", width=300), ValueError, "size or width"),
        (lambda: cycle.plot(font_size=1000), ValueError, r"font size 1000(\.0)? pt"),
        (lambda: kinex.volcano(EXAMPLES / "volcano.csv", samples=0).plot(size="wide"), ValueError,
         "size: wide"),
        (lambda: kinex.plot(cycle, "not a cycle"), TypeError, "neither"),
        (lambda: kinex.evaluate_many([cycle], threads=-1), ValueError, "threads"),
        (lambda: kinex.evaluate_many([cycle, "x"]), TypeError, r"cycles\[1\]: 'x' is not a kinex.Cycle"),
        (lambda: kinex.evaluate_many(5), TypeError, "cycles: an iterable"),
        (lambda: kinex.read(EXAMPLES / "screening.csv"), ValueError, "read_table"),
        (lambda: kinex.read_table(EXAMPLES / "screening.csv", T=0), ValueError, "T: 0.0"),
    ]
    for call, error, pattern in cases:
        with pytest.raises(error, match=pattern):
            call()


@pytest.mark.parametrize("kind", ["Cycle", "Result"])
def test_damaged_pickles_are_refused(kind):
    obj = kinex.Cycle(**GOOD)
    if kind == "Result":
        obj = obj.evaluate()
    data = pickle.dumps(obj)
    state = pickle.loads(data).__getstate__()
    for damaged in [state[:-1], state[:20], b"KINEXPY2" + b"\xff" * 64, b"", b"nonsense"]:
        with pytest.raises(ValueError, match="state"):
            type(obj).__new__(type(obj)).__setstate__(damaged)


def test_evaluate_many_runs_fewer_at_once_rather_than_fail():
    """Cycles that each fit alone, but not two at once, under an address-space
    limit: evaluate_many runs them one after another instead of raising
    MemoryError."""
    script = """
import resource, kinex
n = 4000
c = kinex.Cycle(298.15, [0.0] + [-1.0] * (n - 1), [10.0] * n, -10.0)
with open("/proc/self/status") as f:
    vm = next(int(line.split()[1]) * 1024 for line in f if line.startswith("VmSize:"))
resource.setrlimit(resource.RLIMIT_AS, (vm + int(1.7 * 8 * (n + 1) ** 2) + (200 << 20),) * 2)
results = kinex.evaluate_many([c] * 4, threads=2)
print(len(results), len({r.tof for r in results}))
"""
    done = run(sys.executable, "-c", script, check=False)
    assert done.returncode == 0, done.stderr.decode()
    assert done.stdout.split() == [b"4", b"1"]
