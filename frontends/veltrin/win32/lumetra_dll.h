// SPDX-License-Identifier: Apache-2.0
// Lumetra.dll bound the Windows way: loaded from the program's own
// folder (platform::SharedLibrary), each export by name at its first call,
// string results freed with SysFreeString.
#pragma once

#include <memory>
#include <string>

#include "frontends/veltrin/lumetra_calls.h"

namespace veltrin {

// The library in `folder` (ending in a backslash).
std::unique_ptr<Library> bindLumetraDll(const std::wstring& folder);

}  // namespace veltrin
