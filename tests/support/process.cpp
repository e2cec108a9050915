// SPDX-License-Identifier: Apache-2.0
#include "tests/support/process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace support {

namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
    int read = -1;
    int write = -1;
    bool open() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
};

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Starts argv with the given pipes as its standard streams; -1 on failure.
int spawn(const std::vector<std::string>& argv, const std::string& cwd, int in, int out, int err,
          const std::vector<int>& closeInChild) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd : closeInChild) ::close(fd);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    execv(args[0], args.data());
    _exit(127);
}

bool readAvailable(int fd, std::string& into) {
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        return n == 0 ? false : (errno == EAGAIN || errno == EINTR);
    }
}

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

int decodeStatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

void killAndReap(int pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

RunResult run(const std::vector<std::string>& argv, const RunOptions& options) {
    RunResult result;
    Pipe in, out, err;
    if (!in.open() || !out.open() || !err.open()) return result;
    int pid = spawn(argv, options.workingDirectory, in.read, out.write, err.write,
                    {in.write, out.read, err.read, in.read, out.write, err.write});
    closeFd(in.read);
    closeFd(out.write);
    closeFd(err.write);
    signal(SIGPIPE, SIG_IGN);
    if (!options.input.empty()) {
        (void)!::write(in.write, options.input.data(), options.input.size());
    }
    closeFd(in.write);
    setNonBlocking(out.read);
    setNonBlocking(err.read);
    auto deadline = Clock::now() + options.timeout;
    bool outOpen = true, errOpen = true;
    while ((outOpen || errOpen) && Clock::now() < deadline) {
        pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
        poll(fds, 2, 50);
        if (outOpen) outOpen = readAvailable(out.read, result.out);
        if (errOpen) errOpen = readAvailable(err.read, result.err);
    }
    int raw = 0;
    if (outOpen || errOpen) {
        result.timedOut = true;
        killAndReap(pid);
    } else {
        while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
        result.status = decodeStatus(raw);
    }
    closeFd(out.read);
    closeFd(err.read);
    return result;
}

Background::Background(const std::vector<std::string>& argv, const std::string& cwd) {
    Pipe out, err;
    if (!out.open() || !err.open()) return;
    int devNull = ::open("/dev/null", O_RDONLY);
    pid_ = spawn(argv, cwd, devNull, out.write, err.write,
                 {out.read, err.read, out.write, err.write, devNull});
    ::close(devNull);
    closeFd(out.write);
    closeFd(err.write);
    outFd_ = out.read;
    errFd_ = err.read;
    setNonBlocking(outFd_);
    setNonBlocking(errFd_);
}

Background::~Background() {
    killAndReap(pid_);
    closeFd(outFd_);
    closeFd(errFd_);
}

bool Background::running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

void Background::drain() {
    if (outFd_ >= 0) readAvailable(outFd_, out_);
    if (errFd_ >= 0) readAvailable(errFd_, err_);
}

RunResult Background::stop() {
    RunResult result;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int raw = 0;
        for (int i = 0; i < 200; ++i) {
            drain();
            if (waitpid(pid_, &raw, WNOHANG) == pid_) {
                result.status = decodeStatus(raw);
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        killAndReap(pid_);
        pid_ = -1;
    }
    drain();
    result.out = out_;
    result.err = err_;
    return result;
}

RunResult Background::kill() {
    RunResult result;
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int raw = 0;
        while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
        }
        result.status = decodeStatus(raw);
        pid_ = -1;
    }
    drain();
    result.out = out_;
    result.err = err_;
    return result;
}

std::string Background::outputSoFar() {
    drain();
    return out_;
}

std::string Background::errorSoFar() {
    drain();
    return err_;
}

namespace {

bool waitForText(const std::function<std::string()>& soFar, const std::string& text,
                 std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (soFar().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return soFar().find(text) != std::string::npos;
}

}  // namespace

bool Background::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    return waitForText([this] { return outputSoFar(); }, text, timeout);
}

bool Background::waitForError(const std::string& text, std::chrono::milliseconds timeout) {
    return waitForText([this] { return errorSoFar(); }, text, timeout);
}

bool waitForPort(const std::string& address, unsigned short port,
                 std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    while (Clock::now() < deadline) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        bool ok = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
        ::close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

namespace {

bool makeOwnNetworkNamespace(std::string& error) {
    if (unshare(CLONE_NEWNET) != 0) {
        error = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
        return false;
    }
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags |= IFF_UP | IFF_RUNNING;
    ok = ok && ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) error = std::string("bringing up lo: ") + std::strerror(errno);
    return ok;
}

}  // namespace

bool enterOwnNetworkNamespace(std::string& error) {
    // Once per process: a second namespace would cut this process off from
    // the servers it started in the first.
    static std::string reason;
    static const bool entered = makeOwnNetworkNamespace(reason);
    error = reason;
    return entered;
}

std::string Capture::text() const {
    std::fflush(file_);
    long end = std::ftell(file_);
    std::string all(static_cast<std::size_t>(end < 0 ? 0 : end), '\0');
    std::rewind(file_);
    all.resize(std::fread(all.data(), 1, all.size(), file_));
    std::fseek(file_, 0, SEEK_END);
    return all;
}

std::string makeTempDir(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    return mkdtemp(name.data()) ? std::string(name.data()) : std::string();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace support
