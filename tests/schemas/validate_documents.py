"""Every JSON document kinex and the Python package write is valid under the
schema its "document" key names (schemas/kinex-KIND.schema.json).

    validate_documents.py --kinex PATH [--python] [--outputs-tests PATH]

The documents: kinex json, check --json, uncertainty --json (sampled and as
an ensemble), volcano --json, map --json and network --json over examples/, the inputs of tests/data
and a table whose TDI ties; with --python the same documents through the Python package (on
PYTHONPATH); and, with --outputs-tests, those of every kinex run of the
recorded-outputs test's cases (KINEX_JSON_DOCUMENTS_DIR). The schemas are
checked too: valid draft 2020-12, each naming its own kind, and each
refusing a table of broken documents.

Exits 1 listing every document that fails, by where it came from and the
JSON path of each fault; 77 (a skip for CTest) when jsonschema is missing.
"""

import argparse
import copy
import json
import os
import subprocess
import sys
import tempfile
import warnings
from pathlib import Path

try:
    import jsonschema
except ImportError:
    print("the schema test needs jsonschema for this Python (Debian: python3-jsonschema): "
          "run ./setup.sh --dev")
    sys.exit(77)

SOURCE = Path(__file__).resolve().parents[2]
KINDS = ("result", "check", "uncertainty", "volcano", "map", "network", "network_uncertainty")
BATCH = 30  # files per kinex run
MC = ["--sigma", "1.5", "--samples", "24", "--seed", "7"]
SHOWN = 200  # faults listed in full


# ---- the schemas -----------------------------------------------------------

def load_validators():
    """kind -> validator, and the problems of the schema files themselves."""
    validators, problems = {}, []
    for kind in KINDS:
        path = SOURCE / "schemas" / f"kinex-{kind}.schema.json"
        schema = json.loads(path.read_text(encoding="utf-8"))
        jsonschema.Draft202012Validator.check_schema(schema)
        if schema["properties"]["document"].get("const") != kind:
            problems.append(f"{path.name}: document is not const {kind!r}")
        validators[kind] = jsonschema.Draft202012Validator(schema)
    return validators, problems


def faults(doc, validators):
    """What is wrong with one document, each with its JSON path."""
    if not isinstance(doc, dict) or "schema_version" not in doc or "document" not in doc:
        return ["$: no schema_version and document keys"]
    validator = validators.get(doc["document"])
    if validator is None:
        return [f"$.document: no schema for {doc['document']!r}"]
    return [f"{e.json_path}: {e.message}" for e in validator.iter_errors(doc)]


# Faults the schemas must refuse, each made in a copy of the first valid
# document of its kind: a schema that lets one through is too permissive.
REFUSED = [
    ("result", "no schema_version", lambda d: d.pop("schema_version")),
    ("result", "another schema_version", lambda d: d.update(schema_version=1)),
    ("result", "an old key beside the new ones", lambda d: d["results"].update(TOF=1.0)),
    ("result", "a result missing", lambda d: d["results"].pop("tdi")),
    ("result", "a step number as text", lambda d: d["results"].update(tdi_step="2")),
    ("result", "an unknown evaluation", lambda d: d["results"].update(evaluation="fast")),
    ("result", "a table row without descriptors",
     lambda d: d.update(table={"file": "t.csv", "row": 2, "name": "A"})),
    ("check", "findings of a cycle not read", lambda d: d.update(
        read=False, warnings=[{"code": "no-driving-force", "line": None, "text": "t"}])),
    ("check", "an unknown finding", lambda d: d.update(
        warnings=[{"code": "bogus", "line": 1, "text": "t"}])),
    ("uncertainty", "an unknown method", lambda d: d.update(method="bayes")),
    ("uncertainty", "an interval of one bound", lambda d: d.update(log10_tof_interval_95=[0.0])),
    ("uncertainty", "a probability above 1",
     lambda d: d["tdi_probability"].update({next(iter(d["tdi_probability"])): 1.5})),
    ("volcano", "a catalyst's descriptor under its old key",
     lambda d: d["points"][0].update(descriptor=1.0)),
    ("volcano", "a band of another level", lambda d: d["band"].update(level=0.68)),
    ("map", "a quantity not mapped", lambda d: d.update(quantity="selectivity")),
    ("map", "a plane without its second slope", lambda d: d["fits"][0].pop("slope_y")),
    ("map", "a quantity its grid does not carry", lambda d: d.update(quantity="energetic_span")),
    ("network", "a product without its sign", lambda d: d["results"]["products"][0].pop("tof_sign")),
    ("network", "a concentration of 0", lambda d: d["input"]["species"][0].update(conc=0)),
    ("network_uncertainty", "a probability above 1",
     lambda d: d["rates"][0]["tdi_probability"].update(dimer=1.5)),
]


