// SPDX-License-Identifier: Apache-2.0
// What tells one version of a file from another without reading it: device,
// file index (inode), size, and modification and change times as finely as
// the system keeps them (nanoseconds here, 100 ns on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace platform {

struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;  // since 1970
    std::int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path`; nothing when it cannot be had.
std::optional<FileStamp> stampOf(const std::string& path);

// The stamp of a file already open, so that it describes exactly what is
// read from it.
std::optional<FileStamp> stampOf(std::FILE* file);

}  // namespace platform
