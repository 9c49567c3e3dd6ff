"""kinex: the turnover frequency of catalytic cycles, in Python.

The same library as KINEX.exe and kinex, so every number is the one behind
the report::

    import kinex
    cycle = kinex.read("examples/three_step.txt")
    result = cycle.evaluate()
    result.tof_per_s, result.tdi, result.tdts, result.xtof_ts
    print(cycle.report())
    cycle.plot()                      # shown in a notebook
    scan = kinex.scan_temperature(cycle, numpy.linspace(250, 400, 31))
    results = kinex.evaluate_many(kinex.read_table("examples/screening.csv"))
    kinex.to_dataframe(results)       # needs pandas
    arrays = kinex.read_table("examples/screening.csv", as_arrays=True).evaluate()
    arrays.tof_per_s, arrays.xtof_ts  # numpy arrays, a row per cycle
    v = kinex.volcano("catalysts.csv")  # a table of catalysts under one set of conditions
    v.x, v.log10_tof, v.band.log10_tof, v.regions, v.points, v.plot()
    net = kinex.read_network("examples/heck.net").evaluate()
    net.product("prod_lin").tof_per_s, net.populations, net.turnover.xtof_ts

Energies are Gibbs energies in kcal/mol, temperatures in K, TOFs in 1/s.
"""

import os as _os
import warnings as _warnings

from typing import Iterable, Iterator, Optional, Sequence, Union

from ._checks import counts as _counts, errors_choice as _errors_choice, kelvin as _kelvin
from ._checks import path_text as _path_text, whole as _whole
from ._errors import InputError, InputWarning

try:
    from . import _kinex
except ImportError as error:  # the sources alone, not the built package
    raise ImportError(
        f"kinex: the extension module kinex._kinex is not beside {__file__}; "
        "install the package (pip install --no-build-isolation . with /usr/bin/python3, see "
        "the README's Python section) or put BUILD/python of a CMake build on PYTHONPATH"
    ) from error
from ._kinex import (Cycle, Finding, Map, MapFit, MapPoint, Result, ResultArrays, Uncertainty,
                     Volcano, VolcanoBand, VolcanoFit, VolcanoPoint, VolcanoRegion, ensemble,
                     evaluate_arrays, evaluate_many)
from ._picture import Picture
from ._network import (Network, NetworkRate, NetworkResult, NetworkSpread, RateSpread,
                       read_network)

__all__ = [
    "Cycle", "Result", "Finding", "Picture", "Scan", "InputError", "InputWarning",
    "read", "read_table", "iter_table", "evaluate_many", "evaluate_arrays", "ResultArrays",
    "CycleArrays", "scan_temperature", "scan_concentration",
    "plot", "to_dataframe", "Uncertainty", "UncertaintyScreening", "uncertainty_many", "ensemble",
    "volcano", "Volcano", "VolcanoBand", "VolcanoFit", "VolcanoPoint", "VolcanoRegion",
    "map", "Map", "MapFit", "MapPoint",
    "Network", "NetworkResult", "NetworkRate", "NetworkSpread", "RateSpread", "read_network",
]
__version__ = "1.0"


def read(path: Union[str, "os.PathLike[str]"], name: Optional[str] = None) -> Cycle:
    """The cycle of an input file of KINEX.exe, read as KINEX.exe reads it,
    named `name` in the outputs and pictures (None: by the file).

    Raises kinex.InputError (file, line, column, reason) when the file
    cannot be opened or read, and ValueError for a name ending in .csv or
    .tsv, which kinex takes for a table (see read_table). The reader's warnings are issued as
    kinex.InputWarning and kept in ``cycle.warnings``.
    """
    path = _path_text(path)
    if path.lower().endswith((".csv", ".tsv")):
        raise ValueError(f"{path} is a table (.csv or .tsv), as kinex takes it: "
                         "kinex.read_table reads it, a cycle per row")
    cycle = _kinex._read(path)
    for finding in cycle.warnings:
        where = f"{cycle.name}:{finding.line}" if finding.line else cycle.name
        _warnings.warn(f"{where}: {finding.text}", InputWarning, stacklevel=2)
    if name is not None:
        cycle.name = name
    return cycle


