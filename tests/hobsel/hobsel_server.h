// SPDX-License-Identifier: Apache-2.0
// A Hobsel process on a port of its own, serving from a fresh folder with a
// data file, and the simulated unit's view of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "unitsim/host.h"

namespace hobsel_test {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text);  // the text's bytes, no zero added
std::string textOf(const Bytes& bytes);

class HobselServer {
  public:
    // Starts Hobsel with `args` and `port`; the folder holds "data.dat" with
    // `data`. Readiness is probed with one connection that sends nothing, which
    // Hobsel counts as a request.
    // Units connect from `unitNet` followed by their last octet.
    HobselServer(std::uint16_t port, const std::vector<std::string>& args, const std::string& data,
                 const std::string& unitNet = "127.0.4.");

    bool ready() const { return ready_; }
    const std::string& dir() const { return dir_; }
    // The unit at 127.0.4.`last`.
    unitsim::HostTarget unit(int last = 1) const;
    Bytes barcode(const std::string& text, int last = 1) const;  // sent as bare text
    std::string output() { return process_->outputSoFar(); }
    bool waitForOutput(const std::string& text) {
        return process_->waitForOutput(text, std::chrono::seconds(10));
    }
    bool waitForError(const std::string& text, std::chrono::milliseconds timeout) {
        return process_->waitForError(text, timeout);
    }
    bool running() const { return process_->running(); }
    int pid() const { return process_->pid(); }
    support::RunResult stop() { return process_->stop(); }

  private:
    std::uint16_t port_;
    std::string unitNet_;
    std::string dir_;
    std::unique_ptr<support::Background> process_;
    bool ready_ = false;
};

}  // namespace hobsel_test
