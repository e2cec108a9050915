// SPDX-License-Identifier: Apache-2.0
// The functions Lumetra.dll exports by name: what window programs look up.
// Shared by the Windows test program and the Linux test of the export table.
#pragma once

namespace windows_test {

inline constexpr const char* kLumetraExports[] = {"uxOpen",           "ReOpen",
                                                  "uxClose",          "uxGetLastError",
                                                  "GetMode",          "GetModeSize",
                                                  "GetModeType",      "GetModeHelp",
                                                  "GetNVRamMode",     "GetFirstModeName",
                                                  "GetNextModeName",  "uxSetMode",
                                                  "SendTarnix",       "uxCommit",
                                                  "uxRestart",        "SendDisplayText",
                                                  "SendSpecialText",  "SendImageToDisplay",
                                                  "SendFile",         "Push",
                                                  "SendRegistration", "SendDataNOP",
                                                  "SendTerminate",    "Fennick"};

}  // namespace windows_test