def read_table(path: Union[str, "os.PathLike[str]"], T: float = 298.15,
               errors: str = "raise", as_arrays: bool = False) -> "Union[list[Cycle], CycleArrays]":
    """The cycles of a table (.csv or .tsv), one per row, in row order.

    Column 1 names the catalyst, then the states in cycle order (a header
    containing TS marks a transition state; the last state is the final
    state, or a last column DeltaG holds DeltaG); optional columns T, [Rk],
    [Pk] and descriptors, as for kinex. ``T`` is the temperature (K) of rows
    where the table has no temperature column. Each cycle is named
    "FILE:NAME".

    errors: 'raise' (default) raises kinex.InputError for the first bad
    row; 'warn' leaves bad rows out, each with a kinex.InputWarning.
    A table that cannot be read at all always raises kinex.InputError.
    For a table too long to hold, iter_table gives the rows one at a time.

    as_arrays: True gives the rows as one kinex.CycleArrays (the inputs of
    evaluate_arrays, no object per row) instead of a list of Cycles.
    """
    if as_arrays:
        _errors_choice(errors)
        columns = _kinex._table_arrays(_path_text(path), _kelvin(T), errors == "warn")
        for row in columns.pop("left_out"):
            _warnings.warn(f"left out: {row}", InputWarning, stacklevel=2)
        return CycleArrays(columns)
    return list(_table_cycles(path, T, errors, stacklevel=3))


class CycleArrays:
    """The rows of a table as arrays, the inputs of kinex.evaluate_arrays
    (read_table(path, as_arrays=True)): N rows of n steps.

    file        -- the table, as named
    rows        -- each row's catalyst (column 1; its line where empty), a list
    lines       -- the line on which each row begins
    T, DeltaG   -- shape (N,)
    G_int, G_ts -- shape (N, n): I0..I(n-1), TS1..TSn (kcal/mol)
    reactant, product -- shape (N, n), NaN where a step has none; None
                   where no row has any
    names       -- the states in cycle order, from the header
    descriptors -- {header: values of shape (N,)}, NaN where a row has none
    """

    _inputs = ("T", "G_int", "G_ts", "DeltaG", "reactant", "product")

    def __init__(self, columns):
        for key in ("file", "rows", "lines", "names", "descriptors") + self._inputs:
            setattr(self, key, columns[key])

    def __len__(self) -> int:
        return len(self.rows)

    def __repr__(self):
        return f"<kinex.CycleArrays {self.file!r}: {len(self)} rows of {self.G_int.shape[1]} steps>"

    def inputs(self) -> dict:
        """T, G_int, G_ts, DeltaG, reactant and product, as evaluate_arrays takes them."""
        return {key: getattr(self, key) for key in self._inputs}

    def evaluate(self, threads: int = 0) -> ResultArrays:
        """Every row evaluated by kinex.evaluate_arrays, the states named by
        the table's header; the results' ``cycles`` are these arrays."""
        return _kinex._with_cycles(evaluate_arrays(**self.inputs(), threads=threads,
                                                   names=self.names), self)


def iter_table(path: Union[str, "os.PathLike[str]"], T: float = 298.15,
               errors: str = "raise") -> "Iterator[Cycle]":
    """The cycles of a table as read_table gives them, one at a time.

    Only the row at hand is held, so a table of any length (or a pipe whose
    rows never end) is read in the memory of one row. The header is read at
    once: an unreadable table or a wrong header raises kinex.InputError
    here; a bad row raises (or warns) when iteration reaches it.
    """
    return _table_cycles(path, T, errors, stacklevel=2)


def _table_cycles(path, T, errors, stacklevel):
    """The checked arguments' table rows, as a generator over its cycles."""
    _errors_choice(errors)
    rows = _kinex._TableRows(_path_text(path), _kelvin(T))

    def cycles():
        for row in rows:
            if isinstance(row, InputError):
                if errors == "raise":
                    raise row
                _warnings.warn(f"left out: {row}", InputWarning, stacklevel=stacklevel)
            else:
                yield row
    return cycles()


