// SPDX-License-Identifier: Apache-2.0
// Pushes to the unit: display and special text, images and files on the
// open connection, `Push` on a connection of its own, and the bare
// registration, terminate and keep-alive frames.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "lumetra/lumetra.h"
#include "lumetra/session.h"
#include "protocol/payload.h"

namespace lumetra {

namespace {

using protocol::Bytes;
using protocol::DataSubtype;
using protocol::FrameType;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Size of a regular, non-empty file; an empty one is nothing to send.
std::optional<std::size_t> contentSize(const char* path) {
    if (path == nullptr)
        return std::nullopt;
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == 0 || size > SIZE_MAX / 2)
        return std::nullopt;
    return static_cast<std::size_t>(size);
}

// Builds a FILE frame in `buffer` with the file's bytes read straight into
// their place; 0 when the file is unreadable, empty, changed size, or the
// frame does not fit.
std::size_t buildFromFile(Bytes buffer, const char* path, std::string_view kind,
                          std::string_view destination) {
    std::optional<std::size_t> size = contentSize(path);
    if (!size)
        return 0;
    File file(std::fopen(path, "rb"));
    if (!file)
        return 0;
    std::size_t length = protocol::buildFileFrameHeader(buffer, kind, destination, *size);
    if (length == 0)
        return 0;
    std::uint8_t* content = buffer.data() + protocol::fileContentOffset(kind, destination);
    if (std::fread(content, 1, *size, file.get()) != *size)
        return 0;
    return length;
}

int32_t sendText(const char* text, DataSubtype subtype) {
    Session& s = session();
    if (text == nullptr || !s.isOpen())
        return 0;
    std::size_t length = protocol::buildDataText(s.buffer(), subtype, std::string_view(text),
                                                 protocol::kLibraryTextPadding);
    return s.sendFrame(length) ? 1 : 0;
}

int32_t sendFromFile(const char* path, std::string_view kind, std::string_view destination) {
    Session& s = session();
    if (!s.isOpen())
        return 0;
    std::size_t length = buildFromFile(s.buffer(), path, kind, destination);
    return s.sendFrame(length) ? 1 : 0;
}

int32_t sendEmpty(FrameType type) {
    Session& s = session();
    if (!s.isOpen())
        return 0;
    return s.sendFrame(protocol::buildEmpty(s.buffer(), type)) ? 1 : 0;
}

// Push's own frame, sized to the file, so any size goes.
bool pushFile(const char* path, std::string_view destination) {
    std::optional<std::size_t> size = contentSize(path);
    if (!size)
        return false;
    std::vector<std::uint8_t> frame(
        protocol::fileFrameSize(protocol::kFileKindFile, destination, *size));
    std::size_t length = buildFromFile(frame, path, protocol::kFileKindFile, destination);
    return length != 0 && session().sendFrame(protocol::ConstBytes(frame.data(), length));
}

int32_t push(const char* unitAddress, const char* path, const char* destination) {
    Session& s = session();
    if (!s.connect(unitAddress)) {
        s.close();
        return 0;
    }
    bool sent = destination != nullptr && pushFile(path, destination);
    // Push owns this connection from start to end, failure or not.
    s.close();
    return sent ? 1 : 0;
}

}  // namespace

}  // namespace lumetra

using lumetra::guarded;

extern "C" {

LUMETRA_API int32_t LUMETRA_CALL SendDisplayText(const char* text) {
    return guarded<int32_t>(
        0, [&] { return lumetra::sendText(text, protocol::DataSubtype::DisplayText); });
}

LUMETRA_API int32_t LUMETRA_CALL SendSpecialText(const char* text) {
    return guarded<int32_t>(
        0, [&] { return lumetra::sendText(text, protocol::DataSubtype::SpecialText); });
}

LUMETRA_API int32_t LUMETRA_CALL SendImageToDisplay(const char* filePath) {
    return guarded<int32_t>(
        0, [&] { return lumetra::sendFromFile(filePath, protocol::kFileKindImage, {}); });
}

LUMETRA_API int32_t LUMETRA_CALL SendFile(const char* filePath, const char* destinationName) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        if (destinationName == nullptr)
            return 0;
        return lumetra::sendFromFile(filePath, protocol::kFileKindFile, destinationName);
    });
}

LUMETRA_API int32_t LUMETRA_CALL Push(const char* unitAddress, const char* filePath,
                                      const char* destinationName) {
    return guarded<int32_t>(0, [&] {
        try {
            return lumetra::push(unitAddress, filePath, destinationName);
        } catch (...) {
            lumetra::session().close();
            throw;
        }
    });
}

LUMETRA_API int32_t LUMETRA_CALL SendRegistration(void) {
    return guarded<int32_t>(0,
                            [] { return lumetra::sendEmpty(protocol::FrameType::Registration); });
}

LUMETRA_API int32_t LUMETRA_CALL SendTerminate(void) {
    return guarded<int32_t>(0, [] { return lumetra::sendEmpty(protocol::FrameType::Terminate); });
}

LUMETRA_API int32_t LUMETRA_CALL SendDataNOP(void) {
    return guarded<int32_t>(0, []() -> int32_t {
        lumetra::Session& s = lumetra::session();
        if (!s.isOpen())
            return 0;
        return s.sendFrame(protocol::buildKeepAlive(s.buffer())) ? 1 : 0;
    });
}

}  // extern "C"
