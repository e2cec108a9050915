// SPDX-License-Identifier: Apache-2.0
#include "unitsim/journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace unitsim {

const char* const kJournalHelp =
    "Journal: one line per message, in memory and (with --journal FILE) appended to FILE:\n"
    "  recv MDSQ \"UnitID = x\"         a frame received: type code and its text\n"
    "  send MODR \"UnitID = x\"         a frame sent; texts are quoted with \\r \\n \\t \\\\\n"
    "                                 \\\" and \\xHH escapes\n"
    "  send ERR_ \"Unknown mode: X\"\n"
    "  send DATA NOP_                 a keep-alive\n"
    "  recv DATA TEXT \"hello\"         DATA frames: subtype, then the text\n"
    "  recv DATA SHOW double-byte FEFF0041   double-byte text in hex\n"
    "  recv DATA FILE FILE \"name\" 10 bytes   a file; kind GIF_ has no name\n"
    "  recv RGST \"unit\" \"product\" \"ip\"\n"
    "  recv EVNT starts=0x20 stops=0x00 time=0 key=0x41 column=0 row=0 text=\"\"\n"
    "  recv TERM \"\"\n"
    "  recv \"abcd\" 0102             a frame of unknown type: its code, body in hex\n"
    "  recv text \"barcode\"            unframed text up to its zero byte\n"
    "  recv text \"<img.gif\" file 10 bytes   an in-line file: reference, size, bytes\n"
    "  recv partial 000000            bytes that made no whole message when the peer closed\n"
    "  Faults add to a send line: (cut after N of M bytes, closed) or\n"
    "  (length field 0x7FFFFFF0).\n"
    "  Connection events are notes: note #N open from ADDR, note #N closed by peer,\n"
    "  note #N closed by unit, note #N bad length L, closing,\n"
    "  note #N restart: uncommitted values dropped.\n";

bool Journal::openFile(const std::string& path, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (!f) {
        error = path + ": cannot open journal: " + std::strerror(errno);
        return false;
    }
    std::fclose(f);
    path_ = path;
    return true;
}

void Journal::add(std::string line) {
    if (!path_.empty()) {
        // A line that cannot be written (disk full, file removed with its
        // folder) is lost from the file only; serving goes on.
        if (std::FILE* f = std::fopen(path_.c_str(), "a")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }
    if (!inMemory_)
        return;
    if (lines_.size() >= kMemoryLines)
        lines_.erase(lines_.begin(), lines_.begin() + kMemoryLines / 4);
    lines_.push_back(std::move(line));
}

}  // namespace unitsim
