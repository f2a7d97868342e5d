#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the service's package into a scratch prefix and checks its system files with the tools
# that read them: systemd-analyze verifies both units and rates the system unit's hardening, and a
# dbus-daemon of our own loads the bus policy and refuses the service's name to anyone but the
# service's user. Exits 77 (skipped) after what it could check when a tool is missing.
set -uo pipefail
cmake=$1 build=$2

# Folders of this run's own, so that two runs in one build do not meet.
mkdir -p "$(dirname "$3")" && prefix=$(mktemp -d "$3.XXXXXX") || exit 1
scratch=$(mktemp -d) || exit 1
bus=
trap '[ -n "$bus" ] && kill "$bus" 2>/dev/null; rm -rf "$scratch" "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" --component relvoogd >/dev/null || exit 1

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}
missing=()

if command -v systemd-analyze >/dev/null; then
    # verify also runs man for each Documentation= page, so the installed pages are found here.
    verify=(env MANPATH="$prefix/share/man" XDG_RUNTIME_DIR="$scratch" systemd-analyze)
    if ! command -v man >/dev/null; then
        verify+=(--man=no)
        missing+=(man)
    fi
    # verify exits 0 after some complaints, such as a value it ignores; a clean unit prints nothing.
    for unit in system/relvoogd.service user/relvoogd.service; do
        scope=$([ "${unit%%/*}" = user ] && echo --user || echo --system)
        report=$("${verify[@]}" "$scope" verify "$prefix/lib/systemd/$unit" 2>&1) \
            && [ -z "$report" ] || fail "systemd-analyze verify $unit: $report"
    done
    # 3.0 is "OK" on its scale of 0 to 10; the rating is in tenths here.
    report=$(systemd-analyze security --offline=yes --threshold=30 \
        "$prefix/lib/systemd/system/relvoogd.service" 2>&1) \
        || fail "the system unit's exposure is above 3.0: $(tail -n 1 <<<"$report")"
else
    missing+=(systemd-analyze)
fi

if command -v dbus-daemon >/dev/null && command -v dbus-send >/dev/null; then
    # The system bus's own defaults, which the policy adds to, and the policy as installed.
    cat >"$scratch/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:dir=$scratch</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
  </policy>
  <include>$prefix/share/dbus-1/system.d/ee.relvoog.Relvoog1.conf</include>
</busconfig>
EOF
    dbus-daemon --config-file="$scratch/bus.conf" --nofork --nopidfile --print-address \
        >"$scratch/address" 2>"$scratch/errors" &
    bus=$!
    for _ in $(seq 100); do
        [ -s "$scratch/address" ] || ! kill -0 "$bus" 2>/dev/null && break
        sleep 0.02
    done
    address=$(head -n 1 "$scratch/address")
    if [ -z "$address" ]; then
        fail "dbus-daemon did not start with the policy: $(cat "$scratch/errors")"
    elif [ "$(id -un)" != relvoog ]; then
        reply=$(dbus-send --bus="$address" --print-reply --dest=org.freedesktop.DBus \
            /org/freedesktop/DBus org.freedesktop.DBus.RequestName \
            string:ee.relvoog.Relvoog1 uint32:0 2>&1)
        grep -q 'Error org.freedesktop.DBus.Error.AccessDenied' <<<"$reply" \
            || fail "user $(id -un) may own ee.relvoog.Relvoog1: $reply"
    fi
else
    missing+=(dbus-daemon dbus-send)
fi

[ $failed -eq 0 ] || exit 1
if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIP: not checked for want of ${missing[*]} (tools/install-deps installs them)"
    exit 77
fi
echo "the units verify, the system unit rates 3.0 or better, and the bus policy loads"
