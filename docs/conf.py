"""The KINEX documentation: Sphinx over MyST Markdown pages, the HTML site
and the manual pages kinex.1 and KINEX.exe.1."""

import os
import sys

# The Python package as the build made it (BUILD/python), for the API page's
# autodoc; the docs tests set KINEX_PYTHONPATH.
if os.environ.get("KINEX_PYTHONPATH"):
    sys.path.insert(0, os.environ["KINEX_PYTHONPATH"])

project = "KINEX"
author = "The KINEX developers"
copyright = "The KINEX developers"
version = release = "1.0"

extensions = ["myst_parser", "sphinx.ext.autodoc"]
source_suffix = {".md": "markdown"}
myst_heading_anchors = 3
exclude_patterns = ["_build"]
root_doc = "index"

autodoc_member_order = "bysource"
autodoc_default_options = {"members": True, "undoc-members": True}

html_theme = "furo"
html_title = "KINEX 1.0"
html_static_path = ["_static"]

# The manual pages, from the reference pages (man/ holds them as built).
man_pages = [
    ("reference/kinex-exe", "KINEX.exe", "turnover frequency of a catalytic cycle", [author], 1),
    ("reference/kinex", "kinex", "results of KINEX for scripts, screening and scans", [author], 1),
]
man_show_urls = False
man_make_section_directory = False


def _as_written(app, what, name, obj, options, lines):
    """The module's docstrings are plain text, as help() shows them: kept so,
    in a literal block, rather than read as reStructuredText."""
    text = [line.rstrip() for line in lines]
    while text and not text[-1]:
        text.pop()
    if text:
        lines[:] = [".. code-block:: text", ""] + ["   " + line for line in text] + [""]


def _old_name(app, what, name, obj, skip, options):
    """The old names kept for old scripts (their docstrings start with
    "Deprecated") stay out of the reference."""
    return True if (getattr(obj, "__doc__", None) or "").startswith("Deprecated") else None


def setup(app):
    app.connect("autodoc-process-docstring", _as_written)
    app.connect("autodoc-skip-member", _old_name)
