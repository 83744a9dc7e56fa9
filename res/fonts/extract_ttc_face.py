#!/usr/bin/python3
"""Saves faces of a TrueType collection as single .ttf files.

Usage: extract_ttc_face.py COLLECTION INDEX OUTPUT [INDEX OUTPUT ...]

Each saved face must cover both Latin and Chinese text; the program shows
both and must not rely on fonts of the machine it runs on.
"""
import sys

from fontTools.ttLib import TTFont

REQUIRED = "Aa0:(%)\u2103\u4e2d\u6587\u8bbe\u5907"  # Latin, degree Celsius, 中文设备


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
        face.save(output)


if __name__ == "__main__":
    main(sys.argv)
