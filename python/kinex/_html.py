"""What a notebook shows of a kinex.Result (and of a Cycle, evaluated), a
kinex.Uncertainty and a kinex.Volcano: plain HTML tables, numbers to four
significant digits (the objects hold every bit)."""

import html as _html


def _fmt(x, digits=4):
    """`x` to `digits` significant digits, a true minus sign, — for NaN."""
    if x != x:
        return "—"
    return f"{x:.{digits}g}".replace("-", "\u2212")


def _table(rows, head=None):
    """An HTML table of already escaped cells."""
    top = "" if head is None else "<tr>" + "".join(f"<th>{h}</th>" for h in head) + "</tr>"
    body = "".join("<tr>" + "".join(
        f"<th style='text-align:left'>{c}</th>" if k == 0 and head is None else f"<td>{c}</td>"
        for k, c in enumerate(row)) + "</tr>" for row in rows)
    return f"<table>{top}{body}</table>"


def result_html(result):
    """The result: its numbers, every state with its energy and X_TOF, the
    X_TOF of the concentrations, the advice and what kinex check finds."""
    e = _html.escape
    head = [
        ("TOF", f"{_fmt(result.tof_per_s)} s⁻¹"),
        ("log₁₀ TOF", _fmt(result.log10_tof, 6)),
        ("TDI", e(result.tdi)), ("TDTS", e(result.tdts)),
        ("energetic span", f"{_fmt(result.energetic_span)} kcal/mol"),
        ("effective span", f"{_fmt(result.effective_span)} kcal/mol"),
        ("evaluation", e(result.evaluation)),
    ]
    if result.warning_text:
        head.append(("warning", e(result.warning_text)))
    names = result.cycle.names
    n = result.cycle.n
    x = [result.xtof_int[k // 2] if k % 2 == 0 else result.xtof_ts[k // 2] for k in range(2 * n)]
    g = [result.cycle.G_int[k // 2] if k % 2 == 0 else result.cycle.G_ts[k // 2]
         for k in range(2 * n)]
    states = _table([[e(names[k]), _fmt(g[k]), _fmt(x[k], 3)] for k in range(2 * n)],
                    ["state", "G (kcal/mol)", "X<sub>TOF</sub>"])
    concentrations = [[f"{kind} of step {step + 1}", _fmt(value, 3)]
                      for kind, values in (("reactant", result.xtof_reactant),
                                           ("product", result.xtof_product))
                      for step, value in enumerate(values) if value == value]
    parts = [f"<div><b>{e(result.name)}</b>", _table(head), states]
    if concentrations:
        parts.append(_table(concentrations, ["concentration", "X<sub>TOF</sub>"]))
    if result.advice:
        parts.append(f"<p>{e(result.advice)}</p>")
    if result.warnings:
        found = "".join(f"<li>{e(str(w))}</li>" for w in result.warnings)
        parts.append(f"<p>kinex check finds:</p><ul>{found}</ul>")
    return "".join(parts) + "</div>"


def _histogram_svg(values, low, high, width=320, height=90, bins=40):
    """A small SVG histogram of the finite `values`, the interval [low,
    high] shaded: no plotting library needed."""
    import numpy
    finite = numpy.asarray(values, dtype=float)
    finite = finite[numpy.isfinite(finite)]
    if finite.size == 0:
        return ""
    lo, hi = float(finite.min()), float(finite.max())
    if hi <= lo:
        lo, hi = lo - 0.5, hi + 0.5
    counts, edges = numpy.histogram(finite, bins=bins, range=(lo, hi))
    top = counts.max()
    plot = height - 18

    def at(v):
        return (v - lo) / (hi - lo) * width

    shade = ""
    if low == low and high == high:
        shade = (f"<rect x='{at(max(low, lo)):.1f}' y='0' width='{at(min(high, hi)) - at(max(low, lo)):.1f}' "
                 f"height='{plot}' fill='#dde6f0'/>")
    bars = "".join(
        f"<rect x='{at(edges[k]):.1f}' y='{plot - plot * c / top:.1f}' "
        f"width='{max(at(edges[k + 1]) - at(edges[k]) - 0.5, 0.5):.1f}' "
        f"height='{plot * c / top:.1f}' fill='#4a6f96'/>"
        for k, c in enumerate(counts) if c)
    labels = (f"<text x='0' y='{height - 4}' font-size='10'>{_fmt(lo, 3)}</text>"
              f"<text x='{width}' y='{height - 4}' font-size='10' text-anchor='end'>{_fmt(hi, 3)}</text>"
              f"<text x='{width / 2}' y='{height - 4}' font-size='10' text-anchor='middle'>"
              "log₁₀ TOF (1/s)</text>")
    return (f"<svg xmlns='http://www.w3.org/2000/svg' width='{width}' height='{height}' "
            f"font-family='sans-serif'>{shade}{bars}{labels}</svg>")


def uncertainty_html(u):
    """The spread of log10 TOF (a histogram, the 95 % interval shaded), its
    statistics and how likely each state is the TDI and the TDTS."""
    e = _html.escape
    low68, high68 = u.log10_tof_interval_68
    low95, high95 = u.log10_tof_interval_95
    rows = [
        ("method", f"{e(u.method)}, {u.samples} samples"),
        ("log₁₀ TOF median", _fmt(u.log10_tof_median)),
        ("68 % interval", f"{_fmt(low68)} … {_fmt(high68)}"),
        ("95 % interval", f"{_fmt(low95)} … {_fmt(high95)}"),
        ("mean ± sd", f"{_fmt(u.log10_tof_mean)} ± {_fmt(u.log10_tof_sd, 3)}"),
        ("first-order sd", _fmt(u.log10_tof_first_order_sd, 3)),
        ("at the energies given", _fmt(u.central_log10_tof)),
    ]
    if u.backward_share > 0:
        rows.append(("backward share", _fmt(u.backward_share, 3)))

    def likely(p):
        return ", ".join(f"{e(name)} {share:.0%}" for name, share in
                         sorted(p.items(), key=lambda item: -item[1]) if share > 0)
    rows += [("P(TDI)", likely(u.tdi_probability)), ("P(TDTS)", likely(u.tdts_probability))]
    return (f"<div><b>{e(u.name)}</b>"
            f"{_histogram_svg(u.log10_tof, low95, high95)}{_table(rows)}</div>")


def volcano_html(v):
    """The volcano's picture, its top and its regions."""
    e = _html.escape
    x, top = v.top
    rows = [
        ("descriptor", f"{e(v.descriptor)} ({e(v.chosen_by)})"),
        ("catalysts", str(len(v.points))),
        ("top", f"log₁₀ TOF {_fmt(top)} at {_fmt(x)}"
                + ("" if v.top_inside else " (at an end of the range)")),
    ]
    regions = _table([[f"{_fmt(r.from_)} … {_fmt(r.to)}", e(r.tdi), e(r.tdts)] for r in v.regions],
                     ["descriptor", "TDI", "TDTS"])
    warnings = "".join(f"<li>{e(w)}</li>" for w in v.warnings)
    svg = v.plot().svg
    svg = svg[svg.find("<svg"):]  # the XML declaration has no place inside HTML
    return (f"<div>{svg}{_table(rows)}{regions}"
            + (f"<ul>{warnings}</ul>" if warnings else "") + "</div>")

