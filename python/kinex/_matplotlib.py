"""A kinex picture drawn on a matplotlib Axes: the same layout as the SVG
(the library lays the figure out once), element by element, so that every
line, patch and text is a matplotlib artist to restyle.

The pictures use a small part of SVG: rect, line, path (M, L, H, V, Z),
polyline, polygon, circle and text with tspans raised or lowered for
exponents and subscripts, styled by attributes that groups pass on, and a
rotate() for vertical axis titles. Coordinates stay the picture's (px, y
down); the Axes gets the picture's extent, an equal aspect and no frame of
its own. Sizes of text and lines are scaled to the Axes' size at the time of
drawing, so draw after sizing the figure."""

import re
import xml.etree.ElementTree as _xml

_SVG = "{http://www.w3.org/2000/svg}"
_INHERITED = ("fill", "stroke", "stroke-width", "stroke-dasharray", "fill-opacity",
              "stroke-opacity", "opacity", "font-size", "font-weight", "font-style",
              "text-anchor", "font-family")
_ANCHOR = {"start": "left", "middle": "center", "end": "right"}


def _number(text, default=0.0):
    try:
        return float(text)
    except (TypeError, ValueError):
        return default


def _colour(value):
    return None if value in (None, "none") else value


def _path(d):
    """The vertices and codes of an SVG path of straight segments."""
    from matplotlib.path import Path
    vertices, codes = [], []
    x = y = start_x = start_y = 0.0
    tokens = re.findall(r"[MLHVZmlhvz]|-?[\d.]+(?:e[-+]?\d+)?", d)
    command, k = "M", 0
    while k < len(tokens):
        if tokens[k].isalpha():
            command = tokens[k]
            k += 1
            if command in "Zz":
                vertices.append((start_x, start_y))
                codes.append(Path.CLOSEPOLY)
                x, y = start_x, start_y
            continue
        relative = command.islower()
        c = command.upper()
        if c in "ML":
            dx, dy = float(tokens[k]), float(tokens[k + 1])
            k += 2
            x, y = (x + dx, y + dy) if relative else (dx, dy)
            if c == "M":
                start_x, start_y = x, y
                codes.append(Path.MOVETO)
                command = "l" if relative else "L"  # pairs after M are lines
            else:
                codes.append(Path.LINETO)
        elif c in "HV":
            value = float(tokens[k])
            k += 1
            if c == "H":
                x = x + value if relative else value
            else:
                y = y + value if relative else value
            codes.append(Path.LINETO)
        else:
            k += 1
            continue
        vertices.append((x, y))
    return Path(vertices, codes) if vertices else None


def _points(text):
    values = [float(v) for v in re.split(r"[\s,]+", text.strip()) if v]
    return list(zip(values[0::2], values[1::2]))


def _mathtext_escaped(text):
    return re.sub(r"([\\{}$_^%#&~])", r"\\\1", text).replace(" ", r"\ ")


def _lines_of(element):
    """The lines of a <text>: (x, y, text) each, a tspan with its own x or y
    starting a line; within a line, parts raised or lowered by dy become
    mathtext exponents and subscripts."""
    x, y = _number(element.get("x")), _number(element.get("y"))
    found = [[x, y, [(element.text or "", 0.0)]]]
    level = 0.0
    for span in element:
        if span.tag != _SVG + "tspan":
            continue
        if span.get("x") is not None or span.get("y") is not None:
            x, y = _number(span.get("x"), x), _number(span.get("y"), y)
            level = 0.0
            found.append([x, y, []])
        level += _number(span.get("dy"))
        found[-1][2].append((span.text or "", level))
        if span.tail:
            found[-1][2].append((span.tail, level))
    return [(x, y) + _joined(parts) for x, y, parts in found if any(t for t, _ in parts)]


def _joined(parts):
    """The text of a line's parts, and whether it is mathtext."""
    if all(level == 0.0 for text, level in parts if text):
        return "".join(text for text, _ in parts), False
    out = []
    for text, level in parts:
        if not text:
            continue
        if level == 0.0:
            out.append(text.replace("$", r"\$"))
        else:
            mark = "^" if level < 0 else "_"
            out.append(f"$\\mathregular{{{mark}{{{_mathtext_escaped(text)}}}}}$")
    return "".join(out), True


