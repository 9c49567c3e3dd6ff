"""The pictures drawn on a matplotlib Axes: the same layout as the SVG,
every text and mark an artist at the SVG's own place."""

import re
import xml.etree.ElementTree as ET

import matplotlib
import pytest

import kinex
from conftest import EXAMPLES

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402 (after the backend is chosen)

SVG = "{http://www.w3.org/2000/svg}"


def three():
    return kinex.read(str(EXAMPLES / "three_step.txt"))


FIGURES = {  # how each kind is drawn: as a Picture, and on an Axes
    "profile": lambda ax=None: three().plot(title="A & B $5 $6", ax=ax),
    "sigma": lambda ax=None: three().plot(sigma=1.0, samples=500, ax=ax),
    "overlay": lambda ax=None: kinex.plot(three(), kinex.read(str(EXAMPLES / "five_step.txt")),
                                          labels=["three", "five"], ax=ax),
    "volcano": lambda ax=None: kinex.volcano(str(EXAMPLES / "volcano.csv"),
                                             samples=50).plot(ax=ax),
}


def svg_lines(svg):
    """(x, y, words) of every line of text of the SVG, a tspan with its own
    x or y starting a line."""
    found = []
    for text in ET.fromstring(svg).iter(SVG + "text"):
        x, y = float(text.get("x", 0)), float(text.get("y", 0))
        turn = re.search(r"translate\(([-\d.e]+)[ ,]+([-\d.e]+)\)", text.get("transform", ""))
        if turn:
            x, y = x + float(turn.group(1)), y + float(turn.group(2))
        lines = [[x, y, text.text or ""]]
        for span in text.iter(SVG + "tspan"):
            if span.get("x") is not None or span.get("y") is not None:
                lines.append([float(span.get("x", x)), float(span.get("y", y)), ""])
            lines[-1][2] += (span.text or "") + (span.tail or "")
        found += [(a, b, w) for a, b, w in lines if w]
    return found


@pytest.mark.parametrize("kind", sorted(FIGURES))
def test_each_text_of_the_svg_is_an_artist_at_its_place(kind):
    svg = FIGURES[kind]().svg
    width, height = (float(ET.fromstring(svg).get(k)) for k in ("width", "height"))
    figure = plt.figure(figsize=(width / 96, height / 96), dpi=96)
    ax = figure.add_axes([0, 0, 1, 1])
    artists = FIGURES[kind](ax)
    texts = [a for a in artists if isinstance(a, matplotlib.text.Text)]
    expected = svg_lines(svg)
    assert len(texts) == len(expected)
    for text, (x, y, words) in zip(texts, expected):
        assert text.get_position() == pytest.approx((x, y))
        shown = re.sub(r"\$\\mathregular\{[_^]\{(.*?)\}\}\$", r"\1", text.get_text())
        assert shown.replace("\\", "") == words, (shown, words)
    assert ax.get_xlim() == (0.0, width) and ax.get_ylim() == (height, 0.0)
    # At the SVG's own size one px is 0.75 pt: the picture's text sizes.
    sizes = {round(t.get_fontsize() / 0.75, 2) for t in texts}
    assert sizes <= {float(s) for s in re.findall(r'font-size="([\d.]+)"', svg)}
    figure.canvas.draw()  # every text and path renders (mathtext included)
    plt.close(figure)

