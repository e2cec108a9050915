// SPDX-License-Identifier: Apache-2.0
// A Windows program that uses Lumetra.dll the way the window programs do:
// loaded by file name, every export looked up by its plain name. Run under
// Wine by the Linux tests against a simulated unit:
//   lumetra_dll_client UNIT_ADDRESS REFUSING_ADDRESS
//   lumetra_dll_client --silent ADDRESS_OF_A_UNIT_THAT_NEVER_ANSWERS
//   lumetra_dll_client --pushes UNIT_ADDRESS FILE
//     (the exports the first form leaves out, once each, in a fixed order;
//     the test reads their effect in the unit's journal)
// It prints one line per failed check and ends with status 0 when all passed.
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/windows/lumetra_exports.h"

namespace {

using OpenFn = std::int16_t(__stdcall*)(const char*);
using ShortFn = std::int16_t(__stdcall*)();
using LongFn = std::int32_t(__stdcall*)();
using NameFn = BSTR(__stdcall*)();
using LookupFn = BSTR(__stdcall*)(const char*);
using SetFn = std::int32_t(__stdcall*)(const char*, const char*);
using SizeFn = std::int16_t(__stdcall*)(const char*);
using TextFn = std::int32_t(__stdcall*)(const char*);
using PushFn = std::int32_t(__stdcall*)(const char*, const char*, const char*);
using SerialFn = std::int16_t(__stdcall*)(const char*, std::int32_t, std::int16_t, const char*,
                                          std::int16_t, const char*);

int failures = 0;

void check(bool ok, const std::string& what) {
    if (!ok) {
        ++failures;
        std::printf("FAIL: %s\n", what.c_str());
    }
}

struct Parity {
    int even = 0;
    int odd = 0;
};

// Checks a string result's length and layout, counts its parity, frees it,
// and returns its text.
std::string take(BSTR result, const std::string& what, Parity& seen) {
    if (result == nullptr) {
        check(false, what + ": NULL string result");
        return {};
    }
    const char* bytes = reinterpret_cast<const char*>(result);
    std::size_t n = std::strlen(bytes);
    UINT byteLen = SysStringByteLen(result);
    check(byteLen == (n + 1) / 2 * 2, what + ": SysStringByteLen " + std::to_string(byteLen) +
                                          " for " + std::to_string(n) + " text bytes");
    check(SysStringLen(result) == (n + 1) / 2, what + ": SysStringLen");
    if (n > 0)
        ++(n % 2 == 0 ? seen.even : seen.odd);
    std::string text(bytes, n);
    SysFreeString(result);
    return text;
}

template <typename Fn>
Fn find(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Each export not used by the reading run, with its result checked here and
// its effect on the unit checked by the test: the pushes and mode changes on
// an open connection, then the ones that connect by themselves.
int pushes(HMODULE library, const char* unit, const char* file) {
    auto uxOpen = find<OpenFn>(library, "uxOpen");
    auto reOpen = find<OpenFn>(library, "ReOpen");
    auto uxClose = find<LongFn>(library, "uxClose");
    auto step = [](const char* name, long result, long expected) {
        std::printf("%s: %ld\n", name, result);
        check(result == expected, std::string(name) + " gives " + std::to_string(expected));
    };
    check(uxOpen(unit) > 0, "uxOpen lists modes");
    step("GetModeSize", find<SizeFn>(library, "GetModeSize")("UnitID"), 16);
    step("SendDisplayText", find<TextFn>(library, "SendDisplayText")("Hello from Wine"), 1);
    step("SendSpecialText", find<TextFn>(library, "SendSpecialText")("Printed on Wine"), 1);
    step("SendImageToDisplay", find<TextFn>(library, "SendImageToDisplay")(file), 1);
    step("SendFile", find<SetFn>(library, "SendFile")(file, "wine.txt"), 1);
    step("SendRegistration", find<LongFn>(library, "SendRegistration")(), 1);
    step("uxCommit", find<LongFn>(library, "uxCommit")(), 1);
    step("SendTarnix", find<SetFn>(library, "SendTarnix")("POSTimeout", "25"), 1);
    uxClose();
    step("ReOpen", reOpen(unit), 1);
    step("SendTerminate", find<LongFn>(library, "SendTerminate")(), 1);
    uxClose();
    step("Push", find<PushFn>(library, "Push")(unit, file, "pushed.txt"), 1);
    step("Fennick", find<SerialFn>(library, "Fennick")(unit, 19200, 7, "E", 2, "H"), 1);
    step("ReOpen", reOpen(unit), 1);
    step("uxRestart", find<LongFn>(library, "uxRestart")(), 1);
    uxClose();
    std::printf("failed checks: %d\n", failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool pushing = argc == 4 && std::strcmp(argv[1], "--pushes") == 0;
    if (argc != 3 && !pushing) {
        std::fprintf(stderr,
                     "usage: lumetra_dll_client UNIT_ADDRESS REFUSING_ADDRESS\n"
                     "       lumetra_dll_client --silent ADDRESS\n"
                     "       lumetra_dll_client --pushes UNIT_ADDRESS FILE\n");
        return 2;
    }
    HMODULE library = LoadLibraryA("Lumetra.dll");
    if (library == nullptr) {
        std::printf("FAIL: LoadLibrary(Lumetra.dll): error %lu\n", GetLastError());
        return 1;
    }
    int found = 0;
    for (const char* name : windows_test::kLumetraExports) {
        bool present = GetProcAddress(library, name) != nullptr;
        check(present, std::string("GetProcAddress(") + name + ")");
        found += present;
    }
    std::printf("exports found: %d\n", found);
    if (found != 24)
        return 1;
    if (pushing)
        return pushes(library, argv[2], argv[3]);

    auto uxOpen = find<OpenFn>(library, "uxOpen");
    auto uxClose = find<LongFn>(library, "uxClose");
    auto uxGetLastError = find<ShortFn>(library, "uxGetLastError");
    auto getFirst = find<NameFn>(library, "GetFirstModeName");
    auto getNext = find<NameFn>(library, "GetNextModeName");
    auto getMode = find<LookupFn>(library, "GetMode");
    auto getType = find<LookupFn>(library, "GetModeType");
    auto getHelp = find<LookupFn>(library, "GetModeHelp");
    auto getNVRam = find<LookupFn>(library, "GetNVRamMode");
    auto uxSetMode = find<SetFn>(library, "uxSetMode");
    auto sendNop = find<LongFn>(library, "SendDataNOP");
    Parity seen;

    if (std::strcmp(argv[1], "--silent") == 0) {
        // A unit that takes the connection and never answers: the reply
        // time-out ends uxOpen, and the library goes on without a connection.
        DWORD start = GetTickCount();
        check(uxOpen(argv[2]) == 0, "uxOpen of a silent unit gives 0");
        DWORD waited = GetTickCount() - start;
        std::printf("silent unit: uxOpen returned after %lu ms\n", waited);
        check(waited >= 9000 && waited < 30000, "the reply time-out is about 10 s");
        check(take(getMode("UnitID"), "GetMode after the time-out", seen).empty(),
              "GetMode after the time-out is empty");
        check(uxClose() == 1, "uxClose after the time-out gives 1");
        std::printf("failed checks: %d\n", failures);
        return failures == 0 ? 0 : 1;
    }

    // Without a connection: empty strings and 0, no crash.
    check(take(getMode("UnitID"), "GetMode before uxOpen", seen).empty(),
          "GetMode before uxOpen is empty");
    check(sendNop() == 0, "SendDataNOP before uxOpen gives 0");

    DWORD start = GetTickCount();
    check(uxOpen(argv[2]) == 0, "uxOpen of a refusing address gives 0");
    DWORD waited = GetTickCount() - start;
    check(waited >= 400 && waited < 5000,
          "refused connect waits about 0.5 s, took " + std::to_string(waited) + " ms");
    check(uxGetLastError() == 1, "uxGetLastError after a failed uxOpen is 1");

    int modes = uxOpen(argv[1]);
    check(modes > 0, "uxOpen of the unit lists modes");
    check(uxGetLastError() == 0, "uxGetLastError after uxOpen is 0");
    int names = 0;
    for (std::string name = take(getFirst(), "GetFirstModeName", seen); !name.empty();
         name = take(getNext(), "GetNextModeName", seen)) {
        ++names;
        take(getType(name.c_str()), "GetModeType " + name, seen);
        take(getHelp(name.c_str()), "GetModeHelp " + name, seen);
        take(getNVRam(name.c_str()), "GetNVRamMode " + name, seen);
    }
    check(names == modes,
          "enumeration gives " + std::to_string(names) + " of " + std::to_string(modes) + " modes");
    check(take(getMode("NoSuchMode"), "GetMode unknown", seen).empty(),
          "GetMode of an unknown mode is empty");
    check(uxSetMode("UnitID", "Wine7") == 1, "uxSetMode UnitID = Wine7 accepted");
    check(take(getMode("UnitID"), "GetMode UnitID", seen) == "Wine7", "GetMode reads Wine7 back");
    check(uxSetMode("UnitID", "Wine") == 1, "uxSetMode UnitID = Wine accepted");
    check(take(getMode("UnitID"), "GetMode UnitID", seen) == "Wine", "GetMode reads Wine back");
    check(seen.even > 0 && seen.odd > 0, "string results of even and odd lengths seen");
    check(uxClose() == 1 && uxClose() == 1, "uxClose twice gives 1");
    check(sendNop() == 0, "SendDataNOP after uxClose gives 0");

    FreeLibrary(library);
    std::printf("modes: %d, even strings: %d, odd strings: %d, failed checks: %d\n", modes,
                seen.even, seen.odd, failures);
    return failures == 0 ? 0 : 1;
}
