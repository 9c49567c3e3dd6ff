"""The uncertainty in Python: the numbers of kinex uncertainty, the sigmas in
every form, screenings that compare catalysts, and ensembles."""

import json

import numpy as np
import pytest

import kinex
from conftest import EXAMPLES, KINEX_TOOL, run

THREE = EXAMPLES / "three_step.txt"


def test_the_numbers_are_those_of_kinex_uncertainty():
    args = ["--sigma", "1.5", "--samples", "3000", "--seed", "11", "--correlation", "0.3"]
    doc = json.loads(run(KINEX_TOOL, "uncertainty", THREE, *args, "--json").stdout)
    u = kinex.read(THREE).uncertainty(1.5, samples=3000, seed=11, correlation=0.3)
    assert u.to_dict() == doc
    assert u.log10_tof_median.hex() == float(doc["log10_tof_median"]).hex()
    assert u.text().encode() == run(KINEX_TOOL, "uncertainty", THREE, *args).stdout
    assert len(u.log10_tof) == 3000 and np.isfinite(u.log10_tof).all()
    assert sorted(u.log10_tof)[1500] == pytest.approx(u.log10_tof_median, abs=0.05)
    # The same seed on one and two threads, bit for bit; another seed not.
    again = kinex.read(THREE).uncertainty(1.5, samples=3000, seed=11, correlation=0.3, threads=1)
    assert np.array_equal(again.log10_tof, u.log10_tof)
    other = kinex.read(THREE).uncertainty(1.5, samples=3000, seed=12, correlation=0.3)
    assert not np.array_equal(other.log10_tof, u.log10_tof)


def test_the_sigmas_in_every_form_are_the_same_model():
    cycle = kinex.read(THREE)
    states = ["I0", "TS1", "I1", "TS2", "I2", "TS3", "I0′"]
    values = [0.5, 1.0, 1.5, 2.0, 0.7, 0.9, 0.0]
    by_list = cycle.uncertainty(values, samples=500, seed=3)
    by_name = cycle.uncertainty(dict(zip(states, values)), samples=500, seed=3)
    by_alias = cycle.uncertainty({**dict(zip(states[:-1], values[:-1])), "final": 0.0},
                                 samples=500, seed=3)
    for u in (by_name, by_alias):
        assert np.array_equal(u.log10_tof, by_list.log10_tof)
    assert list(by_list.sigma) == values


@pytest.mark.parametrize("sigma,kwargs,error,words", [
    ({"TS2": 1.0}, {}, ValueError, "no sigma for I0, TS1"),
    ({"TS9": 1.0}, {}, ValueError, "TS9 is no state"),
    ([1.0, 2.0], {}, ValueError, "2 values for the 7 states"),
    (-1.0, {}, ValueError, "-1.0 kcal/mol is not a sigma"),
    (float("nan"), {}, ValueError, "sigma"),
    ("1.0", {}, TypeError, "sigma"),
    (1.0, {"correlation": 1.5}, ValueError, "correlation"),
    (1.0, {"samples": 0}, ValueError, "samples"),
], ids=["state_missing", "unknown_state", "wrong_count", "negative", "nan", "a_string",
        "correlation_above_one", "no_samples"])
def test_bad_models_are_refused(sigma, kwargs, error, words):
    with pytest.raises(error, match=words):
        kinex.read(THREE).uncertainty(sigma, **kwargs)


def test_a_screening_compares_catalysts_with_shared_errors():
    cycles = kinex.read_table(EXAMPLES / "screening.csv")
    screening = kinex.uncertainty_many(cycles, 1.5, samples=4000, seed=5)
    p = screening.probability_better
    assert np.allclose(p + p.T, 1.0)
    assert screening.probability_best.sum() == pytest.approx(1.0)
    assert screening.probability(screening.names[0], 2) > 0.99
    # The same catalyst twice: independent errors make it beat itself half
    # the time by chance; wholly shared errors give equal TOFs, a tie.
    twin = [cycles[0], cycles[0]]
    independent = kinex.uncertainty_many(twin, 1.5, samples=4000, seed=5, shared=0.0)
    same = kinex.uncertainty_many(twin, 1.5, samples=4000, seed=5, shared=1.0)
    assert not np.array_equal(independent.results[0].log10_tof, independent.results[1].log10_tof)
    assert np.array_equal(same.results[0].log10_tof, same.results[1].log10_tof)
    assert same.probability(0, 1) == 0.5
    # Errors shared between two catalysts make their order surer.
    close = [cycles[0], cycles[1]]
    loose = kinex.uncertainty_many(close, 1.5, samples=4000, seed=5, shared=0.0).probability(0, 1)
    tight = kinex.uncertainty_many(close, 1.5, samples=4000, seed=5, shared=0.9).probability(0, 1)
    assert tight > loose
    frame = kinex.to_dataframe(screening)
    assert list(frame["probability_best"]) == list(screening.probability_best)


