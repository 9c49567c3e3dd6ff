"""kinex.Picture: an SVG picture, shown by a notebook and saved whole."""

import os as _os

from typing import Sequence, Union

from . import _kinex
from ._checks import path_text as _path_text


class Picture:
    """An SVG picture: ``str(picture)`` is the document, a notebook shows it,
    ``save(path)`` writes it."""

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

    def save(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Writes the picture to ``path``, whole or not at all (a temporary
        file in the same folder, then a rename)."""
        path = _path_text(path)
        if not path.lower().endswith(".svg"):
            raise ValueError(f"{path}: only SVG is written; name the file .svg")
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
        _kinex._replace_file(path, self.svg)
