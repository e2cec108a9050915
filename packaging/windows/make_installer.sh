#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes the Windows installer (.exe, with makensis) and a plain .zip of the
# same files from a mingw cross-build:
#   packaging/windows/make_installer.sh BUILD_WINDOWS_DIR OUT_DIR VERSION
# The installer holds what `cmake --install` of the cross-build puts in bin/
# (Lumetra.dll, the console programs, the windows and their data files), the
# library's header, and
# any window that build-windows/bin holds beyond it, with a Start-menu
# shortcut for each window, and the windows' data files.
set -euo pipefail
build=$(realpath "$1")
out=$(realpath -m "$2")
version=$3
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
name=UnitSuite-$version-win64

rm -rf "$out/stage"
mkdir -p "$out/stage"
cmake --install "$build" --prefix "$out/stage/install" --strip >/dev/null
stage=$out/stage/$name
mkdir -p "$stage"
cp "$out/stage/install/bin/"* "$stage/"
# The header too, for programs that use Lumetra.dll.
cp "$out/stage/install/include/lumetra/lumetra.h" "$stage/"
windows=()
for window in Veltrin Fennick Zorrel; do
    [ -f "$build/bin/$window.exe" ] || continue
    windows+=("$window")
    cp -n "$build/bin/$window.exe" "$stage/"
done
# The windows' data files live beside the .exe on Windows; they come along
# even where the cross-build made no window yet, for a window built on Windows.
cp -n "$source_dir/frontends/veltrin/VeltrinHelp.rtf" "$source_dir/frontends/zorrel/header.gif" "$stage/"
# The licence: shown on the installer's licence page and installed beside
# the programs, with Windows line ends so Notepad shows it whole.
sed 's/$/\r/' "$source_dir/LICENSE" >"$stage/LICENSE.txt"

# The lists the script includes: every staged file, to install and remove.
nsis=$out/stage/nsis
mkdir -p "$nsis"
cp "$here/unitsuite.nsi" "$nsis/"
: >"$nsis/files.nsh"
: >"$nsis/remove.nsh"
: >"$nsis/shortcuts.nsh"
for file in "$stage"/*; do
    base=$(basename "$file")
    echo "File \"$file\"" >>"$nsis/files.nsh"
    echo "Delete \"\$INSTDIR\\$base\"" >>"$nsis/remove.nsh"
done
for window in "${windows[@]}"; do
    echo "CreateShortCut \"\$SMPROGRAMS\\\${NAME}\\$window.lnk\" \"\$INSTDIR\\$window.exe\"" \
        >>"$nsis/shortcuts.nsh"
done

mkdir -p "$out"
makensis -V2 -DVERSION="$version" -DOUTFILE="$out/$name-setup.exe" \
    -DLICENSE_FILE="$stage/LICENSE.txt" "$nsis/unitsuite.nsi"
rm -f "$out/$name.zip"
(cd "$out/stage" && zip -qrX "$out/$name.zip" "$name")
echo "$out/$name-setup.exe"
echo "$out/$name.zip"
