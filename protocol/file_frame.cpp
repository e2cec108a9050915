// SPDX-License-Identifier: Apache-2.0
#include "protocol/file_frame.h"

#include <cstdio>
#include <new>

#include "platform/file_stamp.h"
#include "platform/regular_file.h"
#include "protocol/payload.h"

namespace protocol {

namespace {

// Reads exactly `size` bytes into `into`; a file that grew or shrank since
// it was measured is refused.
bool readExactly(std::FILE* file, std::uint8_t* into, std::size_t size) {
    if (size > 0 && std::fread(into, 1, size, file) != size)
        return false;
    return std::fgetc(file) == EOF && !std::ferror(file);
}

// Opens the file and measures it on the open descriptor.
struct Opened {
    platform::ReadFile file;
    std::uintmax_t size = 0;
};
std::optional<Opened> openMeasured(const std::string& path) {
    Opened opened{platform::openRegularFile(path)};
    if (!opened.file)
        return std::nullopt;
    std::optional<platform::FileStamp> stamp = platform::stampOf(opened.file.get());
    if (!stamp || stamp->size < 0)
        return std::nullopt;
    opened.size = static_cast<std::uintmax_t>(stamp->size);
    return opened;
}

}  // namespace

std::optional<std::uintmax_t> regularFileSize(const std::string& path) {
    std::optional<Opened> opened = openMeasured(path);
    if (!opened)
        return std::nullopt;
    return opened->size;
}

LoadedFile loadRegularFile(const std::string& path, std::size_t mostContent,
                           std::size_t zeroPadding) {
    LoadedFile loaded;
    std::optional<Opened> opened = openMeasured(path);
    if (!opened) {
        loaded.status = LoadedFile::Status::CannotOpen;
        return loaded;
    }
    loaded.size = opened->size;
    if (opened->size > mostContent) {
        loaded.status = LoadedFile::Status::TooLarge;
        return loaded;
    }
    try {
        std::size_t size = static_cast<std::size_t>(opened->size);
        loaded.bytes.assign(size + zeroPadding, 0);
        if (!readExactly(opened->file.get(), loaded.bytes.data(), size)) {
            loaded.bytes.clear();
            loaded.status = LoadedFile::Status::ReadFailed;
            return loaded;
        }
    } catch (const std::bad_alloc&) {
        loaded.status = LoadedFile::Status::NoMemory;
        return loaded;
    } catch (const std::length_error&) {
        loaded.status = LoadedFile::Status::NoMemory;
        return loaded;
    }
    loaded.status = LoadedFile::Status::Loaded;
    return loaded;
}

std::optional<std::vector<std::uint8_t>> loadFileContent(const std::string& path,
                                                         std::size_t mostContent,
                                                         std::size_t zeroPadding) {
    LoadedFile loaded = loadRegularFile(path, mostContent, zeroPadding);
    if (loaded.status != LoadedFile::Status::Loaded)
        return std::nullopt;
    return std::move(loaded.bytes);
}

std::optional<std::vector<std::uint8_t>> loadFileFrame(const std::string& path,
                                                       std::string_view kind,
                                                       std::string_view destination,
                                                       std::size_t maxFrameSize) {
    std::size_t overhead = fileFrameSize(kind, destination, 0);
    if (overhead > maxFrameSize)
        return std::nullopt;
    std::optional<Opened> opened = openMeasured(path);
    if (!opened || opened->size > maxFrameSize - overhead)
        return std::nullopt;
    std::size_t size = static_cast<std::size_t>(opened->size);
    try {
        std::vector<std::uint8_t> frame(fileFrameSize(kind, destination, size), 0);
        std::size_t length = buildFileFrameHeader(frame, kind, destination, size);
        if (length == 0)
            return std::nullopt;
        std::uint8_t* content = frame.data() + fileContentOffset(kind, destination);
        if (!readExactly(opened->file.get(), content, size))
            return std::nullopt;
        frame.resize(length);
        return frame;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
}

}  // namespace protocol
