#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# systemd-analyze verify on a unit file before it is installed: only the
# program's and the man pages' absence (they come with the package) may be
# reported.
#   packaging/tests/verify_service.sh UNIT_FILE
set -uo pipefail
out=$(systemd-analyze verify "$1" 2>&1)
left=$(grep -v -e 'is not executable: No such file' -e "Command 'man " <<<"$out" | grep . || true)
if [ -n "$left" ]; then
    echo "$left" >&2
    exit 1
fi
echo "$1: verified"
