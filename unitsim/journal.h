// SPDX-License-Identifier: Apache-2.0
// The unit's journal: one line per message received or sent (and a note per
// connection event), kept in memory and optionally appended to a file,
// flushed per line so a test or a person can follow it live.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace unitsim {

class Journal {
  public:
    // The newest lines kept in memory: when there are more, the oldest quarter goes.
    static constexpr std::size_t kMemoryLines = 65536;

    // Appends to `path` from now on; false and a message when it cannot be opened.
    // The file is opened for each line and closed again, so that thousands of
    // units in one process hold no descriptor for their journals.
    bool openFile(const std::string& path, std::string& error);
    // Off: lines go to the file only (a unit no one asks for its lines).
    void keepInMemory(bool keep) { inMemory_ = keep; }
    void add(std::string line);
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    std::vector<std::string> lines_;
    std::string path_;
    bool inMemory_ = true;
};

// The journal's line format, for --help.
extern const char* const kJournalHelp;

}  // namespace unitsim
