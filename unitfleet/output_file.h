// SPDX-License-Identifier: Apache-2.0
// A file the user names for output (-o, --prometheus): written whole
// (atomically), and only ever a regular file. A symlink at the path is kept
// and the file it points to replaced, atomically beside that file; a device,
// FIFO, socket or folder there is refused, so `-o /dev/null` as root never
// turns /dev/null into a plain file.
#pragma once

#include <string>
#include <string_view>

namespace unitfleet {

// False with a message in `error` when the path is not (and does not lead
// to) a regular file or a new name, or the write fails.
bool writeOutputFile(const std::string& path, std::string_view content, std::string& error);

}  // namespace unitfleet