def volcano(table: Union[str, "os.PathLike[str]"], descriptor: Optional[str] = None,
            range: Optional["tuple[float, float]"] = None, points: int = 200,
            samples: int = 1000, seed: int = 0, T: Optional[float] = None,
            errors: str = "raise", threads: int = 0) -> Volcano:
    """The volcano of a table of catalysts (.csv or .tsv), as kinex volcano
    makes it: every state's Gibbs energy fitted as a line of one descriptor,
    and the cycle of the fitted energies evaluated along it.

    descriptor: the header of a Descriptor column or of a state column;
        'auto' the state against which the other states fit best (mean R²);
        None the table's only Descriptor column, else 'auto'.
    range: (FROM, TO) of the descriptor; None: the catalysts' range with
        10 % of it added on each side.
    points: the points of the curve (2 to 100000), evenly from FROM to TO.
    samples: the draws of the lines for the 95 % band (0 to 100000; 0: no
        band); seed: the same seed gives the same band, bit for bit, on any
        number of threads (0: one per core).
    T: the temperature (K) of rows where the table has none (None: 298.15),
        as kinex volcano -T.
    errors: 'raise' (default) raises kinex.InputError for the first bad
        row; 'warn' leaves bad rows out, each with a kinex.InputWarning.

    Raises kinex.InputError for a table that cannot be read, ValueError for
    one that makes no volcano (fewer than two catalysts, a descriptor that
    does not vary or names no column, rows under other conditions). The
    volcano's warnings (lines that fit badly, rows left out) are issued as
    kinex.InputWarning and kept in ``volcano.warnings``. Releases the GIL
    while the curve and its band are computed.
    """
    path = _path_text(table)
    if not path.lower().endswith((".csv", ".tsv")):
        raise ValueError(f"{path} is no table; a volcano takes a table of catalysts (.csv, .tsv)")
    _errors_choice(errors)
    T = _kelvin(298.15 if T is None else T)
    if descriptor is not None and not isinstance(descriptor, str):
        raise TypeError(f"descriptor: {descriptor!r} is not a column's header, 'auto' or None")
    if range is not None:
        try:
            low, high = (float(v) for v in range)
        except (TypeError, ValueError) as error:
            raise TypeError(f"range: {range!r} is not a pair (FROM, TO) of numbers") from error
        if not (-float("inf") < low < high < float("inf")):
            raise ValueError(f"range: ({low!r}, {high!r}) is not FROM below TO, both finite")
        range = (low, high)
    points = _whole("points", points, 2, 100000)
    samples = _whole("samples", samples, 0, 100000)
    seed = _whole("seed", seed, 0, 2 ** 64 - 1)
    threads = _whole("threads", threads, 0, 1024)
    made, left_out = _kinex._volcano(path, T, errors == "warn", descriptor or "", range, points,
                                     samples, seed, threads)
    for row in left_out:
        _warnings.warn(f"left out: {row}", InputWarning, stacklevel=2)
    for warning in made.warnings:
        _warnings.warn(f"{path}: {warning}", InputWarning, stacklevel=2)
    return made


def _pair(name, value, low=-float("inf")):
    """(FROM, TO) of two finite numbers, FROM below TO and above `low`."""
    try:
        a, b = (float(v) for v in value)
    except (TypeError, ValueError) as error:
        raise TypeError(f"{name}: {value!r} is not a pair (FROM, TO) of numbers") from error
    if not (low < a < b < float("inf")):
        raise ValueError(f"{name}: ({a!r}, {b!r}) is not FROM below TO, both finite"
                         + (" and above 0 K" if low == 0.0 else ""))
    return (a, b)


