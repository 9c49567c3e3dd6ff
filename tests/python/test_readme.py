"""The README's Python example is the shipped one, and prints what the README
says it prints."""

import os
import subprocess
import sys
from pathlib import Path

from conftest import EXAMPLES

SOURCE = Path(os.environ.get("KINEX_SOURCE", EXAMPLES.parent))


def indented_block(text, after):
    """The first block indented by four blanks after the line `after`."""
    lines = text[text.index(after):].split("\n")[1:]
    while not lines[0].startswith("    "):
        lines.pop(0)
    block = []
    for line in lines:
        if line and not line.startswith("    "):
            break
        block.append(line[4:])
    return "\n".join(block).strip("\n")


def test_the_readme_example_runs_as_shown(tmp_path):
    readme = (SOURCE / "README.md").read_text(encoding="utf-8")
    shown = indented_block(readme, "`examples/python_example.py`, run from the project folder")
    script = (EXAMPLES / "python_example.py").read_text(encoding="utf-8")
    assert shown == script.split("\n\n", 1)[1].strip("\n")

    (tmp_path / "examples").symlink_to(EXAMPLES)
    out = subprocess.run([sys.executable, str(EXAMPLES / "python_example.py")], cwd=tmp_path,
                         capture_output=True, text=True, check=True).stdout
    assert out.strip("\n") == indented_block(readme, "It prints:\n\n    TOF = 7.4806e-07 1/s")
    assert (tmp_path / "three_step.svg").read_text(encoding="utf-8").startswith("<?xml")
