"""The manual pages kept in man/ are those the reference pages make: builds
them anew into OUT (sphinx-build -b man) and compares, leaving out the line
that carries the date of the build. Usage: check_man.py OUT"""

import difflib
import os
import subprocess
import sys
from pathlib import Path

DOCS = Path(__file__).resolve().parent
MAN = DOCS.parent / "man"
PAGES = ["KINEX.exe.1", "kinex.1"]


def without_date(text):
    """The page without its .TH line, whose fourth field is the build's date."""
    return [line for line in text.splitlines(keepends=True) if not line.startswith(".TH ")]


def main(out):
    subprocess.run([sys.executable, "-m", "sphinx", "-E", "-W", "--keep-going", "-q", "-b", "man",
                    "-d", str(Path(out) / ".doctrees"), str(DOCS), out], check=True)
    stale = []
    for page in PAGES:
        kept, built = MAN / page, Path(out) / page
        diff = list(difflib.unified_diff(without_date(kept.read_text(encoding="utf-8")),
                                         without_date(built.read_text(encoding="utf-8")),
                                         f"man/{page}", str(built)))
        if diff:
            sys.stdout.writelines(diff[:60])
            stale.append(page)
    if stale:
        path = os.environ.get("KINEX_PYTHONPATH", "BUILD/python")
        print(f"\nman/ is out of date ({', '.join(stale)}); make the pages anew with:\n"
              f"  cd {DOCS.parent} && KINEX_PYTHONPATH={path} {sys.executable} -m sphinx "
              f"-b man docs {out} && cp " + " ".join(f"{out}/{p}" for p in PAGES) + " man/")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
