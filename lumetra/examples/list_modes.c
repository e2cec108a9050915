// SPDX-License-Identifier: Apache-2.0
/* list_modes UNIT-ADDRESS: prints each mode of a unit with its stored value. */
#include <lumetra/lumetra.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 2 || uxOpen(argv[1]) <= 0) {
        fprintf(stderr, "usage: list_modes UNIT-ADDRESS (a unit that lists its modes)\n");
        return 1;
    }
    LumetraString name = GetFirstModeName();
    for (; LumetraStringByteLen(name) > 0; LumetraFreeString(name), name = GetNextModeName()) {
        LumetraString value = GetNVRamMode(name);
        printf("%s = %s\n", name, value);
        LumetraFreeString(value);
    }
    LumetraFreeString(name);
    return uxClose() == 1 ? 0 : 1;
}
