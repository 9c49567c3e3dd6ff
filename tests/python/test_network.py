"""kinex.Network: the documents against kinex network's, a cycle through a
network, networks built from their parts, pickling, writing, and what it
refuses."""

import json
import math
import pickle

import pytest

import kinex
from conftest import EXAMPLES, KINEX_TOOL, run

HECK = str(EXAMPLES / "heck.net")
PARTS = dict(
    T=298.15, species={"ArX": 0.5, "P": 1e-3}, states={"Pd0": 0.0, "OA": -8.2, "dimer": -11.0},
    steps=[{"from": "Pd0", "to": "OA", "ts": 14.2, "consumes": ["ArX"]},
           {"from": "OA", "to": "Pd0", "ts": 11.0, "releases": "P", "shift": -25.0,
            "name": "TS_RE"},
           {"from": "Pd0", "to": "dimer", "ts": 3.0}])


def test_the_network_is_kinex_networks():
    net = kinex.read_network(HECK)
    result = net.evaluate()
    document = json.loads(run(KINEX_TOOL, "network", HECK, "--json").stdout)
    assert result.to_dict() == document
    lin = result.product("prod_lin")
    assert lin.tof_per_s == document["results"]["products"][0]["tof_per_s"]
    assert math.isclose(sum(result.populations.values()), 1.0, rel_tol=1e-14)
    assert math.isclose(sum(lin.xtof_ts.values()), 1.0, rel_tol=1e-12)
    assert result.turnover.tdi == "dimer" and math.isnan(result.turnover.selectivity)
    with pytest.raises(KeyError, match="prod_lin, prod_br"):
        result.product("ArX")


def test_a_cycle_through_a_network_keeps_its_results():
    cycle = kinex.read(str(EXAMPLES / "three_step.txt"))
    expected = cycle.evaluate()
    net = kinex.Network.from_cycle(cycle)
    assert net.text == run(KINEX_TOOL, "network", "--from-cycle", cycle.name).stdout.decode()
    turnover = net.evaluate().turnover
    assert math.isclose(turnover.tof_per_s, expected.tof_per_s, rel_tol=1e-12)
    assert [turnover.xtof_ts[f"TS{i}"] for i in (1, 2, 3)] == pytest.approx(
        list(expected.xtof_ts), abs=1e-12)


def test_the_picture_is_kinex_networks(tmp_path):
    net = kinex.read_network(HECK)
    svg = tmp_path / "heck.svg"
    run(KINEX_TOOL, "network", HECK, "-o", str(svg))
    assert net.plot().svg == svg.read_text(encoding="utf-8")
    net.plot().save(tmp_path / "heck.png")
    assert (tmp_path / "heck.png").read_bytes().startswith(b"\x89PNG")


def test_built_pickled_and_written(tmp_path):
    net = kinex.Network.build(**PARTS)
    assert "step OA Pd0 ts 11.0 releases P shift -25.0 name TS_RE" in net.text
    again = pickle.loads(pickle.dumps(net))
    assert again == net and again.evaluate().to_dict() == net.evaluate().to_dict()
    path = tmp_path / "built.net"
    net.write(path)
    assert kinex.read_network(path).text == net.text
    read = kinex.read_network(path)
    with pytest.raises(ValueError, match="not overwritten"):
        read.write(path)


@pytest.mark.parametrize("text, line, column, reason", [
    ("temperature 300\nstate A 0\nstep A B ts 1\n", 3, 8, "unknown state 'B'"),
    ("temperature 300\nstate A x\n", 2, 9, "bad Gibbs energy 'x'"),
    ("state A 0\n", None, None, "no temperature"),
], ids=["unknown state", "bad number", "no temperature"])
def test_a_faulty_file_raises_with_its_place(text, line, column, reason):
    with pytest.raises(kinex.InputError, match=reason) as raised:
        kinex.Network(text)
    assert (raised.value.line, raised.value.column) == (line, column)


@pytest.mark.parametrize("change, message", [
    (dict(states={"Pd 0": 0.0}), "one word"),
    (dict(T=math.inf), "not a finite number"),
    (dict(steps=[{"from": "Pd0", "to": "OA"}]), "no 'ts'"),
    (dict(steps=[{"from": "Pd0", "to": "OA", "ts": 1.0, "speed": 2}]), "unknown keys"),
], ids=["blank in a name", "infinite T", "no ts", "unknown key"])
def test_built_from_bad_parts_is_refused(change, message):
    with pytest.raises(ValueError, match=message):
        kinex.Network.build(**{**PARTS, **change})


def test_uncertainty_is_kinex_uncertaintys(tmp_path):
    net = kinex.read_network(HECK)
    spread = net.uncertainty(sigma=1.0, sigmas={"TS_OA": 2.0}, samples=300, seed=5, threads=2)
    sigmas = tmp_path / "sigmas.txt"
    sigmas.write_text("TS_OA 2.0\n")
    done = run(KINEX_TOOL, "uncertainty", HECK, "--sigma", "1", "--sigmas", str(sigmas),
               "--samples", "300", "--seed", "5", "--json")
    assert spread.to_dict() == json.loads(done.stdout)
    assert spread.sigma_ts["TS_OA"] == 2.0 and spread.sigma["dimer"] == 1.0
    lin = spread.rate("prod_lin")
    assert lin.log10_tof_interval_95[0] < lin.log10_tof_median < lin.log10_tof_interval_95[1]
    assert math.isclose(sum(lin.tdi_probability.values()), 1.0)
    with pytest.raises(ValueError, match="no state or transition state"):
        net.uncertainty(sigmas={"bogus": 1.0})
    with pytest.raises(ValueError, match="give sigma"):
        net.uncertainty()
