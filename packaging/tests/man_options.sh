#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Every option that our own tools name in --help is in their man page: the
# tool's own --help and each subcommand's (`TOOL COMMAND --help`; the
# subcommands are read from the usage lines of the tool's --help), so the
# check follows the options as they change.
#   packaging/tests/man_options.sh SOURCE_DIR TOOL=PATH...
# The man page of TOOL is SOURCE_DIR/TOOL/TOOL.1 (a daemon's: TOOL.8).
set -euo pipefail
source_dir=$(realpath "$1")
shift
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The long options a text names, one a line.
long_options() { grep -oE -- '(^|[^A-Za-z0-9-])--[A-Za-z][A-Za-z0-9-]*' | grep -oE -- '--.*' | sort -u; }

# The subcommands of TOOL: the word after the tool's name at the start of a
# usage line ("Usage: unitsim load ...", "  unitfleet backup ...").
subcommands() {  # NAME HELP_TEXT
    grep -oE "^(Usage:)? *$1 [a-z][a-z-]+" <<<"$2" | awk '{print $NF}' | sort -u || true
}

for entry in "$@"; do
    name=${entry%%=*}
    program=${entry#*=}
    page=$source_dir/$name/$name.1
    [ -f "$page" ] || page=$source_dir/$name/$name.8
    if [ ! -f "$page" ]; then
        fail "$name has no man page $page"
        continue
    fi
    rendered=$(mandoc -T ascii "$page" | col -b)
    help=$("$program" --help 2>&1) || fail "$name --help ended with status $?"
    # CLI11 lists the subcommands under "SUBCOMMANDS:" instead of usage lines.
    commands=$( { subcommands "$name" "$help"
                  sed -n '/^[Ss][Uu][Bb][Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:/,/^$/p' <<<"$help" | awk 'NR > 1 && NF {print $1}'; } |
                sort -u)
    all_help=$help
    for command in $commands; do
        if command_help=$("$program" "$command" --help 2>&1); then
            all_help+=$'\n'$command_help
        else
            fail "$name $command --help ended with status $?"
        fi
    done
    missing=()
    for option in $(long_options <<<"$all_help"); do
        grep -qE -- "(^|[^A-Za-z0-9-])$option([^A-Za-z0-9-]|$)" <<<"$rendered" || missing+=("$option")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        fail "$name: $page lacks ${missing[*]} (named by --help of $name${commands:+ and of: $(echo $commands)})"
    else
        echo "$name: every option of --help is in $name.1 ($(long_options <<<"$all_help" | wc -l) options;" \
            "subcommands: $(echo $commands))"
    fi
done

[ $failures -eq 0 ] || exit 1
