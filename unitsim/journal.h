// The unit's journal: one line per message received or sent (and a note per
// connection event), kept in memory and optionally appended to a file,
// flushed per line so a test or a person can follow it live.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace unitsim {

class Journal {
  public:
    // Appends to `path` from now on; false and a message when it cannot be opened.
    bool openFile(const std::string& path, std::string& error);
    void add(std::string line);
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::vector<std::string> lines_;
    std::unique_ptr<std::FILE, Closer> file_;
};

// The journal's line format, for --help.
extern const char* const kJournalHelp;

}  // namespace unitsim