def map(table: Union[str, "os.PathLike[str]"], x: str, y: Optional[str] = None,
        T: Optional["tuple[float, float]"] = None, points: "tuple[int, int]" = (60, 60),
        x_range: Optional["tuple[float, float]"] = None,
        y_range: Optional["tuple[float, float]"] = None, temperature: Optional[float] = None,
        errors: str = "raise", threads: int = 0, quantity: str = "log10_tof") -> Map:
    """The activity map of a table of catalysts (.csv or .tsv), as kinex map
    makes it: every state's Gibbs energy fitted as a plane of the Descriptor
    columns `x` and `y` (or, with T=(FROM, TO) instead of y, as a line of x
    with the temperature as the second axis), and the cycle of the fitted
    energies evaluated at every point of a grid of points=(NX, NY).

    x_range, y_range: (FROM, TO) of the axes; None: the catalysts' range with
        10 % of it added on each side.
    temperature: the temperature (K) of rows where the table has none (None:
        298.15), as kinex map -T.
    errors: 'raise' (default) raises kinex.InputError for the first bad row;
        'warn' leaves bad rows out, each with a kinex.InputWarning.
    quantity: what the map shows, 'log10_tof' (default) or 'energetic_span'
        (kcal/mol, lower where the cycle is more active), as kinex map
        --quantity.

    Raises kinex.InputError for a table that cannot be read, ValueError for
    one that makes no map (no second Descriptor column, fewer than 3
    catalysts, descriptors that vary together, a grid beyond the memory).
    The map's warnings are issued as kinex.InputWarning and kept in
    ``map.warnings``. Releases the GIL while the grid is evaluated.
    """
    path = _path_text(table)
    if not path.lower().endswith((".csv", ".tsv")):
        raise ValueError(f"{path} is no table; a map takes a table of catalysts (.csv, .tsv)")
    _errors_choice(errors)
    temperature = _kelvin(298.15 if temperature is None else temperature)
    if not isinstance(x, str) or not x:
        raise TypeError(f"x: {x!r} is not a Descriptor column's header")
    if (y is None) == (T is None):
        raise TypeError("give either y (a second Descriptor column) or T=(FROM, TO), not "
                        + ("both" if y is not None else "neither"))
    if y is not None and not isinstance(y, str):
        raise TypeError(f"y: {y!r} is not a Descriptor column's header")
    T = None if T is None else _pair("T", T, 0.0)
    if T is not None and y_range is not None:
        raise ValueError("y_range goes with a second descriptor; over the temperature T is the range")
    x_range = None if x_range is None else _pair("x_range", x_range)
    y_range = None if y_range is None else _pair("y_range", y_range)
    try:
        nx, ny = points
    except (TypeError, ValueError) as error:
        raise TypeError(f"points: {points!r} is not a pair (NX, NY)") from error
    nx, ny = _whole("points[0]", nx, 2, 100000), _whole("points[1]", ny, 2, 100000)
    threads = _whole("threads", threads, 0, 1024)
    if quantity not in ("log10_tof", "energetic_span"):
        raise ValueError(f"quantity: {quantity!r} is not 'log10_tof' or 'energetic_span'")
    made, left_out = _kinex._map(path, temperature, errors == "warn", x, y or "", T, x_range,
                                 y_range, nx, ny, threads, quantity)
    for row in left_out:
        _warnings.warn(f"left out: {row}", InputWarning, stacklevel=2)
    for warning in made.warnings:
        _warnings.warn(f"{path}: {warning}", InputWarning, stacklevel=2)
    return made


def plot(*cycles: Union[Cycle, Result], title: Optional[str] = None,
         width: Optional[float] = None, height: Optional[float] = None,
         font_size: Optional[float] = None,
         y_range: Optional["tuple[float, float]"] = None, sigma=None, samples: int = 10000,
         seed: int = 0, correlation: float = 0.0, xlabel: Optional[str] = None,
         ylabel: Optional[str] = None, labels: Optional[Sequence[str]] = None, ax=None,
         size: Optional[str] = None):
    """The energy profile of one cycle, or of several overlaid, as a Picture.

    cycles: kinex.Cycle or kinex.Result objects (cycles are evaluated).
    title: the title line (None: the default; '' for none).
    xlabel, ylabel: the axes' titles (None: 'Reaction coordinate' and
        'Gibbs energy (kcal/mol)').
    labels: the cycles' names in the legend, in order (None, or None in
        place of one: the cycle's name, a file's without folder and
        extension).
    size: the size on paper, 'column' (3.3 in wide, 8 pt text), 'page' (7 in,
        9 pt) or a width and perhaps a height in in or mm ('85x60mm'); the
        picture is laid out for it. Or:
    width, height: in px, 96 to the inch (None: as the content needs).
    font_size: of the state labels in pt, all text scaling with it (None: 9,
        or 8 in a picture narrower than 5 in, or the size's).
    y_range: (FROM, TO), the energy axis in kcal/mol.
    sigma: error bars of +-sigma (kcal/mol) on the states of one cycle and how
        likely each is the TDI and the TDTS, from the Monte Carlo of
        Cycle.uncertainty with samples, seed and correlation (sigma as there).
    ax: a matplotlib Axes to draw the same figure on instead of returning a
        Picture; the artists drawn are returned (see Picture.draw).
    """
    if len(cycles) == 1 and isinstance(cycles[0], (list, tuple)):
        cycles = tuple(cycles[0])
    results = [c.evaluate() if isinstance(c, Cycle) else c for c in cycles]
    for r in results:
        if not isinstance(r, Result):
            raise TypeError(f"plot: {r!r} is neither a kinex.Cycle nor a kinex.Result")
    samples, seed, _ = _counts(samples, seed, 0)
    if size is not None:
        if width is not None or height is not None:
            raise ValueError("size: give either size or width and height, not both")
        width, height, size_font = _kinex._paper_size(str(size))
        font_size = size_font if font_size is None else font_size
    given = list(labels) if labels is not None else []
    if isinstance(labels, str) or len(given) > len(results):
        raise ValueError(f"labels: one name per cycle, in order, for {len(results)} cycles; "
                         f"not {labels!r}")
    # A cycle is named by its file, a table's row as FILE:NAME: the legend
    # shortens those, and shows any other name as it is.
    sources, shown = set(), []
    for k, r in enumerate(results):
        name = r.cycle.name
        cuts = [len(name)] + [j for j, c in enumerate(name) if c == ":"]
        files = [name[:j] for j in cuts if j > 0 and _os.path.isfile(name[:j])]
        sources.update(files)
        label = given[k] if k < len(given) else None
        shown.append(str(label) if label is not None else "" if files else name)
    svg = _kinex._plot(results, None if title == "" else title, title == "",
                       float(width or 0), float(height or 0), float(font_size or 0),
                       None if y_range is None else tuple(float(v) for v in y_range),
                       sigma, samples, seed, float(correlation), shown,
                       xlabel or "", ylabel or "")
    picture = Picture(svg, sorted(sources))
    return picture if ax is None else picture.draw(ax)


