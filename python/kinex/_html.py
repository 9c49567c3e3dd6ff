"""The notebook display of a kinex.Result (and of a Cycle, evaluated)."""

import html as _html


def _fmt(x, digits=4):
    return "—" if x != x else f"{x:.{digits}g}"


def result_html(result):
    """The result as an HTML table of its numbers and of every state."""
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
    rows = "".join(f"<tr><th style='text-align:left'>{k}</th><td>{v}</td></tr>" for k, v in head)
    names = result.cycle.names
    n = result.cycle.n
    x = [result.xtof_int[k // 2] if k % 2 == 0 else result.xtof_ts[k // 2] for k in range(2 * n)]
    g = [result.cycle.G_int[k // 2] if k % 2 == 0 else result.cycle.G_ts[k // 2]
         for k in range(2 * n)]
    states = "".join(f"<tr><td>{e(names[k])}</td><td>{_fmt(g[k])}</td><td>{_fmt(x[k], 3)}</td></tr>"
                     for k in range(2 * n))
    return (f"<div><b>{e(result.name)}</b><table>{rows}</table>"
            "<table><tr><th>state</th><th>G (kcal/mol)</th><th>X<sub>TOF</sub></th></tr>"
            f"{states}</table></div>")
