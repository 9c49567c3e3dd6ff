"""Every example of the documentation's pages and of the README runs as
shown, with the programs and the Python package of the build (KINEX_BIN and
KINEX_TOOL_BIN name the folders of KINEX.exe and kinex; PYTHONPATH holds
BUILD/python).

In a page, fenced blocks are examples:
- `console`: commands after `$ `, each followed by what it prints (standard
  output, then standard error); a line `...` stands for any number of
  lines. Lines are compared without their trailing blanks, and blank lines
  at either end of an output are left out.
- `python`: a script that must run without an error.
- `{code-block}` or `{literalinclude}` with `:caption: NAME`: a file NAME
  that the commands after it in the page read.
The commands of a page run in order, in a folder of its own that holds a
copy of examples/."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parents[1]
PAGES = sorted([SOURCE / "README.md", *(SOURCE / "docs").rglob("*.md")])
FENCE = re.compile(r"^```(\S*)[ \t]*([^\n]*)\n(.*?)^```[ \t]*$", re.M | re.S)


def blocks(text):
    """The examples of a page, in order: (kind, caption, body)."""
    for lang, arg, body in FENCE.findall(text):
        caption = re.search(r"^:caption:\s*(\S+)\s*$", body, re.M)
        body = "\n".join(l for l in body.split("\n") if not re.match(r"^:\w[\w-]*:", l))
        if lang in ("console", "python"):
            yield lang, None, body
        elif lang == "{code-block}" and caption:
            yield "file", caption.group(1), body.lstrip("\n")


def commands(body):
    """The commands of a console block and what each prints."""
    runs = []
    for line in body.split("\n"):
        if line.startswith("$ "):
            runs.append((line[2:], []))
        elif runs:
            runs[-1][1].append(line)
    return runs


def trimmed(lines):
    lines = [l.rstrip() for l in lines]
    while lines and not lines[0]:
        lines.pop(0)
    while lines and not lines[-1]:
        lines.pop()
    return lines


def matches(shown, printed):
    """Whether the printed lines are the shown ones, `...` standing for any
    number of lines."""
    if not shown:
        return not printed
    if shown[0].strip() == "...":
        return any(matches(shown[1:], printed[k:]) for k in range(len(printed) + 1))
    return bool(printed) and shown[0] == printed[0] and matches(shown[1:], printed[1:])


def environment():
    env = dict(os.environ)
    folders = [os.environ.get("KINEX_BIN", ""), os.environ.get("KINEX_TOOL_BIN", "")]
    env["PATH"] = os.pathsep.join([f for f in folders if f] + [env.get("PATH", "")])
    env["LC_ALL"] = "C.UTF-8"
    return env


def test_pages_have_examples():
    assert sum(1 for p in PAGES for _ in blocks(p.read_text(encoding="utf-8"))) >= 20


@pytest.mark.parametrize("page", PAGES, ids=lambda p: str(p.relative_to(SOURCE)))
def test_examples_run_as_shown(page, tmp_path):
    shutil.copytree(SOURCE / "examples", tmp_path / "examples")
    env = environment()
    for kind, name, body in blocks(page.read_text(encoding="utf-8")):
        if kind == "file":
            (tmp_path / name).write_text(body, encoding="utf-8")
        elif kind == "python":
            done = subprocess.run([sys.executable, "-c", body], cwd=tmp_path, env=env,
                                  capture_output=True, text=True)
            assert done.returncode == 0, f"{page.name}: Python example failed:\n{body}\n{done.stderr}"
        else:
            for command, shown in commands(body):
                done = subprocess.run(["bash", "-c", command], cwd=tmp_path, env=env,
                                      capture_output=True, text=True)
                printed = trimmed((done.stdout + done.stderr).split("\n"))
                assert matches(trimmed(shown), printed), (
                    f"{page.name}: `{command}` prints\n" + "\n".join(printed)
                    + "\n\nbut the page shows\n" + "\n".join(trimmed(shown)))


def test_ci_runs_the_readmes_test_command():
    readme = (SOURCE / "README.md").read_text(encoding="utf-8")
    shown = [l.strip() for l in readme.split("\n") if "ctest --test-dir build" in l and l.startswith("    ")]
    ci = (SOURCE / ".ci" / "run").read_text(encoding="utf-8").split("\n")
    assert len(shown) == 1 and shown[0] in ci


def test_the_readmes_picture_is_what_kinex_plot_draws(tmp_path):
    shutil.copytree(SOURCE / "examples", tmp_path / "examples")
    subprocess.run(["bash", "-c", "kinex plot examples/three_step.txt -o three_step.svg"],
                   cwd=tmp_path, env=environment(), check=True)
    shown = SOURCE / "docs" / "_static" / "three_step.svg"
    assert "(docs/_static/three_step.svg)" in (SOURCE / "README.md").read_text(encoding="utf-8")
    assert (tmp_path / "three_step.svg").read_bytes() == shown.read_bytes(), (
        "docs/_static/three_step.svg is out of date: kinex plot examples/three_step.txt -o "
        "docs/_static/three_step.svg")
