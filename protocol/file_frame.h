// SPDX-License-Identifier: Apache-2.0
// Reading a file whole for sending it to a unit, safely: only regular files
// (a directory or a FIFO is never opened), the size checked against what the
// caller can send before anything is allocated, and no failure ends the
// program: it simply yields nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

// The size of the regular file at `path`; nothing for anything else
// (missing, a directory, a FIFO, a device).
std::optional<std::uintmax_t> regularFileSize(const std::string& path);

// A file read whole, with why it could not be where it could not: the file
// is opened once, and checked and measured on the open descriptor.
struct LoadedFile {
    enum class Status {
        Loaded,
        CannotOpen,  // missing, unreadable, or not a regular file
        TooLarge,    // above the caller's limit: nothing was read
        ReadFailed,  // fewer (or more) bytes than measured
        NoMemory,
    };
    Status status = Status::CannotOpen;
    std::uintmax_t size = 0;          // as measured, when it could be opened
    std::vector<std::uint8_t> bytes;  // the content and the zero padding
};
LoadedFile loadRegularFile(const std::string& path, std::size_t mostContent,
                           std::size_t zeroPadding = 0);

// The content of the regular file at `path`, followed by `zeroPadding` zero
// bytes. Nothing when the path is not a regular file, cannot be read, or its
// content is larger than `mostContent`, or memory runs out.
std::optional<std::vector<std::uint8_t>> loadFileContent(const std::string& path,
                                                         std::size_t mostContent,
                                                         std::size_t zeroPadding = 0);

// A DATA FILE frame holding the file: kind kFileKindFile with a destination
// name, or kFileKindImage without one (as buildFileFrame). Nothing when the
// file cannot be loaded as above or the frame would exceed `maxFrameSize`.
std::optional<std::vector<std::uint8_t>> loadFileFrame(const std::string& path,
                                                       std::string_view kind,
                                                       std::string_view destination,
                                                       std::size_t maxFrameSize);

}  // namespace protocol
