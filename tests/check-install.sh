#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that a desktop can list and start what it
# holds: the menu entry names an installed program and icon, the metainfo names the entry, and
# both pass their validators. Exits 77 (skipped) after the file checks when a validator is missing.
set -uo pipefail
cmake=$1 build=$2 prefix=$3 bindir=$4 datadir=$5

rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null || exit 1

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}
# The value of a key in the menu entry's [Desktop Entry] group, without its localized variants.
entry_key() {
    sed -n "/^\[Desktop Entry\]/,/^\[/s/^$1=//p" "$entry"
}

applications=$prefix/$datadir/applications
entry=$applications/relvoog.desktop
metainfo=$prefix/$datadir/metainfo/ee.relvoog.Relvoog.metainfo.xml
for file in "$entry" "$metainfo"; do
    [ -f "$file" ] || fail "$file is not installed"
done
[ $failed -eq 0 ] || exit 1

program=$(entry_key Exec | cut -d' ' -f1)
[ -n "$program" ] && [ -x "$prefix/$bindir/$program" ] \
    || fail "the entry starts '$program', which is not an installed program in $bindir"
icon=$(entry_key Icon)
hicolor=$prefix/$datadir/icons/hicolor
for file in scalable/apps/$icon.svg 16x16/apps/$icon.png 32x32/apps/$icon.png; do
    [ -n "$icon" ] && [ -f "$hicolor/$file" ] \
        || fail "the entry's icon '$icon' has no $hicolor/$file"
done
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -n "$launchable" ] && [ -f "$applications/$launchable" ] \
    || fail "the metainfo launches '$launchable', which is not in $applications"

# Both languages travel with the program: built into it, and in its entry and metainfo. --help
# prints before any port is touched; the empty settings folder keeps the user's own file out.
for language in "en Usage:" "et Kasutamine:"; do
    set -- $language
    XDG_CONFIG_HOME=$prefix "$prefix/$bindir/$program" --language "$1" --help 2>/dev/null \
        | grep -q "^$2" || fail "the installed program has no --help in '$1'"
done
grep -q '^Comment\[et\]=' "$entry" || fail "the entry has no Estonian comment"
grep -q '<summary xml:lang="et">' "$metainfo" && grep -q '<p xml:lang="et">' "$metainfo" \
    || fail "the metainfo has no Estonian summary and description"

missing=()
if command -v desktop-file-validate >/dev/null; then
    # It prints nothing for a clean entry and exits 0 even after warnings.
    report=$(desktop-file-validate "$entry" 2>&1) && [ -z "$report" ] \
        || fail "desktop-file-validate: $report"
else
    missing+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
    # validate-tree checks the metainfo as validate does, and that its entry is installed beside it.
    report=$(appstreamcli validate-tree --no-net "$prefix" 2>&1) \
        || fail "appstreamcli validate-tree: $report"
else
    missing+=(appstreamcli)
fi

[ $failed -eq 0 ] || exit 1
if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIP: the files are in place but not validated; missing: ${missing[*]}" \
        "(tools/install-deps installs them)"
    exit 77
fi
echo "$prefix holds the program, its menu entry, icons and metainfo, all valid"
