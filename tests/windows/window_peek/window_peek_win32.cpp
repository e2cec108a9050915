// SPDX-License-Identifier: Apache-2.0
// window_peek TITLE [PROGRAM]: prints the top-level window titled TITLE (of
// the process running PROGRAM, a full path, when given: tests running side by
// side share one Wine server and so one set of windows) and each of its child
// controls, one line each, for tests that drive a window from outside:
//   window LEFT TOP RIGHT BOTTOM          (its client area, screen pixels)
//   ID CLASS ENABLED VISIBLE LEFT TOP RIGHT BOTTOM TEXT
// Texts are written as UTF-8, line ends inside them as "\n".
// Exit status 1 when no such window exists.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
    std::wstring flat;
    for (wchar_t c : text) {
        if (c == L'\r')
            continue;
        if (c == L'\n')
            flat += L"\\n";
        else
            flat += c;
    }
    if (flat.empty())
        return {};
    const int size = static_cast<int>(flat.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, flat.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, flat.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring textOf(HWND window) {
    // WM_GETTEXT reaches controls of another process too.
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

BOOL CALLBACK printChild(HWND child, LPARAM) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    RECT r{};
    GetWindowRect(child, &r);
    std::printf("%d %s %d %d %ld %ld %ld %ld %s\n", GetDlgCtrlID(child), utf8(className).c_str(),
                IsWindowEnabled(child) ? 1 : 0, IsWindowVisible(child) ? 1 : 0, r.left, r.top,
                r.right, r.bottom, utf8(textOf(child)).c_str());
    return TRUE;
}

struct Search {
    const wchar_t* title;
    const wchar_t* program;  // null: any
    HWND found = nullptr;
};

bool runs(HWND window, const wchar_t* program) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (handle == nullptr)
        return false;
    wchar_t path[MAX_PATH * 4] = {};
    DWORD size = MAX_PATH * 4;
    const bool ok = QueryFullProcessImageNameW(handle, 0, path, &size) != 0;
    CloseHandle(handle);
    return ok && lstrcmpiW(path, program) == 0;
}

BOOL CALLBACK match(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<Search*>(search);
    if (textOf(window) != s->title || (s->program != nullptr && !runs(window, s->program)))
        return TRUE;
    s->found = window;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: window_peek TITLE [PROGRAM]\n");
        return 2;
    }
    // Places in the screen's own pixels, whatever its DPI.
    SetProcessDPIAware();
    Search search{argv[1], argc == 3 ? argv[2] : nullptr};
    EnumWindows(match, reinterpret_cast<LPARAM>(&search));
    HWND window = search.found;
    if (window == nullptr)
        return 1;
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::printf("window %ld %ld %ld %ld\n", client.left, client.top, client.right, client.bottom);
    EnumChildWindows(window, printChild, 0);
    return 0;
}