def documents_of(text):
    """The documents of one output: an array's elements, or the one object."""
    value = json.loads(text)
    return value if isinstance(value, list) else [value]


# ---- the corpus ------------------------------------------------------------

def corpus(folder):
    """The input files and the tables to run, as paths: the examples and the
    test data; the recorded outputs' thousands of generated cases come in
    through from_outputs_tests."""
    files = sorted(SOURCE.glob("examples/*.txt")) + sorted(SOURCE.glob("tests/data/*.txt"))
    tables = sorted(SOURCE.glob("examples/*.csv"))
    tied = folder / "tied.csv"  # two level intermediates: the TDI ties
    tied.write_text("Catalyst,Descriptor x,Cat,TS1,I1,TS2,Product\n"
                    + "".join(f"c{k},{k},0,{15 + k},0,{15 + k},-10\n" for k in range(4)))
    return files, tables + [tied]


# ---- the producers ---------------------------------------------------------

def kinex_runs(files, tables):
    """The argument lists of kinex that print documents."""
    batches = [files[k:k + BATCH] for k in range(0, len(files), BATCH)]
    runs = []
    for batch in batches:
        names = [str(f) for f in batch]
        runs += [["json", *names], ["check", "--json", *names],
                 ["uncertainty", "--json", *MC, *names]]
    for t in map(str, tables):
        runs += [["json", t], ["check", "--json", t], ["uncertainty", "--json", *MC, t],
                 ["uncertainty", "--json", "--ensemble", t],
                 ["volcano", t, "--json", "--points", "40", "--samples", "30"],
                 ["volcano", t, "--json", "--points", "20", "--samples", "0"]]
    for t in (SOURCE / "examples" / "map.csv", SOURCE / "examples" / "volcano.csv"):
        x = ["--x", "Descriptor dG(OA)", "--points", "12,9", "--json"]
        runs += [["map", str(t), *x, "--y", "Descriptor dG(RE)"], ["map", str(t), *x, "--y=T=250:450"],
                 ["map", str(t), *x, "--y=T=250:450", "--quantity", "energetic_span"]]
    heck = str(SOURCE / "examples" / "heck.net")
    runs += [["network", heck, "--json"], ["check", "--json", heck],
             ["uncertainty", "--json", *MC, heck]]
    return runs


def from_kinex(kinex, runs, folder):
    """(where, text) of every output of the runs."""
    for args in runs:
        done = subprocess.run([kinex, *args], cwd=folder, capture_output=True, text=True)
        if done.stdout:
            shown = [Path(a).name if os.sep in a else a for a in args]
            if len(shown) > 8:
                shown = shown[:7] + [f"... ({len(args)} arguments)"]
            yield "kinex " + " ".join(shown), done.stdout


