#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The licence files of a source tree: LICENSE is the Apache License 2.0 as
# Debian ships it, the Debian copyright file is machine-readable and names
# Apache-2.0 with Debian's short text, and the pkg-config file, the CMake
# package and the installer say the same.
#   packaging/tests/check_licence.sh [SOURCE_DIR]
set -euo pipefail
source_dir=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
cd "$source_dir"

grep -q '^ *Apache License$' LICENSE && grep -q '^ *Version 2.0, January 2004$' LICENSE ||
    fail "LICENSE is not the Apache License 2.0"
grep -q 'END OF TERMS AND CONDITIONS' LICENSE || fail "LICENSE is not the whole licence text"
if [ -f /usr/share/common-licenses/Apache-2.0 ]; then
    cmp -s LICENSE /usr/share/common-licenses/Apache-2.0 ||
        fail "LICENSE differs from /usr/share/common-licenses/Apache-2.0"
fi

copyright=packaging/debian/copyright
[ "$(head -1 $copyright)" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    fail "$copyright does not start with the machine-readable Format line"
grep -q '^Files: \*$' $copyright || fail "$copyright has no 'Files: *' paragraph"
[ "$(grep -c '^License: Apache-2.0$' $copyright)" -ge 2 ] ||
    fail "$copyright does not name Apache-2.0 for the files and in a stand-alone License paragraph"
grep -q '/usr/share/common-licenses/Apache-2.0' $copyright ||
    fail "$copyright does not refer to /usr/share/common-licenses/Apache-2.0"
grep -q '^Copyright: .*Unit Suite maintainers' $copyright || fail "$copyright names no copyright holder"
grep -qi 'all rights reserved\|not chosen' $copyright && fail "$copyright still says no licence was chosen"

grep -qx 'License: Apache-2.0' lumetra/lumetra.pc.in || fail "lumetra.pc.in has no 'License: Apache-2.0'"
grep -q 'Lumetra_LICENSE "Apache-2.0"' lumetra/LumetraConfig.cmake.in ||
    fail "the CMake package does not name its licence"
grep -q 'MUI_PAGE_LICENSE' packaging/windows/unitsuite.nsi || fail "the installer has no licence page"
grep -q 'maintainers@unitsuite.dev' packaging/cpack_debian.cmake ||
    fail "the packages' maintainer is not the project's address"

[ $failures -eq 0 ] || exit 1
echo "licence files: every check passed"