class Scan:
    """A cycle evaluated over a range of temperatures or of one step's
    concentration: one row per value, as numpy arrays (names as lists).

    quantity -- 'T', 'reactant_STEP' or 'product_STEP'
    values   -- the swept values (K or concentration)
    tof_per_s, log10_tof, tdi_step, tdts_step, tdi, tdts, energetic_span,
    effective_span, apparent_barrier, apparent_activation_energy (NaN but
    for temperature scans), evaluation, warning -- per row, as in Result
    """

    _columns = ("values", "tof_per_s", "log10_tof", "tdi_step", "tdts_step", "tdi", "tdts",
                "energetic_span", "effective_span", "apparent_barrier",
                "apparent_activation_energy", "evaluation", "warning")

    def __init__(self, columns):
        self.quantity = columns["quantity"]
        for key in self._columns:
            setattr(self, key, columns[key])

    def __len__(self) -> int:
        return len(self.values)

    def __repr__(self):
        return f"<kinex.Scan over {self.quantity}: {len(self)} rows>"

    @property
    def tof(self):
        """Deprecated: the old name of tof_per_s."""
        _warnings.warn("kinex: tof is now called tof_per_s; the old name will go in a later "
                       "version", DeprecationWarning, stacklevel=2)
        return self.tof_per_s

    def to_dict(self) -> dict:
        """The columns as a dict, the swept values under the quantity's name."""
        columns = {self.quantity: self.values}
        columns.update({key: getattr(self, key) for key in self._columns[1:]})
        return columns


def scan_temperature(cycle: Cycle, T_values: Iterable[float]) -> Scan:
    """The cycle evaluated at each temperature of ``T_values`` (K; any
    sequence or numpy array of finite values above 0), as a kinex.Scan.
    Releases the GIL while it computes."""
    return Scan(_kinex._scan_temperature(cycle, T_values))


def scan_concentration(cycle: Cycle, step: int, values: Iterable[float],
                       species: str = "reactant") -> Scan:
    """The cycle evaluated with the concentration of the reactant entering
    (species='reactant') or the product leaving (species='product') step
    ``step`` (1..n) set to each of ``values``, as a kinex.Scan; the step
    counts as having that concentration even where the cycle has none."""
    return Scan(_kinex._scan_concentration(cycle, int(step), values, species))


_FRAME_COLUMNS = ("file", "T", "n", "DeltaG", "tof_per_s", "tdi_step", "tdts_step",
                  "energetic_span", "warning", "log10_tof", "evaluation", "effective_span",
                  "apparent_barrier", "warning_count", "tdi", "tdts")


def _row(result):
    c = result.cycle
    row = {
        "file": result.name, "T": c.T, "n": c.n, "DeltaG": c.DeltaG,
        "tof_per_s": result.tof_per_s, "tdi_step": result.tdi_step,
        "tdts_step": result.tdts_step, "energetic_span": result.energetic_span,
        "warning": result.warning, "log10_tof": result.log10_tof,
        "evaluation": result.evaluation, "effective_span": result.effective_span,
        "apparent_barrier": result.apparent_barrier, "warning_count": len(result.warnings),
        "tdi": result.tdi, "tdts": result.tdts,
    }
    row.update(c.descriptors)
    return row


