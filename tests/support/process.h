// SPDX-License-Identifier: Apache-2.0
// Running the suite's programs from end-to-end tests: one-shot runs with
// captured output, and background servers that are always stopped.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace support {

struct RunResult {
    int status = -1;        // exit status (0..255); -1 when killed or not started
    bool timedOut = false;  // killed after the time-out
    std::string out;        // standard output
    std::string err;        // standard error
};

struct RunOptions {
    std::string input;                         // written to standard input, then closed
    std::string workingDirectory;              // empty: the test's own
    std::chrono::milliseconds timeout{20000};  // the process is killed after this
};

// Runs `argv` (argv[0] is the program's path) to its end.
RunResult run(const std::vector<std::string>& argv, const RunOptions& options = {});

// A program left running while a test talks to it. The destructor kills it
// (SIGTERM, then SIGKILL) and reaps it, so no test leaves a process behind.
class Background {
public:
    Background(const std::vector<std::string>& argv, const std::string& workingDirectory = {});
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    bool running() const;
    int pid() const { return pid_; }
    // Stops the process and returns what it wrote so far.
    RunResult stop();
    // Kills the process with SIGKILL, as a crash would end it, reaps it and
    // returns what it wrote so far.
    RunResult kill();
    // Standard output written so far (read without blocking).
    std::string outputSoFar();
    // Waits until standard output contains `text` or the time-out passes.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    // The same for standard error.
    std::string errorSoFar();
    bool waitForError(const std::string& text, std::chrono::milliseconds timeout);

private:
    void drain();
    int pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
};

// Waits until something accepts TCP connections on address:port, or the
// time-out passes.
bool waitForPort(const std::string& address, unsigned short port,
                 std::chrono::milliseconds timeout);

// Moves this test process into a network namespace of its own with only the
// loopback interface up, so a server may bind port 1283 on all addresses
// without touching the machine's own. Needs root; false (with a reason in
// `error`) when the namespace cannot be made, and the test should then skip.
// Only the first call enters one; later calls give its result.
bool enterOwnNetworkNamespace(std::string& error);

// A FILE* that in-process runs write to, read back as a string.
class Capture {
public:
    Capture() : file_(std::tmpfile()) {}
    ~Capture() {
        if (file_ != nullptr) std::fclose(file_);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::FILE* file() const { return file_; }
    std::string text() const;

private:
    std::FILE* file_;
};

// A fresh empty directory under the build tree's temporary area.
std::string makeTempDir(const std::string& prefix);
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);

}  // namespace support
