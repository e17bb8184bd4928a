#!/usr/bin/python3
"""Remake resources/font.ttf, the embedded fallback font.

The font is a subset of the Simplified Chinese face of Noto Sans CJK (Debian's fonts-noto-cjk)
that holds printable ASCII and every other character that a string literal in src/*.cpp uses:
all catalogue texts in src/translations.cpp, plus the few fixed texts elsewhere ("简体中文",
"×", "·"...). Run it again whenever the catalogue changes:

    tools/make_font.py            # writes resources/font.ttf
    tools/make_font.py --check    # fails when the committed font misses a character

Needs python3-fonttools (apt-get install python3-fonttools fonts-noto-cjk).
"""

import argparse
import io
import pathlib
import re
import sys

from fontTools import subset
from fontTools.ttLib import TTCollection, TTFont

ROOT = pathlib.Path(__file__).resolve().parent.parent
COLLECTION = pathlib.Path("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc")
FACE = "Noto Sans CJK SC"
# A family name of its own, so that the subset never stands in for a complete system
# "Noto Sans CJK SC" when Qt matches families by name.
FAMILY = "Quilt Noto Sans SC"

# Characters of the window's untranslated texts (the brand's typographic apostrophe, the
# language names "简体中文", "Español" and "Français", the scale factors "2×", the "·"
# separators and "°"), kept even where no source spells them out as a literal.
FIXED = "’çñ×·°简体中文"

# A C++ string literal (no raw strings in these sources); comments are removed first.
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
COMMENT = re.compile(r'//[^\n]*|/\*.*?\*/|("(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\')', re.S)
ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def literals(source):
    """Every string literal of a C++ source, decoded."""
    code = COMMENT.sub(lambda m: m.group(1) or " ", source)
    for match in LITERAL.finditer(code):
        yield re.sub(r"\\(.)", lambda e: ESCAPES.get(e.group(1), e.group(1)), match.group(1))


def wanted_characters():
    """Printable ASCII plus every non-ASCII character of the sources' string literals."""
    characters = {chr(c) for c in range(0x20, 0x7F)} | set(FIXED)
    sources = sorted((ROOT / "src").glob("*.cpp"))
    if not (ROOT / "src" / "translations.cpp").exists():
        sys.exit("src/translations.cpp not found")
    for path in sources:
        for text in literals(path.read_text(encoding="utf-8")):
            characters.update(c for c in text if ord(c) > 0x7E)
    return characters


def source_face():
    collection = TTCollection(str(COLLECTION))
    for font in collection.fonts:
        if font["name"].getDebugName(1) == FACE:
            return font
    sys.exit(f"{FACE} is not in {COLLECTION}")


def rename(font):
    """Give the subset its own family name in the name table and the CFF table."""
    postscript = FAMILY.replace(" ", "") + "-Regular"
    names = {1: FAMILY, 3: f"{postscript};subset", 4: f"{FAMILY} Regular", 6: postscript,
             16: FAMILY, 17: "Regular"}
    table = font["name"]
    for record in list(table.names):
        if record.nameID in names:
            table.setName(names[record.nameID], record.nameID, record.platformID,
                          record.platEncID, record.langID)
    if "CFF " in font:
        cff = font["CFF "].cff
        cff.fontNames = [postscript]
        top = cff.topDictIndex[0]
        top.FamilyName = FAMILY
        top.FullName = f"{FAMILY} Regular"


def build(characters):
    face = source_face()
    buffer = io.BytesIO()
    face.save(buffer)
    buffer.seek(0)
    font = TTFont(buffer)

    options = subset.Options()
    options.name_IDs = ["*"]  # keeps the copyright and licence records
    options.name_languages = ["*"]
    options.layout_features = ["kern", "liga", "locl", "ccmp"]
    options.notdef_outline = True
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=sorted(ord(c) for c in characters))
    subsetter.subset(font)
    rename(font)
    return font


def missing(path, characters):
    cmap = TTFont(str(path))["cmap"].getBestCmap()
    return sorted(c for c in characters if ord(c) not in cmap)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="only check that the committed font covers every character")
    parser.add_argument("--output", type=pathlib.Path, default=ROOT / "resources" / "font.ttf")
    arguments = parser.parse_args()

    characters = wanted_characters()
    if arguments.check:
        lost = missing(arguments.output, characters)
        if lost:
            sys.exit(f"{arguments.output} lacks {len(lost)} characters: {''.join(lost)}")
        print(f"{arguments.output} covers all {len(characters)} characters")
        return

    font = build(characters)
    font.save(str(arguments.output))
    lost = missing(arguments.output, characters)
    if lost:
        # Noto covers every character the catalogue uses today; say so if that ever changes.
        print(f"warning: no glyph for {''.join(lost)}", file=sys.stderr)
    print(f"{arguments.output}: {len(characters)} characters, "
          f"{arguments.output.stat().st_size} bytes")


if __name__ == "__main__":
    main()
