#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The SPDX script on a scratch repository: each kind of source file gets the
# comment form of its language as its first line (after a "#!" line), other
# files are left alone, a second run changes nothing, and --check names what
# lacks the line.
#   tests/docs/spdx_test.sh SPDX_SCRIPT
set -euo pipefail
script=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
id='SPDX-License-Identifier: Apache-2.0'

cd "$work"
git init -q .
mkdir -p src cmake scripts man docs
printf 'int main() { return 0; }\n' >src/main.cpp
printf '#pragma once\n' >src/main.h
printf 'project(x)\n' >CMakeLists.txt
printf 'set(a 1)\n' >cmake/x.cmake
printf '#!/bin/sh\necho hi\n' >scripts/run.sh
printf '#!/usr/bin/env python3\nprint(1)\n' >scripts/tool
printf 'print(2)\n' >scripts/lib.py
printf '; installer\nName x\n' >setup.nsi
printf '.TH X 1\n' >man/x.1
printf '{ global: *; };\n' >exports.map
printf '# Title\n' >docs/guide.md
printf 'plain data\n' >data.dat
printf 'no shebang\n' >scripts/NOTES
printf '#!/bin/sh\n# %s\necho done\n' "$id" >scripts/done.sh
chmod +x scripts/run.sh scripts/tool
# The script in the tree it changes: it adds the line to itself while it runs.
mkdir -p tools
# (without its own SPDX line, as before its first run)
sed '2{/^# SPDX-License-Identifier:/d}' "$script" >tools/spdx.sh
chmod +x tools/spdx.sh
git add -A

# (file, expected first line, expected second line or "")
expect=(
    "src/main.cpp|// $id|int main() { return 0; }"
    "src/main.h|// $id|#pragma once"
    "CMakeLists.txt|# $id|project(x)"
    "cmake/x.cmake|# $id|set(a 1)"
    "scripts/run.sh|#!/bin/sh|# $id"
    "scripts/tool|#!/usr/bin/env python3|# $id"
    "scripts/lib.py|# $id|print(2)"
    "setup.nsi|; $id|; installer"
    "man/x.1|.\\\" $id|.TH X 1"
    "exports.map|/* $id */|{ global: *; };"
    "docs/guide.md|# Title|"
    "data.dat|plain data|"
    "scripts/NOTES|no shebang|"
    "scripts/done.sh|#!/bin/sh|# $id"
)

listed=$("$script" --check "$work" 2>/dev/null) && fail "--check passed a tree without the lines"
for file in src/main.cpp CMakeLists.txt scripts/run.sh scripts/tool man/x.1; do
    grep -qx "$file" <<<"$listed" || fail "--check did not list $file"
done
for file in docs/guide.md data.dat scripts/NOTES scripts/done.sh; do
    grep -qx "$file" <<<"$listed" && fail "--check listed $file"
done

added=$(tools/spdx.sh "$work") || fail "the run ended with status $?"
[ "$added" = "spdx.sh: added the line to 11 files" ] || fail "the run said '$added'"
[ "$(sed -n 2p tools/spdx.sh)" = "# $id" ] || fail "the script did not add the line to itself"
for entry in "${expect[@]}"; do
    IFS='|' read -r file first second <<<"$entry"
    [ "$(sed -n 1p "$file")" = "$first" ] || fail "$file: first line '$(sed -n 1p "$file")', not '$first'"
    if [ -n "$second" ]; then
        [ "$(sed -n 2p "$file")" = "$second" ] ||
            fail "$file: second line '$(sed -n 2p "$file")', not '$second'"
    fi
done
[ -x scripts/run.sh ] || fail "scripts/run.sh lost its execute bit"
[ "$(grep -c SPDX scripts/done.sh)" = 1 ] || fail "scripts/done.sh got a second line"

git add -A
git -c user.name=T -c user.email=t@t commit -qm one
tools/spdx.sh "$work" >/dev/null
[ -z "$(git status --porcelain)" ] || fail "a second run changed: $(git status --porcelain)"
"$script" --check "$work" >/dev/null || fail "--check fails after the lines were added"

[ $failures -eq 0 ] || exit 1
echo "spdx.sh: every case passed"
