"""kinex.Network: a catalytic network of catalyst states, its exact steady
state, and the TOF, selectivity and degrees of control of every product."""

import math
import os
from typing import Any, Dict, Iterable, List, Mapping, Optional, Union

from ._checks import path_text as _path_text
from ._picture import Picture
from . import _kinex


def _number(x: Optional[float]) -> float:
    """A document's number: null (not finite) as NaN."""
    return math.nan if x is None else x


def _word(name: Any, what: str) -> str:
    text = str(name)
    if not text or any(c.isspace() or c == "#" or ord(c) < 32 for c in text):
        raise ValueError(f"{what} {text!r}: a name is one word without blanks or '#'")
    return text


def _real(x: Any, what: str) -> str:
    value = float(x)
    if not math.isfinite(value):
        raise ValueError(f"{what}: {x!r} is not a finite number")
    return repr(value)


class NetworkRate:
    """The TOF of one product (``name`` the species), or the turnover of the
    steps that close a turn (``name`` "turnover"), and its degrees of
    control. Rates in 1/s, energies in kcal/mol; a value that is not defined
    (no net rate) is NaN or None.

    - ``tof_per_s``, ``tof_per_h``, ``tof_per_day``: signed, 0 or inf beyond
      the range of doubles, where ``log10_tof`` (of the magnitude) still
      holds it; ``tof_sign`` +1, -1 or 0.
    - ``selectivity``: the share of the sum of every product's TOF (NaN for
      the turnover).
    - ``apparent_barrier``: -RT ln(|TOF| h / (k_B T)).
    - ``tdi``, ``tdts`` (names) and ``tdi_ties``, ``tdts_ties``.
    - ``xtof_state``, ``xtof_ts``, ``xtof_species``: the degrees of TOF
      control by name; ``xsel_ts``, ``xsel_species``: of selectivity
      (empty for the turnover).
    """

    def __init__(self, document: Mapping[str, Any]):
        self._document = dict(document)
        d = self._document
        self.name: str = d["name"]
        self.tof_per_s = _number(d["tof_per_s"])
        self.tof_per_h = _number(d["tof_per_h"])
        self.tof_per_day = _number(d["tof_per_day"])
        self.log10_tof = _number(d["log10_tof"])
        self.tof_sign: int = d["tof_sign"]
        self.selectivity = _number(d["selectivity"])
        self.apparent_barrier = _number(d["apparent_barrier"])
        self.tdi: Optional[str] = d["tdi"]
        self.tdts: Optional[str] = d["tdts"]
        self.tdi_ties: List[str] = list(d["tdi_ties"])
        self.tdts_ties: List[str] = list(d["tdts_ties"])
        numbers = lambda key: {k: _number(v) for k, v in d.get(key, {}).items()}  # noqa: E731
        self.xtof_state: Dict[str, float] = numbers("xtof_state")
        self.xtof_ts: Dict[str, float] = numbers("xtof_ts")
        self.xtof_species: Dict[str, float] = numbers("xtof_species")
        self.xsel_ts: Dict[str, float] = numbers("xsel_ts")
        self.xsel_species: Dict[str, float] = numbers("xsel_species")

    def to_dict(self) -> Dict[str, Any]:
        """The rate as the network document holds it."""
        return dict(self._document)

    def __repr__(self) -> str:
        return (f"NetworkRate({self.name!r}, tof_per_s={self.tof_per_s:.4g}, "
                f"selectivity={self.selectivity:.4g}, tdi={self.tdi!r}, tdts={self.tdts!r})")


class NetworkResult:
    """What the steady state of a network gives: ``populations`` and
    ``net_flux`` (per step, by its transition state, forward positive) as
    dicts by name, ``products`` (a NetworkRate per species some step
    releases), ``turnover`` (a NetworkRate, None without a step that closes
    a turn), ``product(name)``, and ``to_dict()``, the document kinex
    network --json prints."""

    def __init__(self, document: Mapping[str, Any]):
        self._document = document
        results = document["results"]
        self.populations: Dict[str, float] = {k: _number(v) for k, v in results["populations"].items()}
        self.net_flux: Dict[str, float] = {k: _number(v) for k, v in results["net_flux"].items()}
        self.products: List[NetworkRate] = [NetworkRate(p) for p in results["products"]]
        self.turnover: Optional[NetworkRate] = (
            None if results["turnover"] is None else NetworkRate(results["turnover"]))

    def product(self, name: str) -> NetworkRate:
        """The rate of the product `name`; KeyError if no step releases it."""
        for rate in self.products:
            if rate.name == name:
                return rate
        raise KeyError(f"no step releases {name!r}; the products are "
                       + ", ".join(r.name for r in self.products))

    def to_dict(self) -> Dict[str, Any]:
        """The "network" document, as kinex network FILE --json prints it."""
        import copy
        return copy.deepcopy(self._document)

    def __repr__(self) -> str:
        names = ", ".join(f"{r.name}: {r.tof_per_s:.4g}/s" for r in self.products)
        return f"NetworkResult(products=[{names}], turnover={self.turnover!r})"