def from_python(files, tables):
    """(where, document) of the Python package's to_dict()s."""
    import kinex
    warnings.simplefilter("ignore")

    def made(where, make):  # [] where the input makes no such object
        try:
            return [(where, make().to_dict())]
        except ValueError:  # kinex.InputError too
            return []

    for f in files:
        try:
            cycle = kinex.read(f)
        except kinex.InputError:
            continue
        yield f"Result.to_dict() of {f.name}", cycle.evaluate().to_dict()
        yield from made(f"Uncertainty.to_dict() of {f.name}",
                        lambda: cycle.uncertainty(sigma=1.5, samples=24, seed=7))
    for t in tables:
        cycles = kinex.read_table(t, errors="warn")
        for cycle in cycles:
            yield f"Result.to_dict() of {t.name}:{cycle.name}", cycle.evaluate().to_dict()
        yield from made(f"Uncertainty.to_dict() of kinex.ensemble({t.name})",
                        lambda: kinex.ensemble(cycles))
        yield from made(f"Volcano.to_dict() of {t.name}",
                        lambda: kinex.volcano(t, points=40, samples=30, errors="warn"))
    table = SOURCE / "examples" / "map.csv"
    for second in ({"y": "Descriptor dG(RE)"}, {"T": (250.0, 450.0)}):
        yield ("Map.to_dict() of map.csv",
               kinex.map(table, "Descriptor dG(OA)", points=(12, 9), **second).to_dict())


def from_outputs_tests(program, folder):
    """(where, text) of the JSON the recorded-outputs test's kinex runs print."""
    env = dict(os.environ, KINEX_JSON_DOCUMENTS_DIR=str(folder))
    subprocess.run([program, "--gtest_filter=Cases/RecordedOutputs.MatchTheManifest/*"],
                   env=env, capture_output=True, check=False)
    for path in sorted(folder.iterdir()):
        yield f"outputs_tests {path.name}", path.read_text(encoding="utf-8", errors="replace")


# ---- the check -------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--kinex", required=True)
    parser.add_argument("--python", action="store_true",
                        help="the Python package's documents too (it must import)")
    parser.add_argument("--outputs-tests", help="the recorded outputs' test program")
    args = parser.parse_args()
    validators, failures = load_validators()
    counts = dict.fromkeys(KINDS, 0)
    valid = {}  # kind -> the first valid document

    def check(where, docs):
        for k, doc in enumerate(docs):
            if isinstance(doc, dict) and doc.get("document") in counts:
                counts[doc["document"]] += 1
            file = doc.get("file") if isinstance(doc, dict) else None
            found = faults(doc, validators)
            failures.extend(f"{where} [document {k}, file {file}]: {fault}" for fault in found)
            if not found:
                valid.setdefault(doc["document"], doc)

    def check_texts(outputs):
        for where, text in outputs:
            try:
                docs = documents_of(text)
            except json.JSONDecodeError as e:
                failures.append(f"{where}: not JSON ({e})")
                continue
            check(where, docs)

    with tempfile.TemporaryDirectory() as scratch:
        folder = Path(scratch)
        files, tables = corpus(folder)
        check_texts(from_kinex(args.kinex, kinex_runs(files, tables), folder))
        if args.python:
            for where, doc in from_python(files, tables):
                check(where, [doc])
        if args.outputs_tests:
            (folder / "recorded").mkdir()
            recorded = list(from_outputs_tests(args.outputs_tests, folder / "recorded"))
            if not recorded:
                failures.append(f"{args.outputs_tests} wrote no document: is the filter in "
                                "from_outputs_tests still the name of its compare test?")
            check_texts(recorded)

    print(f"{sum(counts.values())} documents ({', '.join(f'{counts[k]} {k}' for k in KINDS)}); "
          f"Python package {'included' if args.python else 'left out'}")
    failures += [f"no {kind} document was written" for kind in KINDS if counts[kind] == 0]
    for kind, fault, make in REFUSED:
        if kind not in valid:
            continue
        doc = copy.deepcopy(valid[kind])
        make(doc)
        if not faults(doc, validators):
            failures.append(f"the {kind} schema lets through {fault}")
    for failure in failures[:SHOWN]:
        print(failure)
    if len(failures) > SHOWN:
        print(f"... and {len(failures) - SHOWN} more")
    print(f"{len(failures)} faults" if failures else "every document is valid")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
