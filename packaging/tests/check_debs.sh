#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
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
        /usr/share/doc/liblumetra-dev/examples/list_modes.c
        /usr/lib/pkgconfig/lumetra.pc /usr/lib/cmake/Lumetra/LumetraConfig.cmake
        /usr/lib/cmake/Lumetra/LumetraConfigVersion.cmake /usr/lib/cmake/Lumetra/LumetraTargets.cmake"
    [unitsuite-tools]="$(for p in Tarnix probe Drosk Hobsel Mibbet unitsim unitfleet; do
        echo /usr/bin/$p /usr/share/man/man1/$p.1.gz; done)
        /usr/share/man/man5/data.dat.5.gz /usr/share/man/man5/touch.dat.5.gz
        /usr/share/man/man5/mibbetdata.dat.5.gz /usr/share/man/man7/unitsuite.7.gz
        /usr/share/doc/unitsuite/protocol.md /usr/share/doc/unitsuite/data.dat.md
        /usr/share/bash-completion/completions/unitfleet /usr/share/bash-completion/completions/unitsim"
    [unitsuite-gui]="/usr/bin/Veltrin /usr/bin/Fennick /usr/bin/Zorrel
        /usr/share/applications/veltrin.desktop /usr/share/applications/fennick.desktop
        /usr/share/applications/zorrel.desktop /usr/share/icons/hicolor/scalable/apps/unitsuite.svg
        /usr/share/unitsuite/VeltrinHelp.rtf /usr/share/unitsuite/header.gif"
    [unitsuite-fleetd]="/usr/sbin/unitfleetd /usr/share/man/man8/unitfleetd.8.gz
        /usr/share/man/man5/unitfleetd.conf.5.gz /lib/systemd/system/unitfleetd.service
        /etc/unitsuite/unitfleetd.conf /etc/unitsuite/units.txt"
)
# package: a field of its control file and a pattern it must match
declare -A metadata=(
    [liblumetra6]="Section:^libs$"
    [liblumetra-dev]="Depends:liblumetra6 \(= [0-9.]+-[0-9]+\)"
    [unitsuite-tools]="Depends:libc6"
    [unitsuite-gui]="Depends:libqt6widgets6.*liblumetra6|liblumetra6.*libqt6widgets6"
    [unitsuite-fleetd]="Depends:libsqlite3.*libargon2|libargon2.*libsqlite3"
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
    # The licence, in the machine-readable copyright file every package carries.
    copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "./usr/share/doc/$package/copyright" 2>/dev/null) ||
        fail "$package has no /usr/share/doc/$package/copyright"
    grep -qx 'License: Apache-2.0' <<<"$copyright" ||
        fail "$package: /usr/share/doc/$package/copyright does not name Apache-2.0"
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' <<<"$copyright" ||
        fail "$package: the copyright file is not machine-readable"
    maintainer=$(dpkg-deb -f "$deb" Maintainer)
    [ "$maintainer" = "Unit Suite maintainers <maintainers@unitsuite.dev>" ] ||
        fail "$package: Maintainer is '$maintainer'"
    echo "$package: $(du -k "$deb" | cut -f1) KiB, Depends: $(dpkg-deb -f "$deb" Depends), licence: Apache-2.0"
done
dpkg-deb -I "$(deb_of liblumetra6)" shlibs >/dev/null 2>&1 || fail "liblumetra6 has no shlibs file"
dpkg-deb -I "$(deb_of unitsuite-fleetd)" conffiles 2>/dev/null | grep -qx /etc/unitsuite/unitfleetd.conf ||
    fail "unitsuite-fleetd does not keep its configuration as a conffile"
duplicates=$(sort "$all_files" | uniq -d | grep -v '^/usr/share/doc/' || true)
[ -z "$duplicates" ] || fail "files in more than one package: $duplicates"

echo "== lintian"
if ! lintian --fail-on error "$dir"/*.deb; then
    fail "lintian reports errors"
fi
# The copyright and licence checks in particular, warnings and notes included.
copyright_tags=$(lintian -I "$dir"/*.deb 2>&1 | grep -Ei 'copyright|licen[cs]e' || true)
[ -z "$copyright_tags" ] || fail "lintian's copyright checks: $copyright_tags"

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
for page in data.dat touch.dat mibbetdata.dat; do
    man -P cat 5 "$page" 2>/dev/null | grep -q "$page" || fail "man 5 $page shows no page"
done
man -P cat 7 unitsuite 2>/dev/null | grep -q 'unitfleet' || fail "man unitsuite shows no page"
bash -c 'source /usr/share/bash-completion/completions/unitfleet && complete -p unitfleet' >/dev/null ||
    fail "the unitfleet completion does not load"

echo "== the README's commands for installed packages"
"$source_dir/packaging/tests/readme_commands.sh" "$source_dir/README.md" ||
    fail "a README command block fails against the installed programs"
getent passwd _unitfleetd >/dev/null || fail "unitsuite-fleetd made no _unitfleetd user"
runuser -u _unitfleetd -- sh -c ': >/etc/unitsuite/baselines/.written && rm /etc/unitsuite/baselines/.written' ||
    fail "the daemon's user cannot write /etc/unitsuite/baselines"
if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify /lib/systemd/system/unitfleetd.service ||
        fail "systemd-analyze verify rejects unitfleetd.service"
fi
if [ -d /run/systemd/system ]; then
    systemctl start unitfleetd.service || fail "unitfleetd.service does not start"
    systemctl is-active --quiet unitfleetd.service || fail "unitfleetd.service is not running"
    systemctl stop unitfleetd.service || true
else
    # No systemd running here: the daemon started by hand as its user.
    runuser -u _unitfleetd -- /usr/sbin/unitfleetd --version >/dev/null || fail "unitfleetd --version failed"
fi
man -P cat 5 unitfleetd.conf 2>/dev/null | grep -q 'configuration of the unitfleetd daemon' ||
    fail "man 5 unitfleetd.conf shows no page"

echo "== removal"
packages=(liblumetra6 liblumetra-dev unitsuite-tools unitsuite-gui unitsuite-fleetd)
installed=$(dpkg -L "${packages[@]}" | sort -u)
apt purge "${packages[@]}"
left=$(while read -r path; do [ -f "$path" ] && echo "$path"; done <<<"$installed" || true)
[ -z "$left" ] || fail "files left after removal: $left"
[ ! -e /var/lib/unitfleetd ] || fail "the purge left /var/lib/unitfleetd"
[ ! -e /etc/unitsuite/baselines ] || fail "the purge left /etc/unitsuite/baselines"

if [ $failures -ne 0 ]; then
    echo "$failures package checks failed" >&2
    exit 1
fi
echo "Debian packages: every check passed"
