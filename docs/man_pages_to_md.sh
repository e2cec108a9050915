#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The data-file pages of the guide are made from their man pages, so the two
# never differ:
#   docs/man_pages_to_md.sh           writes docs/data.dat.md, docs/touch.dat.md,
#                                     docs/mibbetdata.dat.md
#   docs/man_pages_to_md.sh --check   status 1 when one of them is not what
#                                     its man page gives (edit the man page, then
#                                     run this script)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
check=0
[ "${1:-}" = --check ] && check=1
pages=(hobsel/data.dat.5 hobsel/touch.dat.5 mibbet/mibbetdata.dat.5)
stale=0
for page in "${pages[@]}"; do
    name=$(basename "$page" .5)
    target=$here/$name.md
    made=$(
        echo "<!-- Made from $page by docs/man_pages_to_md.sh: edit the man page, not this file. -->"
        echo
        mandoc -T markdown "$source_dir/$page"
    )
    if [ $check -eq 1 ]; then
        if [ "$made" != "$(cat "$target" 2>/dev/null)" ]; then
            echo "docs/$name.md is not what $page gives: run docs/man_pages_to_md.sh" >&2
            stale=$((stale + 1))
        fi
    else
        printf '%s\n' "$made" >"$target"
    fi
done
[ $stale -eq 0 ]