class RateSpread:
    """One rate of a network (a product, or "turnover") as a distribution
    over the errors of the energies: ``central_log10_tof`` (at the energies
    as given), ``log10_tof_median``, ``log10_tof_mean``, ``log10_tof_sd``,
    ``log10_tof_interval_68`` and ``log10_tof_interval_95`` (pairs, of
    |TOF|), ``selectivity_median`` and ``selectivity_interval_95`` (NaN for
    the turnover), ``backward_share``, and ``tdi_probability`` and
    ``tdts_probability`` (dicts by name of the states that ever are)."""

    def __init__(self, document: Mapping[str, Any]):
        self._document = dict(document)
        for key, value in self._document.items():
            if isinstance(value, list):
                value = tuple(_number(x) for x in value)
            elif isinstance(value, dict):
                value = dict(value)
            elif key != "name":
                value = _number(value)
            setattr(self, key, value)

    def to_dict(self) -> Dict[str, Any]:
        return dict(self._document)

    def __repr__(self) -> str:
        return (f"RateSpread({self._document['name']!r}, log10_tof_median="
                f"{_number(self._document['log10_tof_median']):.4g})")


class NetworkSpread:
    """The rates of a network over the errors of its energies, as kinex
    uncertainty FILE.net gives them: ``samples``, ``seed``, ``correlation``,
    ``sigma`` and ``sigma_ts`` (by name), ``rates`` (a RateSpread per
    product, then the turnover), ``rate(name)`` and ``to_dict()``."""

    def __init__(self, document: Mapping[str, Any]):
        self._document = document
        self.samples: int = document["samples"]
        self.seed: int = document["seed"]
        self.correlation: float = document["correlation"]
        self.sigma: Dict[str, float] = dict(document["sigma"])
        self.sigma_ts: Dict[str, float] = dict(document["sigma_ts"])
        self.rates: List[RateSpread] = [RateSpread(r) for r in document["rates"]]

    def rate(self, name: str) -> RateSpread:
        """The distribution of the product `name`, or of "turnover"."""
        for rate in self.rates:
            if rate.name == name:
                return rate
        raise KeyError(f"no rate {name!r}; the rates are " + ", ".join(r.name for r in self.rates))

    def to_dict(self) -> Dict[str, Any]:
        import copy
        return copy.deepcopy(self._document)

    def __repr__(self) -> str:
        return f"NetworkSpread({self.samples} samples, rates {[r.name for r in self.rates]})"


