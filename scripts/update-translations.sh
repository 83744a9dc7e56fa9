#!/usr/bin/env bash
# Refreshes the translation sources translations/Orrindel_en.ts and
# translations/Orrindel_cn.ts from the texts marked for translation in the QML
# documents and their rule libraries (main.qml, qml/) and the C++ sources
# (src/). Texts no longer found are
# dropped; new texts arrive unfinished and need their English in
# Orrindel_en.ts (the catalogue test fails until they have it). The Chinese
# catalogue stays untranslated: Chinese is the source language.
set -euo pipefail
cd "$(dirname "$0")/.."

LUPDATE=${LUPDATE:-lupdate}
for ts in translations/Orrindel_en.ts translations/Orrindel_cn.ts; do
    "$LUPDATE" -no-obsolete -locations relative -extensions qml,js,cpp,h \
        main.qml qml src -ts "$ts"
done
