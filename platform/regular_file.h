// SPDX-License-Identifier: Apache-2.0
// Opening a file to read it whole for a unit or a data file, checked on the
// opened file itself: what is read is what was checked, and a FIFO or a
// device put in the file's place is never waited on.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace platform {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr)
            std::fclose(file);
    }
};
using ReadFile = std::unique_ptr<std::FILE, FileCloser>;

// `path` opened for reading in binary mode when it is a regular file; null
// when it is missing, cannot be opened, or is anything else (a directory, a
// FIFO, a device). The open itself does not wait (O_NONBLOCK), and the check
// is made on the open descriptor, so nothing can be swapped in between.
ReadFile openRegularFile(const std::string& path);

}  // namespace platform
