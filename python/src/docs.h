// The docstrings of the extension module, which help() and editors show.
#pragma once

namespace kinex::python::docs {

inline constexpr const char* kModule =
    "The extension module of the kinex package; use it through `import kinex`.";

inline constexpr const char* kFinding =
    "A warning about a cycle: how its input file reads (leftover-values,\n"
    "values-after-DeltaG, celsius-temperature) or what its evaluation shows\n"
    "(temperature-not-positive, temperature-looks-celsius, energies-look-kJ,\n"
    "concentration-not-positive,\n"
    "concentration-not-finite, negative-barrier, TOF-above-limit,\n"
    "no-driving-force, result-not-finite), as kinex check lists them.";

inline constexpr const char* kCycle =
    "A catalytic cycle: the temperature, the Gibbs energies of its\n"
    "intermediates and transition states, the reaction Gibbs energy and the\n"
    "concentrations of reactants and products. Built in memory with\n"
    "kinex.Cycle(...), or read with kinex.read() and kinex.read_table().\n"
    "Immutable; pickles (multiprocessing, Dask).";

inline constexpr const char* kCycleInit =
    "Cycle(T, G_int, G_ts, DeltaG, reactant=None, product=None, names=None, name='cycle')\n"
    "\n"
    "T: the temperature in K, finite and above 0.\n"
    "G_int: the Gibbs energies (kcal/mol) of the intermediates, one per step:\n"
    "    G_int[i] is the intermediate that starts step i+1 (I0 first).\n"
    "G_ts: the Gibbs energies (kcal/mol) of the transition states, one per\n"
    "    step: G_ts[i] is that of step i+1 (TS1 first).\n"
    "DeltaG: the reaction Gibbs energy of one turn (kcal/mol).\n"
    "reactant, product: the concentrations of the reactant entering and the\n"
    "    product leaving each step: a sequence with one value per step (None\n"
    "    or NaN where the step has none), or a dict {step: concentration}\n"
    "    with steps 1..n. Every concentration given is finite and above 0.\n"
    "names: the names of the states in cycle order, I0, TS1, I1, ..., TSn\n"
    "    (2n names), or 2n+1 with the final state last; None: I0.., TS1..\n"
    "name: the name the report, the picture and to_dict() show.\n"
    "\n"
    "Raises ValueError, naming the argument and the step, for a value out of\n"
    "range or sequences of different lengths, and TypeError for an item that\n"
    "is not a number.";

inline constexpr const char* kEvaluate =
    "evaluate(threads=0) -> Result\n"
    "\n"
    "The TOF, TDI, TDTS, spans and every degree of TOF control of the cycle,\n"
    "from the same code as KINEX.exe. `threads`: at most this many threads\n"
    "for one large cycle (0: as many as pay off); the numbers do not depend\n"
    "on it. Releases the GIL while it computes.";

inline constexpr const char* kReport =
    "report(options='') -> str\n"
    "\n"
    "The report of KINEX.exe for the cycle, byte for byte, headed with the\n"
    "cycle's name as the input file's name. `options` holds the option\n"
    "strings of KINEX.exe, separated by blanks; their letters leave out\n"
    "parts: i the repeat of the input, d the degrees of TOF control, a the\n"
    "analysis of the cycle, t the TOF, h the boxed headings, l the banner.";

inline constexpr const char* kResult =
    "What the model finds for a cycle: the TOF, TDI and TDTS, the spans and\n"
    "every degree of TOF control, with the advice and the warnings. Made by\n"
    "Cycle.evaluate() and kinex.evaluate_many(). Immutable; pickles.";

inline constexpr const char* kToDict =
    "to_dict() -> dict\n"
    "\n"
    "The document `kinex json` writes for the cycle, with the same keys and\n"
    "the same numbers, bit for bit: a non-finite number is None and listed\n"
    "under its JSON pointer in 'non_finite'.";

inline constexpr const char* kEvaluateMany =
    "evaluate_many(cycles, threads=0) -> list[Result]\n"
    "\n"
    "Evaluates every cycle, in their order, on `threads` threads (0: one per\n"
    "core), one cycle per thread at a time. The GIL is released while they\n"
    "are computed, so other Python threads run meanwhile. The results are\n"
    "those of Cycle.evaluate(), bit for bit, whatever the number of threads.";

inline constexpr const char* kEvaluateArrays =
    "evaluate_arrays(T, G_int, G_ts, DeltaG, reactant=None, product=None, threads=0, "
    "names=None) -> ResultArrays\n"
    "\n"
    "Evaluates N cycles of n steps each held as arrays: G_int and G_ts of\n"
    "shape (N, n) (row k the cycle k: I0..I(n-1), TS1..TSn, kcal/mol), T (K)\n"
    "and DeltaG (kcal/mol) one number for all or of shape (N,), reactant and\n"
    "product None or of shape (N, n) (mol/L, NaN where a step has none).\n"
    "names: the states in cycle order as Cycle takes them (None: I0.., TS1..).\n"
    "\n"
    "Cycle k gives the same bits as Cycle(T[k], G_int[k], G_ts[k], DeltaG[k],\n"
    "...).evaluate(), without a Python object per cycle; the cycles share\n"
    "`threads` threads (0: one per core) with the GIL released. Raises\n"
    "TypeError for arrays that are not of real numbers, ValueError naming the\n"
    "argument and its row for a wrong shape, a temperature not above 0, an\n"
    "energy that is not finite (NaN included) or a concentration (not NaN)\n"
    "that is not finite and above 0.";

inline constexpr const char* kResultArrays =
    "Many cycles evaluated by kinex.evaluate_arrays (or CycleArrays.evaluate):\n"
    "one read-only numpy array per quantity, element k (row k) for cycle k,\n"
    "by the names a Result gives the same quantity; the warnings as arrays of\n"
    "flags. kinex.to_dataframe() makes a DataFrame of them.";

inline constexpr const char* kResultArraysToDict =
    "to_dict() -> dict\n"
    "\n"
    "The arrays by their names, in the order of the attributes' listing.";

inline constexpr const char* kUncertainty =
    "The TOF, TDI, TDTS and every X_TOF as distributions over the errors of\n"
    "the energies: made by Cycle.uncertainty(), kinex.uncertainty_many() and\n"
    "kinex.ensemble(). log10_tof holds every sample; log10_tof_median,\n"
    "log10_tof_interval_68, _interval_95, _mean, _sd and _first_order_sd\n"
    "summarise it (log10 of 1/s);\n"
    "tdi_probability and tdts_probability say how likely each state is the\n"
    "TDI and the TDTS; to_dict() is the document of kinex uncertainty --json.";

inline constexpr const char* kEnsemble =
    "ensemble(cycles) -> Uncertainty\n"
    "\n"
    "The distribution over an ensemble: the same cycle with the energies of\n"
    "several methods (density functionals), the members, each evaluated\n"
    "exactly as Cycle.evaluate() does. The members share the number of steps,\n"
    "the temperature and the concentrations (else ValueError); the first\n"
    "names the states.";

inline constexpr const char* kVolcano =
    "A volcano: every state of a table of catalysts fitted as a line of one\n"
    "descriptor, and the cycle of the fitted energies evaluated along it.\n"
    "Made by kinex.volcano(). The curve, one value per point: x, log10_tof,\n"
    "energetic_span, effective_span, most_endergonic_step (numpy arrays),\n"
    "tdi and tdts (names); band its 95 % band; fits the lines; regions the\n"
    "runs of equal TDI and TDTS; top the highest point; points the catalysts\n"
    "themselves. to_dict(), csv() and text() are what kinex volcano writes\n"
    "with --json, --csv and without; plot() draws it; len() is the number\n"
    "of points. Immutable; pickles.";

inline constexpr const char* kVolcanoFit =
    "The line G = intercept + slope * x of one state over the rows of a\n"
    "volcano's table, by least squares, with how well it fits.";

inline constexpr const char* kVolcanoRegion =
    "A run of curve points with the same TDI and TDTS: from_ and to are the\n"
    "descriptor at its first and last point, first and last their indices.";

inline constexpr const char* kVolcanoPoint =
    "A catalyst of a volcano's table at its own descriptor value, with its\n"
    "own cycle's log10 TOF, spans, most endergonic step, TDI and TDTS (from\n"
    "its energies, not the lines), and whether it lies off the lines.";

inline constexpr const char* kVolcanoBand =
    "The 95 % band of a volcano's curves, from joint draws of the fitted\n"
    "lines: each curve's (low, high), the 2.5 % and 97.5 % quantiles at\n"
    "every point, as numpy arrays.";

inline constexpr const char* kProfilePlot =
    "plot(title=None, width=None, height=None, font_size=None, y_range=None,\n"
    "     sigma=None, samples=10000, seed=0, correlation=0.0, xlabel=None,\n"
    "     ylabel=None, ax=None, size=None) -> Picture\n"
    "\n"
    "The energy profile as a kinex.Picture (see kinex.plot: size 'column',\n"
    "'page' or '85x60mm' lays it out for paper), with error bars\n"
    "and TDI/TDTS probabilities when `sigma` is given; xlabel and ylabel\n"
    "title the axes (None: 'Reaction coordinate' and 'Gibbs energy (kcal/mol)').\n"
    "ax: a matplotlib Axes to draw the same figure on instead; the artists\n"
    "drawn are returned (see Picture.draw).";

inline constexpr const char* kHtml =
    "The HTML a notebook shows: the numbers, every state with its energy and\n"
    "X_TOF, the concentrations' X_TOF, the advice and what kinex check finds.";
inline constexpr const char* kUncertaintyHtml =
    "The HTML a notebook shows: a histogram of log10 TOF with its 95 %\n"
    "interval, the statistics and how likely each state is the TDI and TDTS.";
inline constexpr const char* kVolcanoHtml =
    "The HTML a notebook shows: the picture, the top and the regions.";

inline constexpr const char* kCycleUncertainty =
    "uncertainty(sigma=None, samples=10000, seed=0, correlation=0.0, threads=0)\n"
    "    -> Uncertainty\n"
    "\n"
    "The uncertainty of the energies carried into the TOF, TDI, TDTS and\n"
    "every X_TOF: a Monte Carlo of `samples` samples of the energies, each\n"
    "evaluated over the logarithms (never NaN, Inf or 0).\n"
    "\n"
    "sigma: the sd of the Gibbs energies (kcal/mol): one number for every\n"
    "    state; a sequence of 2n+1 in the order I0, TS1, I1, ..., TSn and the\n"
    "    final state (I0 of the next turn, whose error and I0's move DeltaG);\n"
    "    or a dict {state name: sigma} naming every state (\"final\" for the\n"
    "    final state); None: those of the table row's sigma columns.\n"
    "correlation: RHO in 0..1, the share of each state's variance common to\n"
    "    all states (1 with equal sigmas: one shift of the whole profile).\n"
    "seed: the same seed gives the same numbers, bit for bit, on any number\n"
    "    of threads (0: one per core); the GIL is released meanwhile.\n"
    "\n"
    "The numbers are those of `kinex uncertainty` with the same arguments.";

inline constexpr const char* kVolcanoPlot =
    "plot(curve='tof', title=None, xlabel=None, ylabel=None, ax=None, size=None,\n"
    "     font_size=0.0) -> Picture\n"
    "\n"
    "The volcano as a kinex.Picture: curve 'tof' (log10 TOF), 'span' (the\n"
    "energetic span) or 'step' (the most endergonic step) with its band, the\n"
    "regions of equal TDI and TDTS, and the catalysts as points. title: the\n"
    "title line (None: 'Volcano: ' and the table's file name; '' for none);\n"
    "xlabel, ylabel: the axes' titles (None: the descriptor in kcal/mol and\n"
    "the curve with its unit). ax: a matplotlib Axes to draw the same figure\n"
    "on instead; the artists drawn are returned (see Picture.draw). size: on\n"
    "paper, 'column' (3.3 in, 8 pt text), 'page' (7 in, 9 pt) or a width and\n"
    "perhaps a height in in or mm ('85x60mm'); font_size: the text in pt\n"
    "(0: 7.5, or the size's).";

}  // namespace kinex::python::docs