class Network:
    """A catalytic network: states of the catalyst joined by reversible
    steps over their transition states, which consume and release species.
    Build it from a network file (``kinex.read_network(path)``), from its
    text (``Network(text)``), from a cycle (``Network.from_cycle(cycle)``)
    or from its parts::

        net = kinex.Network.build(
            T=298.15,
            species={"ArX": 0.5, "P": 1e-3},
            states={"Pd0": 0.0, "OA": -8.2, "dimer": -11.0},
            steps=[{"from": "Pd0", "to": "OA", "ts": 14.2, "consumes": ["ArX"]},
                   {"from": "OA", "to": "Pd0", "ts": 11.0, "releases": ["P"], "shift": -25.0},
                   {"from": "Pd0", "to": "dimer", "ts": 3.0}])
        result = net.evaluate()
        result.product("P").tof_per_s, result.populations["dimer"]

    The file's text is kept (``text``) and read at once: a fault raises
    kinex.InputError with its line and column. A Network pickles.
    """

    def __init__(self, text: str, name: str = "network"):
        self.text = str(text)
        self.name = str(name)
        self._document = _kinex._network_document(self.text, self.name)

    @classmethod
    def build(cls, T: float, states: Mapping[str, float], steps: Iterable[Mapping[str, Any]],
              species: Optional[Mapping[str, float]] = None, name: str = "network") -> "Network":
        """The network of `states` (name: G), `steps` (dicts with "from",
        "to", "ts" (G of the transition state) and, where they apply,
        "consumes" and "releases" (lists of species, once a molecule),
        "shift" (for a step that closes a turn) and "name" (of its
        transition state)) and `species` (name: concentration) at T."""
        lines = [f"temperature {_real(T, 'T')}"]
        for key, conc in (species or {}).items():
            lines.append(f"species {_word(key, 'species')} {_real(conc, 'species ' + str(key))}")
        for key, G in states.items():
            lines.append(f"state {_word(key, 'state')} {_real(G, 'state ' + str(key))}")
        for k, step in enumerate(steps, start=1):
            unknown = set(step) - {"from", "to", "ts", "consumes", "releases", "shift", "name"}
            if unknown:
                raise ValueError(f"step {k}: unknown keys {sorted(unknown)}; a step has from, to, "
                                 "ts, consumes, releases, shift and name")
            try:
                words = ["step", _word(step["from"], "state"), _word(step["to"], "state"),
                         "ts", _real(step["ts"], f"step {k} ts")]
            except KeyError as missing:
                raise ValueError(f"step {k}: no {missing.args[0]!r}") from None
            for key in ("consumes", "releases"):
                names = step.get(key) or []
                if isinstance(names, str):
                    names = [names]
                if names:
                    words += [key] + [_word(n, "species") for n in names]
            if step.get("shift") is not None:
                words += ["shift", _real(step["shift"], f"step {k} shift")]
            if step.get("name") is not None:
                words += ["name", _word(step["name"], "transition state")]
            lines.append(" ".join(words))
        return cls("\n".join(lines) + "\n", name)

    @classmethod
    def from_cycle(cls, cycle: "_kinex.Cycle") -> "Network":
        """The network of a cycle, as kinex network --from-cycle writes it:
        states I0.., transition states TS1.., the last step closing the turn
        with DeltaG, each given concentration of step i a species R<i> or
        P<i>. Its results are the cycle's."""
        return cls(_kinex._cycle_network_file(cycle, f"The cycle of {cycle.name} as a network"),
                   cycle.name)

    def evaluate(self) -> NetworkResult:
        """The exact steady state and every rate, selectivity and degree of
        control (see NetworkResult)."""
        return NetworkResult(self._document)

    def uncertainty(self, sigma: Optional[float] = None,
                    sigmas: Optional[Mapping[str, float]] = None, samples: int = 10000,
                    seed: int = 0, correlation: float = 0.0, threads: int = 0) -> NetworkSpread:
        """The rates as distributions over the errors of the energies, as
        kinex uncertainty samples them: every state and transition state
        moved by its sigma (kcal/mol; `sigmas` by name, `sigma` for the
        others) times sqrt(correlation) z0 + sqrt(1 - correlation) z_s, each
        sample evaluated exactly. The same seed gives the same numbers on
        any number of threads; the GIL is released while it samples."""
        if sigma is None and not sigmas:
            raise ValueError("give sigma (kcal/mol, every state and transition state) or sigmas "
                             "(by name)")
        common = math.nan if sigma is None else float(sigma)
        named = [(str(k), float(v)) for k, v in (sigmas or {}).items()]
        document = _kinex._network_uncertainty(self.text, self.name, common, named, int(samples),
                                               int(seed), float(correlation), int(threads))
        return NetworkSpread(document)

    def plot(self) -> Picture:
        """The network's energy profile, as kinex network FILE -o OUT draws
        it: every path from the resting state as a branch of one profile. A
        kinex.Picture: shown in a notebook, ``save(path)`` as SVG, PDF or
        PNG, ``draw(ax)`` onto matplotlib axes."""
        return Picture(_kinex._network_svg(self.text, self.name), sources=(self.name,))

    def write(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Writes the network file to `path` as kinex writes files: whole or
        not at all, the permissions and symbolic links of a file it replaces
        kept; never over the file the network was read from."""
        path = _path_text(path)
        try:
            same = os.path.samefile(path, self.name)
        except OSError:
            same = False
        if same:
            raise ValueError(f"{path} is the input file {self.name}; it is not overwritten. "
                             "Name another output file.")
        _kinex._replace_file(path, self.text.encode("utf-8"))

    def __getstate__(self) -> Dict[str, str]:
        return {"text": self.text, "name": self.name}

    def __setstate__(self, state: Mapping[str, str]) -> None:
        self.__init__(state["text"], state["name"])

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Network) and (self.text, self.name) == (other.text, other.name)

    def __repr__(self) -> str:
        inputs = self._document["input"]
        return (f"Network({self.name!r}: {len(inputs['states'])} states, "
                f"{len(inputs['steps'])} steps, {len(inputs['species'])} species, "
                f"T = {inputs['T']} K)")


def read_network(path: Union[str, "os.PathLike[str]"]) -> Network:
    """The network of a network file (see the guide's "Catalytic
    networks"), named by its path. Raises kinex.InputError (file, line,
    column, reason) for a fault of the file, OSError when it cannot be
    read."""
    path = _path_text(path)
    with open(path, encoding="utf-8", errors="replace") as handle:
        text = handle.read()
    return Network(text, path)
