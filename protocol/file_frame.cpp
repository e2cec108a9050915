#include "protocol/file_frame.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "protocol/payload.h"

namespace protocol {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The size of a regular file that is at most `most` bytes.
std::optional<std::size_t> sizeUpTo(const std::string& path, std::size_t most) {
    std::optional<std::uintmax_t> size = regularFileSize(path);
    if (!size || *size > most)
        return std::nullopt;
    return static_cast<std::size_t>(*size);
}

// Reads exactly `size` bytes into `into`; a file that changed size since it
// was measured is refused.
bool readExactly(const std::string& path, std::uint8_t* into, std::size_t size) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    if (size > 0 && std::fread(into, 1, size, file.get()) != size)
        return false;
    return std::fgetc(file.get()) == EOF;
}

}  // namespace

std::optional<std::uintmax_t> regularFileSize(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || error)
        return std::nullopt;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    return size;
}

std::optional<std::vector<std::uint8_t>> loadFileContent(const std::string& path,
                                                         std::size_t mostContent,
                                                         std::size_t zeroPadding) {
    std::optional<std::size_t> size = sizeUpTo(path, mostContent);
    if (!size)
        return std::nullopt;
    try {
        std::vector<std::uint8_t> content(*size + zeroPadding, 0);
        if (!readExactly(path, content.data(), *size))
            return std::nullopt;
        return content;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> loadFileFrame(const std::string& path,
                                                       std::string_view kind,
                                                       std::string_view destination,
                                                       std::size_t maxFrameSize) {
    std::size_t overhead = fileFrameSize(kind, destination, 0);
    if (overhead > maxFrameSize)
        return std::nullopt;
    std::optional<std::size_t> size = sizeUpTo(path, maxFrameSize - overhead);
    if (!size)
        return std::nullopt;
    try {
        std::vector<std::uint8_t> frame(fileFrameSize(kind, destination, *size), 0);
        std::size_t length = buildFileFrameHeader(frame, kind, destination, *size);
        if (length == 0)
            return std::nullopt;
        if (!readExactly(path, frame.data() + fileContentOffset(kind, destination), *size)) {
            return std::nullopt;
        }
        frame.resize(length);
        return frame;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
}

}  // namespace protocol
