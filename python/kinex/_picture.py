"""kinex.Picture: an SVG picture, shown by a notebook, rendered as PDF or PNG
and saved whole."""

import os as _os

from typing import Sequence, Union

from . import _kinex
from ._checks import path_text as _path_text


# The formats a picture is saved in, by the file name's extension.
_FORMATS = {".svg": "svg", ".pdf": "pdf", ".png": "png"}
# A PNG's dots per inch unless another is asked for.
_DPI = 300.0


class Picture:
    """An SVG picture: ``str(picture)`` is the document, a notebook shows it,
    ``save(path)`` writes it as SVG, PDF or PNG; ``to_pdf()`` and
    ``to_png()`` give those bytes."""

    def __init__(self, svg: str, sources: Sequence[str] = ()):
        self.svg = svg
        self._sources = tuple(sources)  # the files drawn from, never overwritten

    def __str__(self) -> str:
        return self.svg

    def __repr__(self) -> str:
        return f"<kinex.Picture: {len(self.svg)} bytes of SVG>"

    def _repr_svg_(self) -> str:
        return self.svg

    def draw(self, ax) -> list:
        """Draws the picture on the matplotlib Axes ``ax`` (matplotlib from
        Debian: python3-matplotlib) and returns the artists, every line,
        patch and text of the same layout, to restyle. The Axes takes the
        picture's extent in px, y down, with an equal aspect and no frame;
        size the figure first (text and lines scale with the Axes)."""
        from ._matplotlib import draw
        return draw(self.svg, ax)

    def to_pdf(self) -> bytes:
        """The picture as a one-page PDF of its size (its px at 96 per inch),
        vector graphics with the fonts embedded."""
        return _kinex._render_picture(self.svg, "pdf", _DPI)

    def to_png(self, dpi: float = _DPI) -> bytes:
        """The picture as a PNG at ``dpi`` dots per inch (10 to 2400), on
        white: its px times dpi / 96, rounded up."""
        return _kinex._render_picture(self.svg, "png", dpi)

    def save(self, path: Union[str, "os.PathLike[str]"], dpi: float = _DPI) -> None:
        """Writes the picture to ``path``, whole or not at all (a temporary
        file in the same folder, then a rename), in the format its extension
        names: .svg, .pdf or .png (at ``dpi`` dots per inch)."""
        path = _path_text(path)
        chosen = _FORMATS.get(_os.path.splitext(path)[1].lower())
        if chosen is None:
            raise ValueError(f"{path}: name the picture .svg, .pdf or .png; the name's "
                             "extension chooses the format")
        for source in self._sources:
            try:
                same = _os.path.samefile(path, source)
            except OSError:
                same = False
            if same:
                raise ValueError(f"{path} is the input file {source}; it is not overwritten. "
                                 "Name another output file.")
        # As kinex plot -o writes it: whole or not at all, the permissions
        # and symbolic links of a file it replaces kept, an error naming
        # the file asked for.
        _kinex._replace_file(path, _kinex._render_picture(self.svg, chosen, dpi))
