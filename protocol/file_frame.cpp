#include "protocol/file_frame.h"

#include <filesystem>
#include <fstream>

#include "protocol/payload.h"

namespace protocol {

std::optional<std::vector<std::uint8_t>> loadFileFrame(const std::string& path,
                                                       std::string_view kind,
                                                       std::string_view destination,
                                                       std::size_t maxFrameSize) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > maxFrameSize || fileFrameSize(kind, destination, size) > maxFrameSize)
        return std::nullopt;
    std::vector<std::uint8_t> frame(fileFrameSize(kind, destination, size));
    const std::size_t length = buildFileFrameHeader(frame, kind, destination, size);
    if (length != frame.size())
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    auto* content = reinterpret_cast<char*>(frame.data() + fileContentOffset(kind, destination));
    if (!in.read(content, static_cast<std::streamsize>(size)))
        return std::nullopt;
    return frame;
}

}  // namespace protocol
