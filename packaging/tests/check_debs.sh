#!/usr/bin/env bash
# Checks the Debian packages in DIR the way a Debian user meets them: their
# contents and metadata, lintian, and then (as root) installed with apt-get,
# used (Tarnix against a simulated unit, pkg-config, a C program built against
# the installed header and library, man) and removed again.
#   packaging/tests/check_debs.sh DIR
set -euo pipefail
dir=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
deb_of() { ls "$dir/$1"_*.deb 2>/dev/null | head -1; }

# package: expected paths (as dpkg-deb -c shows them, without the leading .)
declare -A expected=(
    [liblumetra6]="/usr/lib/libLumetra.so.6 /usr/share/doc/liblumetra6/copyright"
    [liblumetra-dev]="/usr/include/lumetra/lumetra.h /usr/lib/libLumetra.so
        /usr/lib/pkgconfig/lumetra.pc /usr/lib/cmake/Lumetra/LumetraConfig.cmake
        /usr/lib/cmake/Lumetra/LumetraConfigVersion.cmake /usr/lib/cmake/Lumetra/LumetraTargets.cmake"
    [unitsuite-tools]="$(for p in Tarnix probe Drosk Hobsel Mibbet unitsim unitfleet; do
        echo /usr/bin/$p /usr/share/man/man1/$p.1.gz; done)"
    [unitsuite-gui]="/usr/bin/Veltrin /usr/bin/Fennick /usr/bin/Zorrel
        /usr/share/applications/veltrin.desktop /usr/share/applications/fennick.desktop
        /usr/share/applications/zorrel.desktop /usr/share/icons/hicolor/scalable/apps/unitsuite.svg
        /usr/share/unitsuite/VeltrinHelp.rtf /usr/share/unitsuite/header.gif"
)
# package: a field of its control file and a pattern it must match
declare -A metadata=(
    [liblumetra6]="Section:^libs$"
    [liblumetra-dev]="Depends:liblumetra6 \(= [0-9.]+-[0-9]+\)"
    [unitsuite-tools]="Depends:libc6"
    [unitsuite-gui]="Depends:libqt6widgets6.*liblumetra6|liblumetra6.*libqt6widgets6"
)

echo "== package contents and metadata"
all_files=$(mktemp)
trap 'rm -f "$all_files"' EXIT
for package in "${!expected[@]}"; do
    deb=$(deb_of "$package")
    if [ -z "$deb" ]; then
        fail "no package $package in $dir"
        continue
    fi
    contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
    for path in ${expected[$package]}; do
        grep -qx "$path" <<<"$contents" || fail "$package lacks $path"
    done
    grep -v '/$' <<<"$contents" >>"$all_files"
    field=${metadata[$package]%%:*}
    pattern=${metadata[$package]#*:}
    value=$(dpkg-deb -f "$deb" "$field")
    grep -Eq "$pattern" <<<"$value" || fail "$package: $field '$value' does not match '$pattern'"
    [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$deb is not named $package"
    echo "$package: $(du -k "$deb" | cut -f1) KiB, Depends: $(dpkg-deb -f "$deb" Depends)"
done
dpkg-deb -I "$(deb_of liblumetra6)" shlibs >/dev/null 2>&1 || fail "liblumetra6 has no shlibs file"
duplicates=$(sort "$all_files" | uniq -d | grep -v '^/usr/share/doc/' || true)
[ -z "$duplicates" ] || fail "files in more than one package: $duplicates"

echo "== lintian"
if ! lintian --fail-on error "$dir"/*.deb; then
    fail "lintian reports errors"
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "Not root: the packages are not installed and tried (run as root for that)."
    [ $failures -eq 0 ] || exit 1
    exit 0
fi

echo "== apt-get install"
export DEBIAN_FRONTEND=noninteractive
apt() { apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@" >/dev/null; }
apt install "$dir"/*.deb
work=$(mktemp -d)
sim=
cleanup() {
    [ -z "$sim" ] || { kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; }
    rm -rf "$work" "$all_files"
}
trap cleanup EXIT
unit=127.0.25.1
unitsim --address $unit >"$work/unitsim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q listening "$work/unitsim.log" && break; sleep 0.1; done
grep -q listening "$work/unitsim.log" || fail "the installed unitsim did not start: $(cat "$work/unitsim.log")"
(cd "$work" && Tarnix $unit) >"$work/tarnix.out" 2>&1 || fail "the installed Tarnix failed"
grep -q '^UnitID' "$work/tarnix.out" || fail "Tarnix listed no UnitID: $(head -5 "$work/tarnix.out")"
libs=$(pkg-config --libs lumetra) || fail "pkg-config does not know lumetra"
grep -q -- '-lLumetra' <<<"$libs" || fail "pkg-config --libs lumetra gave '$libs'"
# shellcheck disable=SC2046
cc -o "$work/list_modes" "$source_dir/lumetra/examples/list_modes.c" \
    $(pkg-config --cflags --libs lumetra) || fail "a C program does not build against the package"
if [ -x "$work/list_modes" ]; then
    "$work/list_modes" $unit >"$work/list_modes.out" || fail "list_modes failed"
    grep -q '^UnitID = ' "$work/list_modes.out" || fail "list_modes listed no UnitID"
fi
man -P cat Tarnix 2>/dev/null | grep -q 'list, get and set the modes' || fail "man Tarnix shows no page"
QT_QPA_PLATFORM=offscreen Veltrin --help | grep -q 'Read Modes' || fail "Veltrin --help failed"

echo "== removal"
packages=(liblumetra6 liblumetra-dev unitsuite-tools unitsuite-gui)
installed=$(dpkg -L "${packages[@]}" | sort -u)
apt purge "${packages[@]}"
left=$(while read -r path; do [ -f "$path" ] && echo "$path"; done <<<"$installed" || true)
[ -z "$left" ] || fail "files left after removal: $left"

if [ $failures -ne 0 ]; then
    echo "$failures package checks failed" >&2
    exit 1
fi
echo "Debian packages: every check passed"