def test_an_ensemble_is_its_members_evaluated_one_by_one(tmp_path):
    table = tmp_path / "functionals.csv"
    table.write_text("Functional,I0,TS1,I1,TS2,Product\nB3LYP,0,15.2,-5.1,20.3,-10\n"
                     "PBE0,0,14.1,-6.0,19.0,-10\nM06,0,16.0,-4.2,21.5,-10\nwB97X,0,15.5,-5.5,20.0,-10\n")
    members = kinex.read_table(table)
    u = kinex.ensemble(members)
    logs = [m.evaluate().log10_tof for m in members]
    assert [x.hex() for x in u.log10_tof] == [x.hex() for x in logs]
    assert u.method == "ensemble" and u.sigma is None and np.isnan(u.log10_tof_first_order_sd)
    assert u.to_dict()["members"] == ["B3LYP", "PBE0", "M06", "wB97X"]
    hot = kinex.Cycle(400.0, [0.0, -5.0], [15.0, 20.0], -10.0)
    with pytest.raises(ValueError, match="cycles: member 2 is at T 400 K, member 1 at 298.15"):
        kinex.ensemble([members[0], hot])
    with pytest.raises(ValueError, match="at least one"):
        kinex.ensemble([])


def test_a_tables_sigma_columns_are_its_rows_own(tmp_path):
    table = tmp_path / "with_sigmas.csv"
    table.write_text("name,I0,TS1,I1,TS2,Product,sigma,sigma(TS2)\n"
                     "A,0,15.2,-5.1,20.3,-10,1.0,2.5\n")
    cycle = kinex.read_table(table)[0]
    own = cycle.uncertainty(samples=500, seed=2)
    assert list(own.sigma) == [1.0, 1.0, 1.0, 2.5, 1.0]
    assert np.array_equal(own.log10_tof, cycle.uncertainty([1.0, 1.0, 1.0, 2.5, 1.0],
                                                           samples=500, seed=2).log10_tof)
    import pickle
    again = pickle.loads(pickle.dumps(cycle)).uncertainty(samples=500, seed=2)
    assert np.array_equal(again.log10_tof, own.log10_tof)
    # The command line: the row's column replaces --sigma, a file of pairs
    # names states first.
    pairs = tmp_path / "pairs.txt"
    pairs.write_text("TS2 0.5\n")
    doc = json.loads(run(KINEX_TOOL, "uncertainty", table, "--sigma", "9", "--sigmas", pairs,
                         "--samples", "100", "--json").stdout)
    assert doc[0]["sigma"] == {"I0": 1.0, "TS1": 1.0, "I1": 1.0, "TS2": 0.5, "Product": 1.0}
    with pytest.raises(ValueError, match="only a table's row with sigma columns"):
        kinex.read(THREE).uncertainty()


def test_uncertainties_pickle_and_name_what_they_are_of(tmp_path):
    import pickle
    u = kinex.read(THREE).uncertainty(1.0, samples=800, seed=4, correlation=0.2)
    back = pickle.loads(pickle.dumps(u))
    assert back.to_dict() == u.to_dict() and back.text() == u.text()
    assert np.array_equal(back.log10_tof, u.log10_tof)
    assert np.array_equal(back.tof_signs, u.tof_signs)
    table = tmp_path / "f.csv"
    table.write_text("Functional,I0,TS1,I1,TS2,Product\nA,0,15,-5,20,-10\nB,0,14,-6,19,-10\n")
    e = kinex.ensemble(kinex.read_table(table))
    assert e.name == str(table) and e.to_dict()["central_member"] == "A"
    assert pickle.loads(pickle.dumps(e)).to_dict() == e.to_dict()
    backward = kinex.Cycle(298.15, [0.0, -5.0], [15.0, 20.0], 5.0).uncertainty(1.0, samples=500)
    assert backward.backward_share > 0.99 and set(backward.tof_signs) <= {-1, 1}


@pytest.mark.parametrize("kwargs,error,words", [
    (dict(sigma=[1, 1, 1, float("nan"), 1, 1, 1]), ValueError, r"sigma\[3\] \(TS2\)"),
    (dict(sigma=1.0, seed=-1), ValueError, "seed: -1 is below 0"),
    (dict(sigma=1.0, threads=-1), ValueError, "threads"),
    (dict(sigma=1.0, seed=1.5), TypeError, "seed"),
], ids=["nan_named_by_state", "negative_seed", "negative_threads", "fractional_seed"])
def test_arguments_are_checked_before_sampling(kwargs, error, words):
    with pytest.raises(error, match=words):
        kinex.read(THREE).uncertainty(**kwargs)


def test_errors_shared_between_catalysts_need_the_same_states():
    two = kinex.Cycle(298.15, [0.0, -5.0], [15.0, 20.0], -10.0)
    with pytest.raises(ValueError, match="shared: the cycles differ in their number of steps"):
        kinex.uncertainty_many([kinex.read(THREE), two], 1.0, shared=0.5)
    assert len(kinex.uncertainty_many([kinex.read(THREE), two], 1.0, samples=100).results) == 2


def test_a_plot_with_error_bars_is_that_of_kinex_plot_sigma():
    cycle = kinex.read(THREE)
    picture = cycle.plot(sigma=1.5, samples=2000, seed=3, correlation=0.2)
    cli = run(KINEX_TOOL, "plot", THREE, "--sigma", "1.5", "--samples", "2000", "--seed", "3",
              "--correlation", "0.2").stdout.decode()
    assert str(picture) == cli and "error-bar" in cli
    with pytest.raises(ValueError, match="one cycle"):
        kinex.plot(cycle, cycle, sigma=1.0)