def _uncertainty_row(u):
    """The row of kinex uncertainty --csv, its columns by the same names."""
    def likeliest(p):
        name, share = max(p.items(), key=lambda item: item[1])
        return (name, share) if share > 0 else (None, 0.0)
    tdi, tdts = likeliest(u.tdi_probability), likeliest(u.tdts_probability)
    doc = u.to_dict()
    sigma = u.sigma
    return {
        "file": u.name, "method": u.method, "samples": u.samples,
        "seed": doc.get("seed"), "correlation": doc.get("correlation"),
        "sigma": None if sigma is None else (
            float(sigma[0]) if (sigma == sigma[0]).all() else "per-state"),
        "central_log10_tof": u.central_log10_tof, "log10_tof_median": u.log10_tof_median,
        "log10_tof_interval_68_low": u.log10_tof_interval_68[0],
        "log10_tof_interval_68_high": u.log10_tof_interval_68[1],
        "log10_tof_interval_95_low": u.log10_tof_interval_95[0],
        "log10_tof_interval_95_high": u.log10_tof_interval_95[1],
        "log10_tof_mean": u.log10_tof_mean, "log10_tof_sd": u.log10_tof_sd,
        "log10_tof_first_order_sd": u.log10_tof_first_order_sd,
        "tdi_likeliest": tdi[0], "tdi_likeliest_probability": tdi[1],
        "tdts_likeliest": tdts[0], "tdts_likeliest_probability": tdts[1],
        "central_tdi": doc["central_tdi"], "central_tdts": doc["central_tdts"],
        "backward_share": u.backward_share,
    }


def _volcano_columns(v):
    """The columns of kinex volcano --csv, by the same names."""
    b = v.band
    return {
        "x": v.x, "log10_tof": v.log10_tof,
        "log10_tof_low": b.log10_tof[0], "log10_tof_high": b.log10_tof[1],
        "energetic_span": v.energetic_span,
        "energetic_span_low": b.energetic_span[0], "energetic_span_high": b.energetic_span[1],
        "effective_span": v.effective_span, "most_endergonic_step": v.most_endergonic_step,
        "most_endergonic_step_low": b.most_endergonic_step[0],
        "most_endergonic_step_high": b.most_endergonic_step[1],
        "tdi": v.tdi, "tdts": v.tdts,
    }


def _map_columns(m):
    """The columns of kinex map --csv, by the same names: a row per grid
    point, x fastest."""
    import numpy
    nx, ny = len(m.x), len(m.y)
    values = m.energetic_span if m.quantity == "energetic_span" else m.log10_tof
    return {
        "x": numpy.tile(m.x, ny), ("T" if m.over_temperature else "y"): numpy.repeat(m.y, nx),
        m.quantity: values.ravel(), "tdi": m.tdi.ravel(), "tdts": m.tdts.ravel(),
        "no_driving_force": m.no_driving_force.ravel(),
    }


def _arrays_columns(results):
    """The columns of a kinex.ResultArrays' frame: those of a table's rows
    first where it has them, the X_TOF one column per state and step."""
    columns = {}
    cycles = results.cycles
    if cycles is not None:
        columns.update({"file": cycles.file, "name": cycles.rows, "T": cycles.T,
                        "DeltaG": cycles.DeltaG})
        columns.update(cycles.descriptors)
    for key, values in results.to_dict().items():
        if values.ndim == 2:
            first = 0 if key == "xtof_int" else 1
            columns.update({f"{key}_{first + i}": values[:, i] for i in range(values.shape[1])})
        elif key == "log_space":
            columns["evaluation"] = results.evaluation
        else:
            columns[key] = values
    columns["tdi"], columns["tdts"] = results.tdi, results.tdts
    return columns


