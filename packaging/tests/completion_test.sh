#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The bash completions of our own tools: each file is valid bash, registers
# its function, and completes subcommands, options (read from the programs'
# --help) and file arguments.
#   packaging/tests/completion_test.sh COMPLETION_DIR [TOOL=PATH...]
# A TOOL=PATH puts that program first on PATH; without it the option cases of
# that tool are skipped.
set -euo pipefail
dir=$(realpath "$1")
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
have=()
for tool in "$@"; do
    ln -s "$(realpath "${tool#*=}")" "$work/bin/${tool%%=*}"
    have+=("${tool%%=*}")
done
export PATH=$work/bin:$PATH
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
has_tool() { [[ " ${have[*]} " == *" $1 "* ]]; }

for file in "$dir"/*; do
    bash -n "$file" || fail "$(basename "$file") is not valid bash"
done

# Prints the completions of the command line WORDS..., the last word being
# the one completed, one a line, sorted; run in a scratch folder.
complete_words() {  # FILE WORDS...
    local file=$1
    shift
    (
        cd "$work/files"
        # shellcheck disable=SC1090
        source "$file"
        local function
        function=$(complete -p "$1" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
        [ -n "$function" ] || { echo "no completion function for $1" >&2; exit 1; }
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        COMPREPLY=()
        "$function" "$1" "${!#}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf '%s\n' "${COMPREPLY[@]}" | sort
    )
}

mkdir -p "$work/files/saved" "$work/files/rollout"
touch "$work/files/shop.txt" "$work/files/new.ini" "$work/files/saved/till-01.ini" \
    "$work/files/saved/till-02.ini" "$work/files/saved/report.txt"

# FILE|words (the last one completed, "" for an empty word)|expected, space separated|unexpected
cases=(
    "unitfleet|unitfleet ''|backup diff apply restore discover status history ansible-inventory|"
    "unitfleet|unitfleet ap|apply|"
    "unitfleet|unitfleet apply shop.txt ''|new.ini saved rollout|shop.txt"
    "unitfleet|unitfleet backup shop.txt ''|saved rollout|shop.txt new.ini"
    "unitfleet|unitfleet backup ''|shop.txt new.ini|"
    "unitfleet|unitfleet apply shop.txt new.ini --backup-dir ''|saved rollout|shop.txt"
    "unitfleet|unitfleet history saved ''|till-01 till-02|report"
    "unitsim|unitsim ''|barcode prod event register raw load|"
    "unitsim|unitsim lo|load|"
    "unitsim|unitsim load ''|barcode prod event register raw|load"
    "unitsim|unitsim --modes ''|shop.txt new.ini|"
    "unitfleetd|unitfleetd ''|user token|"
    "unitfleetd|unitfleetd user ''|add|"
    "unitfleetd|unitfleetd token add ci --role ''|viewer operator admin|"
    "unitfleetd|unitfleetd --config ''|shop.txt new.ini|"
    "unitfleetd|unitfleetd --ins|--insecure|--role"
)
if has_tool unitfleet; then
    cases+=("unitfleet|unitfleet apply --com|--commit|--restore"
            "unitfleet|unitfleet discover --for|--force|"
            "unitfleet|unitfleet status shop.txt --prom|--prometheus|")
fi
if has_tool unitsim; then
    cases+=("unitsim|unitsim --jour|--journal|"
            "unitsim|unitsim load --mess|--messages|")
fi

for entry in "${cases[@]}"; do
    IFS='|' read -r name line expected unexpected <<<"$entry"
    eval "words=($line)"
    # shellcheck disable=SC2154
    got=$(complete_words "$dir/$name" "${words[@]}") || { fail "$line: $got"; continue; }
    for word in $expected; do
        grep -qx -- "$word" <<<"$got" || fail "$line: no '$word' among: $(echo $got)"
    done
    for word in $unexpected; do
        grep -qx -- "$word" <<<"$got" && fail "$line: '$word' offered: $(echo $got)"
    done
done

[ $failures -eq 0 ] || exit 1
echo "bash completion: every case passed (${#cases[@]} cases)"
