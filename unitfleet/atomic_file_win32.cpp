// Windows: the temporary file is written with the C runtime and moved over
// the target with MoveFileEx, which replaces an existing file (rename does
// not on Windows).
#include <io.h>
#include <process.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "unitfleet/atomic_file.h"

namespace unitfleet {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr)
            std::fclose(file);
    }
};

std::string systemMessage(DWORD code) {
    char text[256] = "";
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view content, bool durable,
                         std::string& error) {
    std::string temporary = path + ".tmp" + std::to_string(::_getpid());
    std::FILE* raw = std::fopen(temporary.c_str(), "wb");
    if (raw == nullptr) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(raw);
    bool ok = std::fwrite(content.data(), 1, content.size(), raw) == content.size() &&
              std::fflush(raw) == 0 && (!durable || ::_commit(::_fileno(raw)) == 0);
    int saved = errno;
    ok = std::fclose(file.release()) == 0 && ok;
    if (!ok) {
        error = path + ": " + std::strerror(saved);
        std::remove(temporary.c_str());
        return false;
    }
    DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    if (::MoveFileExA(temporary.c_str(), path.c_str(), flags))
        return true;
    error = path + ": " + systemMessage(::GetLastError());
    std::remove(temporary.c_str());
    return false;
}

}  // namespace unitfleet
