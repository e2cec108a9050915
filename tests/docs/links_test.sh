#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Every link of the README and the guide to a file of the tree, and every
# link to a heading of the same or another page, leads somewhere.
#   tests/docs/links_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The anchors GitHub-style Markdown gives a page's headings.
anchors() {  # FILE
    grep -E '^#{1,6} ' "$1" | sed -E 's/^#+ //' | tr 'A-Z' 'a-z' |
        sed -E 's/[^a-z0-9 _-]//g; s/ /-/g'
}

for page in README.md docs/*.md; do
    dir=$(dirname "$page")
    # Links outside fenced blocks: ](target) with an optional #anchor.
    links=$(awk '/^```/ { fenced = !fenced; next } !fenced' "$page" |
        grep -oE '\]\([^) ]+\)' | sed -E 's/^\]\(//; s/\)$//' || true)
    for link in $links; do
        case $link in http://* | https://* | mailto:*) continue ;; esac
        target=${link%%#*}
        anchor=
        [[ $link == *'#'* ]] && anchor=${link#*#}
        file=$page
        if [ -n "$target" ]; then
            file=$dir/$target
            [ -e "$file" ] || { fail "$page links to $target, which does not exist"; continue; }
        fi
        if [ -n "$anchor" ] && [ -f "$file" ] && [[ $file == *.md ]]; then
            anchors "$file" | grep -qx -- "$anchor" || fail "$page links to $link: no such heading"
        fi
    done
done
[ $failures -eq 0 ] || exit 1
echo "every link of the README and docs/ leads somewhere"
