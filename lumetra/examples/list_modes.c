/* Lists a unit's modes and their stored values: list_modes UNIT-ADDRESS */
#include <lumetra/lumetra.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 2 || uxOpen(argv[1]) <= 0) {
        fprintf(stderr, "usage: list_modes UNIT-ADDRESS (a unit that lists its modes)\n");
        return 1;
    }
    for (LumetraString name = GetFirstModeName(); LumetraStringByteLen(name) > 0;
         LumetraFreeString(name), name = GetNextModeName()) {
        LumetraString value = GetNVRamMode(name);
        printf("%s = %s\n", name, value);
        LumetraFreeString(value);
    }
    uxClose();
    return 0;
}
