#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Tries the Windows installer under Wine as a user would: installs it silently
# into a fresh Wine prefix, runs the installed Tarnix.exe against a simulated
# unit, looks for the Start-menu shortcuts, then uninstalls silently and checks
# that every installed file is gone.
#   packaging/tests/check_installer.sh SETUP_EXE ZIP UNITSIM [BOOTED_PREFIX]
# BOOTED_PREFIX, a Wine prefix that has been booted and holds nothing of the
# suite (build-windows/wine), is copied instead of booting a new one.
set -euo pipefail
setup=$(realpath "$1")
zip=$(realpath "$2")
unitsim=$(realpath "$3")
booted=${4:-}
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
wine=$(command -v /usr/lib/wine/wine64 wine64 wine 2>/dev/null | head -1)
[ -n "$wine" ] || { echo "Wine is not installed (no wine64 loader found)." >&2; exit 1; }
wineserver=$(command -v /usr/lib/wine/wineserver64 wineserver 2>/dev/null | head -1)

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
sim=
cleanup() {
    [ -z "$sim" ] || { kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; }
    timeout 60 "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# Waits for every Wine process of the prefix (the uninstaller runs from a
# copy of itself that outlives the one started).
settle() { timeout 300 "$wineserver" -w || fail "Wine did not settle within 300 s"; }

if [ -n "$booted" ] && [ -f "$booted/system.reg" ]; then
    # Hard links for the DLLs that Wine only reads, copies of what it rewrites.
    cp -al "$booted" "$WINEPREFIX"
    for reg in "$WINEPREFIX"/*.reg; do cp --remove-destination "$booted/$(basename "$reg")" "$reg"; done
else
    timeout 300 "$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
    settle
fi

echo "== silent install"
target=$WINEPREFIX/drive_c/UnitSuite
timeout 300 "$wine" "$setup" /S '/D=C:\UnitSuite' || fail "the installer ended with status $?"
settle
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sed 's|^[^/]*/||')
for file in $listed; do
    [ -f "$target/$file" ] || fail "not installed: $file"
done
[ -f "$target/Uninstall.exe" ] || fail "no uninstaller"
grep -q 'Apache License' "$target/LICENSE.txt" 2>/dev/null || fail "no LICENSE.txt naming the Apache License"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Unit Suite"
for window in Veltrin Fennick Zorrel; do
    if grep -qx "$window.exe" <<<"$listed"; then
        [ -f "$menu/$window.lnk" ] || fail "no Start-menu shortcut for $window"
    fi
done
[ -f "$menu/Uninstall Unit Suite.lnk" ] || fail "no Start-menu shortcut for the uninstaller"

echo "== the installed Tarnix.exe"
unit=127.0.25.2
"$unitsim" --address $unit >"$work/unitsim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q listening "$work/unitsim.log" && break; sleep 0.1; done
(cd "$work" && timeout 120 "$wine" "$target/Tarnix.exe" $unit) >"$work/tarnix.out" 2>&1 ||
    fail "the installed Tarnix.exe failed: $(head -5 "$work/tarnix.out")"
grep -q '^UnitID' "$work/tarnix.out" || fail "Tarnix.exe listed no UnitID: $(head -5 "$work/tarnix.out")"

echo "== silent uninstall"
timeout 300 "$wine" "$target/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
settle
for file in $listed Uninstall.exe; do
    [ ! -e "$target/$file" ] || fail "left after uninstall: $file"
done
[ ! -e "$target" ] || fail "the installation folder is left: $(ls "$target")"
[ ! -e "$menu" ] || fail "the Start-menu folder is left: $(ls "$menu")"

if [ $failures -ne 0 ]; then
    echo "$failures installer checks failed" >&2
    exit 1
fi
echo "Windows installer: every check passed"
