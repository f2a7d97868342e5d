#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs each package of a build into a scratch prefix of its own, as cpack does, and checks
# that each holds what it needs and no file of the other; that the service's programs need no
# graphics libraries; that each carries the licence, a changelog of this version and valid manual
# pages; and that a desktop can list and start the window program: the menu entry names an
# installed program and icon, the metainfo names the entry, and both pass their validators.
# Exits 77 (skipped) after the file checks when a validator is missing.
set -uo pipefail
cmake=$1 build=$2 bindir=$4 datadir=$5 mandir=$6 version=$7

# A folder of this run's own beside the given one, so that two runs in one build do not meet.
mkdir -p "$(dirname "$3")" && root=$(mktemp -d "$3.XXXXXX") || exit 1
trap 'rm -rf "$root"' EXIT
for package in relvoog relvoogd; do
    "$cmake" --install "$build" --prefix "$root/$package" --component $package >/dev/null || exit 1
done
prefix=$root/relvoog
service=$root/relvoogd

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
for file in "$entry" "$metainfo" "$prefix/$bindir/relvoog" "$prefix/$mandir/man1/relvoog.1.gz" \
    "$service/$bindir/relvoogd" "$service/$bindir/relvoogctl" \
    "$service/lib/systemd/system/relvoogd.service" "$service/lib/systemd/user/relvoogd.service" \
    "$service/$datadir/dbus-1/system.d/ee.relvoog.Relvoog1.conf" \
    "$service/$datadir/dbus-1/interfaces/ee.relvoog.Relvoog1.xml" \
    "$service/$mandir/man8/relvoogd.8.gz" "$service/$mandir/man1/relvoogctl.1.gz"; do
    [ -f "$file" ] || fail "$file is not installed"
done
for package in relvoog relvoogd; do
    for file in copyright changelog.gz; do
        [ -f "$root/$package/$datadir/doc/$package/$file" ] \
            || fail "the package $package has no $datadir/doc/$package/$file"
    done
done
[ $failed -eq 0 ] || exit 1

# dpkg refuses to install two packages that hold the same file.
shared=$(comm -12 <(cd "$prefix" && find . -type f | sort) <(cd "$service" && find . -type f | sort))
[ -z "$shared" ] || fail "both packages hold $shared"
for program in relvoogd relvoogctl; do
    graphical=$(readelf -d "$service/$bindir/$program" | grep -oE 'libQt6(Gui|Widgets)[^]]*')
    [ -z "$graphical" ] || fail "$program needs $graphical"
done
changelog=$(gzip -dc "$prefix/$datadir/doc/relvoog/changelog.gz" | head -n 1)
[[ $changelog == "relvoog ($version) "* ]] \
    || fail "the changelog's newest entry is '$changelog', not version $version"

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
if command -v man >/dev/null; then
    # As lintian reads them: any message from the formatter is a fault in the page.
    for page in "$prefix/$mandir"/man*/*.gz "$service/$mandir"/man*/*.gz; do
        report=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
            man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) && [ -z "$report" ] \
            || fail "man ${page##*/}: $report"
    done
else
    missing+=(man)
fi
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
echo "each package holds its own files; the window program's menu entry, icons and metainfo," \
    "and every manual page, are valid"
