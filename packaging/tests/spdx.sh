#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Puts the licence's SPDX line first in every source file that git tracks,
# in the comment form of the file's language (after a "#!" line, which must
# stay first), or lists the files that lack it:
#   packaging/tests/spdx.sh [REPO]           add the line where it is missing
#   packaging/tests/spdx.sh --check [REPO]   list files without it; status 1 if any
# REPO defaults to the repository this script is in. Running it twice changes
# nothing the second time. Files that are not source (data, images, texts
# whose first lines are read as they are, like README.md and the Debian
# changelog) are left alone.
set -euo pipefail
readonly id='SPDX-License-Identifier: Apache-2.0'

# The SPDX line for PATH, or nothing when PATH is not a source file.
spdx_line() {  # PATH
    local path=$1 base
    base=$(basename "$path")
    case "$base" in
    *.c | *.cc | *.cpp | *.cxx | *.h | *.hpp | *.rc | *.js | *.mjs) echo "// $id" ;;
    *.map | *.css) echo "/* $id */" ;;
    *.html) echo "<!-- $id -->" ;;
    CMakeLists.txt | *.cmake | *.cmake.in | *.pc.in | *.sh | *.bash | *.py | *.yml | *.yaml | \
        *.supp | *.desktop | *.service | *.socket | *.timer | *.toml)
        echo "# $id"
        ;;
    *.nsi | *.nsh | *.def) echo "; $id" ;;
    *.[1-8]) echo ".\\\" $id" ;;
    *.*) ;;
    *)
        # A script without an extension (bash completions, CI steps, an
        # Ansible inventory script) is known by its "#!" line.
        if head -c 2 "$path" | grep -q '^#!' &&
            head -1 "$path" | grep -Eq '(sh|bash|python3?|perl)( |$)'; then
            echo "# $id"
        fi
        ;;
    esac
}

# 0 when the file already carries the identifier in its first line, or in
# its second after a "#!" line.
has_spdx() {  # PATH
    local first
    first=$(head -1 "$1")
    if [[ $first == '#!'* ]]; then
        sed -n 2p "$1" | grep -q 'SPDX-License-Identifier:'
    else
        grep -q 'SPDX-License-Identifier:' <<<"$first"
    fi
}

# Writes LINE into PATH as its first line, or its second after "#!"; the
# file keeps its mode (written in place, not replaced).
add_spdx() {  # PATH LINE
    local path=$1 line=$2 tmp
    tmp=$(mktemp)
    if [[ $(head -1 "$path") == '#!'* ]]; then
        { head -1 "$path"; printf '%s\n' "$line"; tail -n +2 "$path"; } >"$tmp"
    else
        { printf '%s\n' "$line"; cat "$path"; } >"$tmp"
    fi
    cat "$tmp" >"$path"
    rm -f "$tmp"
}

# The script may add the line to itself: everything runs from main, which
# bash has read whole before the file changes.
main() {
    local check=0 repo missing=0 added=0 path line
    if [ "${1:-}" = --check ]; then
        check=1
        shift
    fi
    repo=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
    if ! git -C "$repo" rev-parse --show-toplevel >/dev/null 2>&1; then
        echo "spdx.sh: '$repo' is not a git work tree" >&2
        return 2
    fi
    cd "$(git -C "$repo" rev-parse --show-toplevel)"

    while IFS= read -r -d '' path; do
        [ -f "$path" ] && [ ! -L "$path" ] || continue
        line=$(spdx_line "$path")
        [ -n "$line" ] || continue
        has_spdx "$path" && continue
        if [ $check -eq 1 ]; then
            echo "$path"
            missing=$((missing + 1))
        else
            add_spdx "$path" "$line"
            added=$((added + 1))
        fi
    done < <(git ls-files -z)

    if [ $check -eq 1 ]; then
        if [ $missing -ne 0 ]; then
            echo "$missing source files lack the line '$id' (add it: packaging/tests/spdx.sh)" >&2
            exit 1
        fi
        echo "every source file carries '$id'"
    else
        echo "spdx.sh: added the line to $added files"
    fi
}
main "$@"; exit $?
