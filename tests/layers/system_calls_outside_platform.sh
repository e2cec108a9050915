#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fails, naming file:line, when code outside platform/ makes a system call
# (sockets, polling, files and folders, threads, consoles, signals, Win32) or
# tests _WIN32. platform/ is the only home of those; tests/ (which sets up
# hostile conditions with raw calls), bench/ (which measures with them) and
# fuzz/ are not product code and are not scanned, nor are unit tests and their
# fixtures beside the code (*_test.cpp, *_fixture.*, for the same reason as tests/).
#   system_calls_outside_platform.sh SOURCE_DIR
set -euo pipefail
cd "${1:?usage: $0 SOURCE_DIR}"

not_product='^(platform|tests|bench|fuzz|packaging|cmake|docs|build[^/]*)$'
# Files that must keep what they do, with the reason.
exempt=(
    # The public C header of the DLL: its calling convention differs on Windows.
    lumetra/lumetra.h
    # The DLL's string results are OLE strings there, which callers free with
    # SysFreeString: part of the C API, not a service of the system.
    lumetra/result_string_win32.cpp
)

headers='#[[:space:]]*include[[:space:]]*<(sys/|unistd\.h|fcntl\.h|poll\.h|netinet/|arpa/|netdb\.h|net[/]|windows\.h|winsock|ws2|mswsock|pthread\.h|signal\.h|csignal|dirent\.h|termios\.h|io\.h|direct\.h|process\.h|shlobj|oleauto|objbase|dlfcn\.h)'
calls='(^|[^[:alnum:]_:])::(socket|bind|connect|listen|accept4?|send|sendto|sendmsg|recv|recvfrom|recvmsg|poll|select|open|openat|close|fcntl|ioctl|read|write|pread|pwrite|fsync|fdatasync|fstat|stat|lstat|rename|unlink|mkdir|rmdir|opendir|readdir|pipe2?|dup2?|fork|execv|execvp|waitpid|kill|signal|sigaction|isatty|getpid|setsockopt|getsockopt|shutdown|symlink|readlink|chmod|flock|ftruncate|mmap|munmap|getaddrinfo|gethostname)[[:space:]]*\('
named='(^|[^[:alnum:]_])(epoll_[a-z_]+|pthread_[a-z_]+|WSA[A-Z][A-Za-z]*|fcntl|ioctl|isatty|_isatty|getpid|sigaction|std::signal|CreateFile[AW]?|MoveFileEx[AW]?|FormatMessage[AW]?|GetLastError|CloseHandle|CreateThread|WaitForSingleObject|SetConsole[A-Za-z]*|GetConsole[A-Za-z]*|GetModuleFileName[AW]?|dlopen|dlsym|dlclose|dlerror|LoadLibrary(Ex)?[AW]?|GetProcAddress|FreeLibrary)[[:space:]]*\('
windows='#[[:space:]]*(ifdef|ifndef|if|elif)[^\n]*_WIN32'

skip() {  # FILE
    local file=$1 entry
    for entry in "${exempt[@]}"; do [ "$file" = "$entry" ] && return 0; done
    # The windows' Win32 views: their toolkit is the Windows API, as the qt/
    # views' is Qt, and they are built for Windows only.
    [[ $file == */win32/* ]] && return 0
    # Test fixtures beside the code, as their tests.
    [[ $file == *_test.cpp || $file == *_fixture.cpp || $file == *_fixture.h ]]
}

found=0
while IFS= read -r -d '' file; do
    file=${file#./}
    skip "$file" && continue
    while IFS= read -r hit; do
        echo "$file:$hit"
        found=1
    done < <(grep -nE -e "$headers" -e "$calls" -e "$named" -e "$windows" "$file" || true)
done < <(find . -mindepth 1 -maxdepth 1 -type d ! -name '.*' -printf '%f\n' | grep -vE "$not_product" |
         xargs -r -I{} find {} -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0)

if [ $found -ne 0 ]; then
    echo "System calls and _WIN32 tests belong in platform/ (a foo.cpp/foo_win32.cpp pair)." >&2
    exit 1
fi
echo "No system calls outside platform/."
