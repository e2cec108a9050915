// Reading a file whole into a DATA FILE frame for sending it to a unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

// A DATA FILE frame holding the file at `path`: kind kFileKindFile with a
// destination name, or kFileKindImage without one (as buildFileFrame).
// Nothing when `path` is not a regular file, cannot be read, or the frame
// would exceed `maxFrameSize`; the size is checked before anything is read.
std::optional<std::vector<std::uint8_t>> loadFileFrame(const std::string& path,
                                                       std::string_view kind,
                                                       std::string_view destination,
                                                       std::size_t maxFrameSize);

}  // namespace protocol