def draw(svg, ax):
    """Draws the picture `svg` on `ax` and returns the artists made, in the
    picture's order."""
    from matplotlib import lines, patches, text as mtext

    root = _xml.fromstring(svg.encode("utf-8") if isinstance(svg, str) else svg)
    width, height = _number(root.get("width"), 1.0), _number(root.get("height"), 1.0)
    ax.set_xlim(0.0, width)
    ax.set_ylim(height, 0.0)
    ax.set_aspect("equal")
    ax.set_axis_off()
    figure = ax.figure
    box = ax.get_position()
    # Points per px of the picture, as the Axes will show it.
    scale = min(figure.get_figwidth() * box.width * 72.0 / width,
                figure.get_figheight() * box.height * 72.0 / height)
    artists = []

    def style_of(element, inherited):
        style = dict(inherited)
        for key in _INHERITED:
            if element.get(key) is not None:
                style[key] = element.get(key)
        return style

    def stroke_kwargs(style):
        colour = _colour(style.get("stroke"))
        kwargs = {"linewidth": _number(style.get("stroke-width"), 1.0) * scale,
                  "color": colour or "none"}
        dashes = style.get("stroke-dasharray")
        if dashes and dashes != "none" and colour:
            on_off = [float(v) * scale for v in re.split(r"[\s,]+", dashes) if v]
            kwargs["linestyle"] = (0, tuple(v / max(kwargs["linewidth"], 1e-9) for v in on_off))
        alpha = _number(style.get("stroke-opacity"), 1.0) * _number(style.get("opacity"), 1.0)
        if alpha < 1.0:
            kwargs["alpha"] = alpha
        return kwargs

    def patch_kwargs(style):
        stroke = _colour(style.get("stroke"))
        kwargs = {"facecolor": _colour(style.get("fill", "#000")) or "none",
                  "edgecolor": stroke or "none",
                  "linewidth": _number(style.get("stroke-width"), 1.0) * scale if stroke else 0.0}
        alpha = _number(style.get("fill-opacity"), 1.0) * _number(style.get("opacity"), 1.0)
        if alpha < 1.0:
            kwargs["alpha"] = alpha
        return kwargs

    def add(artist):
        if isinstance(artist, lines.Line2D):
            ax.add_line(artist)
        elif isinstance(artist, mtext.Text):
            ax._add_text(artist)
        else:
            ax.add_patch(artist)
        artists.append(artist)

    def visit(element, inherited):
        tag = element.tag.replace(_SVG, "")
        style = style_of(element, inherited)
        if tag in ("title", "desc"):
            return
        if tag in ("svg", "g"):
            for child in element:
                visit(child, style)
            return
        get = element.get
        if tag == "rect":
            add(patches.Rectangle((_number(get("x")), _number(get("y"))), _number(get("width")),
                                  _number(get("height")), **patch_kwargs(style)))
        elif tag == "line":
            add(lines.Line2D([_number(get("x1")), _number(get("x2"))],
                             [_number(get("y1")), _number(get("y2"))], **stroke_kwargs(style)))
        elif tag == "circle":
            add(patches.Circle((_number(get("cx")), _number(get("cy"))), _number(get("r")),
                               **patch_kwargs(style)))
        elif tag == "polygon":
            add(patches.Polygon(_points(get("points", "")), closed=True, **patch_kwargs(style)))
        elif tag == "polyline":
            xy = _points(get("points", ""))
            add(lines.Line2D([p[0] for p in xy], [p[1] for p in xy], **stroke_kwargs(style)))
        elif tag == "path":
            path = _path(get("d", ""))
            if path is not None:
                if _colour(style.get("fill", "#000")) is None:
                    add(patches.PathPatch(path, facecolor="none", **{
                        k.replace("color", "edgecolor"): v for k, v in stroke_kwargs(style).items()}))
                else:
                    add(patches.PathPatch(path, **patch_kwargs(style)))
        elif tag == "text":
            rotation, dx, dy = 0.0, 0.0, 0.0
            turn = re.search(r"translate\(([-\d.e]+)[ ,]+([-\d.e]+)\)\s*rotate\(([-\d.e]+)\)",
                             get("transform", ""))
            if turn:
                dx, dy, rotation = float(turn.group(1)), float(turn.group(2)), -float(turn.group(3))
            for x, y, content, math in _lines_of(element):
                add(mtext.Text(x + dx, y + dy, content,
                               fontsize=_number(style.get("font-size"), 12.0) * scale,
                               fontweight=style.get("font-weight", "normal"),
                               fontstyle=style.get("font-style", "normal"),
                               color=_colour(style.get("fill", "#000")) or "none",
                               ha=_ANCHOR.get(style.get("text-anchor", "start"), "left"),
                               va="baseline", rotation=rotation, rotation_mode="anchor",
                               parse_math=math))

    visit(root, {})
    return artists
