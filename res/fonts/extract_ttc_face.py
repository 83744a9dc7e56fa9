#!/usr/bin/python3
"""Saves faces of a TrueType collection as single .ttf files.

Usage: extract_ttc_face.py COLLECTION INDEX OUTPUT [INDEX OUTPUT ...]

Each saved face must cover both Latin and Chinese text; the program shows
both and must not rely on fonts of the machine it runs on.

A face must also draw every character it maps. WenQuanYi Micro Hei 0.2.0-beta
maps some characters, among them U+2103 DEGREE CELSIUS, to glyphs without any
outline: a text engine trusts the character map, falls back to no other font
and leaves a blank, so "21.4\u2103" shows as "21.4". Each such glyph is
rebuilt from the face's own glyphs of the character's compatibility
decomposition (\u2103 is "\u00b0C", \u2109 is "\u00b0F", \u2164 is "V"); a
character that cannot be rebuilt is taken out of the character map so that
the text engine draws it with another font. Blank characters (spaces,
controls, format characters, fillers) stay as they are.
"""
import sys
import unicodedata

from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont

REQUIRED = "Aa0:(%)\u2103\u4e2d\u6587\u8bbe\u5907"  # Latin, degree Celsius, 中文设备

# Characters the user interface shows in values and units besides its texts:
# each must have an outline in every saved face.
DRAWN = "Aa0Rh:(%)~-><.,\u00b0\u2103\u00b5\u00b7\u2192\u00b1\u00d7\u221a\u4e2d\u6587\u8bbe\u5907"

# Characters that are blank by design although Unicode files them as letters.
BLANK_BY_DESIGN = {0x115F, 0x1160, 0x3164, 0xFFA0, 0x2800}

NOTICE = ("Modified by the Orrindel build (res/fonts/extract_ttc_face.py): "
          "saved as a single face; glyphs without outline for %s rebuilt from "
          "the face's own glyphs%s.")


def is_blank(code):
    return (code in BLANK_BY_DESIGN
            or unicodedata.category(chr(code)) in ("Zs", "Zl", "Zp", "Cc", "Cf"))


def has_outline(face, glyph_name):
    glyph = face["glyf"][glyph_name]
    return glyph.numberOfContours != 0


def rebuild_from_decomposition(face, code, glyph_name):
    """Draws glyph_name as the glyphs of the decomposition of code, side by
    side as the face would set them; False when the face lacks one of them."""
    cmap = face.getBestCmap()
    parts = unicodedata.normalize("NFKC", chr(code))
    if parts == chr(code):
        return False
    names = [cmap.get(ord(ch)) for ch in parts]
    if any(name is None or not has_outline(face, name) for name in names):
        return False
    glyf = face["glyf"]
    hmtx = face["hmtx"]
    pen = TTGlyphPen(glyf)
    x = 0
    for name in names:
        pen.addComponent(name, (1, 0, 0, 1, x, 0))
        x += hmtx[name][0]
    glyph = pen.glyph()
    glyph.recalcBounds(glyf)
    glyf[glyph_name] = glyph
    hmtx[glyph_name] = (x, glyph.xMin)
    return True


def repair_empty_glyphs(face):
    """Rebuilds or unmaps the characters mapped to glyphs without outline;
    returns the rebuilt and the unmapped characters."""
    rebuilt, unmapped = [], []
    for code, glyph_name in sorted(face.getBestCmap().items()):
        if is_blank(code) or has_outline(face, glyph_name):
            continue
        if rebuild_from_decomposition(face, code, glyph_name):
            rebuilt.append(code)
        else:
            unmapped.append(code)
    for table in face["cmap"].tables:
        if table.isUnicode():
            for code in unmapped:
                table.cmap.pop(code, None)
    return rebuilt, unmapped


def add_notice(face, rebuilt, unmapped):
    """Marks the face as changed (Apache License 2.0, section 4 b) in its
    description, next to the original text."""
    listed = lambda codes: ", ".join("U+%04X" % code for code in codes)
    text = NOTICE % (listed(rebuilt) or "no character",
                     "; %s unmapped" % listed(unmapped) if unmapped else "")
    name = face["name"]
    for record in list(name.names):
        if record.nameID == 10:
            name.setName(record.toUnicode() + "\n" + text, 10,
                          record.platformID, record.platEncID, record.langID)
    if name.getDebugName(10) is None:
        name.setName(text, 10, 3, 1, 0x409)


def main(argv):
    if len(argv) < 4 or len(argv) % 2 != 0:
        sys.exit(__doc__)
    collection = argv[1]
    for index, output in zip(argv[2::2], argv[3::2]):
        face = TTFont(collection, fontNumber=int(index))
        cmap = face.getBestCmap()
        missing = [ch for ch in REQUIRED if ord(ch) not in cmap]
        if missing:
            sys.exit("%s face %s lacks %r" % (collection, index, "".join(missing)))
        rebuilt, unmapped = repair_empty_glyphs(face)
        cmap = face.getBestCmap()
        blank = [ch for ch in DRAWN
                 if ord(ch) not in cmap or not has_outline(face, cmap[ord(ch)])]
        if blank:
            sys.exit("%s face %s cannot draw %r" % (collection, index, "".join(blank)))
        if rebuilt or unmapped:
            add_notice(face, rebuilt, unmapped)
        face.save(output)


if __name__ == "__main__":
    main(sys.argv)