def to_dataframe(results) -> "pandas.DataFrame":
    """A pandas DataFrame: one row per kinex.Result (the columns of kinex
    csv, then the descriptors of tables' rows), the rows of a kinex.Scan,
    one row per kinex.Uncertainty (of a list, or of an UncertaintyScreening,
    with the probability that each is the best), a row per point of a
    kinex.Volcano's curve (the columns of kinex volcano --csv), a row per
    grid point of a kinex.Map (the columns of kinex map --csv), or a row per
    cycle of a kinex.ResultArrays (a table's file, name, T, DeltaG and
    descriptors first where it came from one; then its arrays, the X_TOF as
    xtof_int_0.., xtof_ts_1.., xtof_reactant_1.., xtof_product_1..; the
    evaluation, tdi and tdts by name).
    Needs pandas, which kinex itself does not."""
    try:
        import pandas
    except ImportError as error:
        raise ImportError("kinex.to_dataframe needs pandas (Debian: python3-pandas)") from error
    if isinstance(results, Scan):
        return pandas.DataFrame(results.to_dict())
    if isinstance(results, ResultArrays):
        return pandas.DataFrame(_arrays_columns(results))
    if isinstance(results, Volcano):
        return pandas.DataFrame(_volcano_columns(results))
    if isinstance(results, Map):
        return pandas.DataFrame(_map_columns(results))
    if isinstance(results, UncertaintyScreening):
        frame = pandas.DataFrame([_uncertainty_row(u) for u in results.results])
        frame["probability_best"] = results.probability_best
        return frame
    if isinstance(results, Uncertainty):
        results = [results]
    if len(results) and isinstance(results[0], Uncertainty):
        return pandas.DataFrame([_uncertainty_row(u) for u in results])
    if isinstance(results, Result):
        results = [results]
    rows = [_row(r) for r in results]
    frame = pandas.DataFrame(rows)
    if not rows:
        frame = pandas.DataFrame(columns=list(_FRAME_COLUMNS))
    return frame


class UncertaintyScreening:
    """The uncertainty of several catalysts sampled together (see
    uncertainty_many): one kinex.Uncertainty per cycle in `results`, and how
    likely each beats the others.

    probability_better[i, j] -- the share of samples in which catalyst i has
                                the higher TOF than catalyst j (ties count half)
    probability_best[i]      -- the share of samples in which catalyst i has
                                the highest TOF of all
    """

    def __init__(self, results):
        import numpy
        self.results = list(results)
        self.names = [r.name for r in self.results]
        logs = numpy.array([r.log10_tof for r in self.results])
        if len(self.results) == 0:
            self.probability_better = numpy.zeros((0, 0))
            self.probability_best = numpy.zeros(0)
            return
        above = (logs[:, None, :] > logs[None, :, :]).mean(axis=2)
        ties = (logs[:, None, :] == logs[None, :, :]).mean(axis=2)
        self.probability_better = above + 0.5 * ties
        numpy.fill_diagonal(self.probability_better, 0.5)
        best = logs.argmax(axis=0)
        self.probability_best = numpy.bincount(best, minlength=len(self.results)) / logs.shape[1]

    def _index(self, which):
        return self.names.index(which) if isinstance(which, str) else int(which)

    def probability(self, a, b) -> float:
        """How likely catalyst a (index or name) has the higher TOF than b."""
        return float(self.probability_better[self._index(a), self._index(b)])

    def __repr__(self):
        return f"<kinex.UncertaintyScreening of {len(self.results)} cycles>"


def uncertainty_many(cycles: Sequence[Cycle], sigma, samples: int = 10000, seed: int = 0,
                     correlation: float = 0.0, shared: float = 0.0,
                     threads: int = 0) -> UncertaintyScreening:
    """The uncertainty of every cycle of a screening, sampled together, and
    how likely each catalyst beats another.

    sigma, samples, seed, correlation, threads: as Cycle.uncertainty (sigma
        by name, or one number, applies to every cycle).
    shared: 0..1, the share of each state's error common to all catalysts
        (their state k with each other's state k), as when every catalyst was
        computed with the same functional: errors that cancel between
        catalysts make their order surer. 0: independent catalysts.

    Catalyst k draws its own errors from stream k+1, so its distribution
    alone differs from Cycle.uncertainty's (stream 0) by the draw, not in
    law.
    """
    samples, seed, threads = _counts(samples, seed, threads)
    cycles = list(cycles)
    if float(shared) > 0.0 and len({c.n for c in cycles}) > 1:
        raise ValueError(
            "shared: the cycles differ in their number of steps ("
            + ", ".join(str(n) for n in sorted({c.n for c in cycles}))
            + "); shared errors pair state k of one cycle with state k of another, so they "
            "need cycles of the same states")
    results = [_kinex._uncertainty(c, sigma, samples, seed, float(correlation), float(shared),
                                   k + 1, threads)
               for k, c in enumerate(cycles)]
    return UncertaintyScreening(results)
