#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Copies the newest screenshots that the window tests took into
# docs/screenshots/, under the names the README and the guide show:
#   docs/screenshots/update.sh [BUILD_DIR...]    (default: build build-windows)
# The Qt tests (QTest, offscreen) leave theirs in build/; the Wine tests of the
# Windows programs in build/tests/windows/. A picture no build has is kept as
# it is and named. The Wine tests' pictures (the whole screen) are cut to the
# window with ImageMagick's convert, where it is installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
cd "$source_dir"
[ $# -gt 0 ] || set -- build build-windows

# name in docs/screenshots   file a test writes
shots=(
    "veltrin.png             veltrin_set_mode.png"
    "fennick.png             fennick_answered_green.png"
    "zorrel.png              zorrel_serving.png"
    "veltrin-windows.png     veltrin_wine_set_mode.png"
    "fennick-windows.png     fennick_exe_green.png"
    "zorrel-windows.png      zorrel_exe_serving.png"
)

# The newest file called NAME under the build folders, or nothing.
newest() {  # NAME
    local dirs=() d
    for d in "${@:2}"; do [ -d "$d" ] && dirs+=("$d"); done
    [ ${#dirs[@]} -gt 0 ] || return 0
    find "${dirs[@]}" -name "$1" -type f -printf '%T@ %p\n' 2>/dev/null | sort -rn | head -1 |
        cut -d' ' -f2-
}

updated=0
for entry in "${shots[@]}"; do
    read -r target source <<<"$entry"
    found=$(newest "$source" "$@")
    if [ -z "$found" ]; then
        echo "kept:    $target (no $source in $*)"
        continue
    fi
    if [[ $target == *-windows.png ]] && command -v convert >/dev/null; then
        # The Wine tests shoot their whole Xvfb screen: the window is cut out
        # of the black around it.
        convert "$found" -trim +repage "$here/$target"
    else
        cp "$found" "$here/$target"
    fi
    echo "updated: $target from $found ($(date -r "$found" '+%Y-%m-%d %H:%M'))"
    updated=$((updated + 1))
done
echo "$updated of ${#shots[@]} screenshots updated"
