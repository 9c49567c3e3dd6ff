#!/usr/bin/python3
"""Writes src/figures/plot_font_widths.cc: the advance widths of DejaVu Sans
and DejaVu Sans Bold (Debian's fonts-dejavu-core), the font the pictures
name first, for the code points the pictures are likely to show: Latin
(with Latin-1 and Latin Extended-A), Greek, punctuation, super- and
subscripts, letterlike symbols, arrows, mathematical operators and the
replacement character. The layout measures text with them (plot_text.cc);
nothing reads the font at run time. Run again only when the font changes:

    /usr/bin/python3 tools/font_widths.py > src/figures/plot_font_widths.cc

It needs fontTools (Debian: python3-fonttools)."""

import sys

from fontTools.ttLib import TTFont

FOLDER = "/usr/share/fonts/truetype/dejavu/"
BLOCKS = [(0x20, 0x180), (0x370, 0x400), (0x2000, 0x2300), (0xFFFD, 0xFFFE)]


def main():
    regular, bold = (TTFont(FOLDER + name) for name in ("DejaVuSans.ttf", "DejaVuSans-Bold.ttf"))
    units = regular["head"].unitsPerEm
    assert units == bold["head"].unitsPerEm
    version = regular["name"].getDebugName(5).replace("Version", "version")

    def advance(font, cp):
        glyph = font.getBestCmap().get(cp)
        return None if glyph is None else font["hmtx"][glyph][0]

    runs = []  # [first, last, regular, bold]: code points of the same widths
    for start, end in BLOCKS:
        for cp in range(start, end):
            pair = (advance(regular, cp), advance(bold, cp))
            if None in pair:
                continue
            if runs and runs[-1][1] == cp - 1 and tuple(runs[-1][2:]) == pair:
                runs[-1][1] = cp
            else:
                runs.append([cp, cp, *pair])
    out = sys.stdout
    out.write(f"// Written by tools/font_widths.py from DejaVu Sans {version} (Debian's\n"
              "// fonts-dejavu-core); do not edit. The advance widths of the regular and\n"
              f"// the bold face in font units ({units} an em), by runs of code points.\n"
              "#include \"figures/plot_font.h\"\n\n"
              "namespace kinex::plot {\n\n"
              f"static_assert(kFontUnitsPerEm == {units});\n\n"
              "namespace {\n\n"
              "// clang-format off\n"
              "constexpr FontRun kRuns[] = {\n")
    line = "   "
    for first, last, r, b in runs:
        item = f" {{0x{first:X}, 0x{last:X}, {r}, {b}}},"
        if len(line) + len(item) > 100:
            out.write(line + "\n")
            line = "   "
        line += item
    out.write(line + "\n};\n// clang-format on\n\n}  // namespace\n\n"
              "const std::span<const FontRun> kFontRuns(kRuns);\n\n"
              "// clang-format off\n"
              "const std::array<FontAdvance, 95> kAsciiAdvances = {{\n")
    line = "   "
    for cp in range(0x20, 0x7F):
        item = f" {{{advance(regular, cp)}, {advance(bold, cp)}}},"
        if len(line) + len(item) > 100:
            out.write(line + "\n")
            line = "   "
        line += item
    out.write(line + "\n}};\n// clang-format on\n\n}  // namespace kinex::plot\n")


if __name__ == "__main__":
    main()
