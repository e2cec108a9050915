// window_peek TITLE: prints the top-level window titled TITLE and each of its
// child controls, one line each, for tests that drive a window from outside:
//   window LEFT TOP RIGHT BOTTOM          (its client area, screen pixels)
//   ID CLASS ENABLED VISIBLE LEFT TOP RIGHT BOTTOM TEXT
// Texts are written as 8-bit bytes (Latin-1), line ends inside them as "\n".
// Exit status 1 when no such window exists.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string latin1(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\r')
            continue;
        if (c == L'\n')
            out += "\\n";
        else
            out += c <= 0xFF ? static_cast<char>(c) : '?';
    }
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
    std::printf("%d %s %d %d %ld %ld %ld %ld %s\n", GetDlgCtrlID(child), latin1(className).c_str(),
                IsWindowEnabled(child) ? 1 : 0, IsWindowVisible(child) ? 1 : 0, r.left, r.top,
                r.right, r.bottom, latin1(textOf(child)).c_str());
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_peek TITLE\n");
        return 2;
    }
    HWND window = FindWindowW(nullptr, argv[1]);
    if (window == nullptr)
        return 1;
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::printf("window %ld %ld %ld %ld\n", client.left, client.top, client.right, client.bottom);
    EnumChildWindows(window, printChild, 0);
    return 0;
}
