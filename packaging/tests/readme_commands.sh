#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the README's commands for installed packages against the installed
# programs, so they cannot go stale: every ```sh block that follows a line
# "<!-- installed-check -->". Each block runs in a scratch folder of its own,
# in a network namespace of its own (root: `unshare -n`, loopback up) so that
# its simulated units and servers take any address and port, under `set -e`
# with a time limit; a line that starts a program in the background waits
# until that program listens, and whatever a block started is stopped at its
# end.
#   packaging/tests/readme_commands.sh README.md          run every block
#   packaging/tests/readme_commands.sh --list README.md   print the blocks
set -euo pipefail
list=0
if [ "${1:-}" = --list ]; then
    list=1
    shift
fi
readme=$(realpath "$1")
limit=${README_BLOCK_SECONDS:-120}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Splits the marked blocks into $work/block-N.sh.
awk -v dir="$work" '
    /^<!-- installed-check -->$/ { marked = 1; next }
    marked && /^```sh$/ { n++; inside = 1; marked = 0; next }
    inside && /^```$/ { inside = 0; next }
    inside { print > (dir "/block-" n ".sh"); next }
    NF { marked = 0 }
' "$readme"
blocks=$(ls "$work"/block-*.sh 2>/dev/null | sort -V || true)
if [ -z "$blocks" ]; then
    echo "no <!-- installed-check --> blocks in $readme" >&2
    exit 1
fi
if [ $list -eq 1 ]; then
    for block in $blocks; do
        echo "== $(basename "$block" .sh)"
        cat "$block"
    done
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "readme_commands.sh needs root for a network namespace per block" >&2
    exit 1
fi

# What runs before a block: stop on the first failing command, stop the
# background programs at the end, and wait for one to listen.
cat >"$work/prelude.sh" <<'PRELUDE'
set -e
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; true' EXIT
listening() {  # the last background program has a listening socket
    local pid=$! i
    for i in $(seq 100); do
        ss -Hltnp 2>/dev/null | grep -q "pid=$pid," && return 0
        kill -0 "$pid" 2>/dev/null || { echo "the background program ended" >&2; return 1; }
        sleep 0.1
    done
    echo "the background program is not listening after 10 s" >&2
    return 1
}
PRELUDE

failures=0
for block in $blocks; do
    name=$(basename "$block" .sh)
    dir=$work/$name
    mkdir -p "$dir"
    # A line whose command ends with "&" (a comment may follow) is followed
    # by the wait until that program listens.
    { cat "$work/prelude.sh"
      sed -E 's/^(([^#]|#[^ ])*[^#&])&( *(#.*)?)$/\1\&\3\nlistening/' "$block"; } >"$dir/run.sh"
    echo "== $name: $(head -1 "$block")"
    if (cd "$dir" && timeout "$limit" unshare -n bash -c 'ip link set lo up && exec bash run.sh') \
        >"$dir/output" 2>&1; then
        echo "   passed ($(wc -l <"$dir/output") lines of output)"
    else
        status=$?
        echo "FAIL: $name ended with status $status; the block and its output:" >&2
        cat "$block" >&2
        echo "--" >&2
        tail -40 "$dir/output" >&2
        failures=$((failures + 1))
    fi
done
[ $failures -eq 0 ] || exit 1
echo "README: every installed-check block passed"
