#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every text the programs show has its English: lupdate reads the code into a copy of
# translations/relvoog_en.ts, and no entry of the copy may be left without a translation. A text
# added or changed in the code comes into the copy unfinished, so it fails here until
# `cmake --build build --target update_translations` has brought it into the file and it has
# been translated there.
set -uo pipefail
lupdate=$1 source=$2

# A folder of this run's own, so that two runs in one build do not meet.
mkdir -p "$(dirname "$3")" && scratch=$(mktemp -d "$3.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
copy=$scratch/relvoog_en.ts
cp "$source/translations/relvoog_en.ts" "$copy" || exit 1
(cd "$source" && "$lupdate" -silent -source-language et -locations none -no-obsolete src -ts "$copy") \
    || exit 1
# Each unfinished entry as its context and its source text.
unfinished=$(awk '
    /<name>/ { gsub(/.*<name>|<\/name>.*/, ""); context = $0 }
    /<source>/ { text = $0; gsub(/.*<source>|<\/source>.*/, "", text) }
    /type="unfinished"/ { print "  " context ": " text }
' "$copy")
if [ -n "$unfinished" ]; then
    echo "FAIL: without English in translations/relvoog_en.ts:" >&2
    echo "$unfinished" >&2
    exit 1
fi
echo "every text has its English"
