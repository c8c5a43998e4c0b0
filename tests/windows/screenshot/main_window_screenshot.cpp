// velkor_win32_screenshot PROGRAM_DIR OUT.bmp [KEY MENU.bmp]...: starts
// PROGRAM_DIR\VelkorISP.exe (with the velkor.ini the caller put beside it), clicks Program,
// waits for the run's last log line, copies the window with its frame from the screen into a
// 24-bit BMP and closes the program. Each KEY (a menu's access key, "f" for "&File") opens
// that menu and MENU.bmp shows the window with the open menu.
// scripts/screenshot-windows.sh runs it under Xvfb and wine's virtual desktop.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

DWORD g_pid = 0;
HWND g_window = nullptr;

BOOL CALLBACK FindWindowOfProcess(HWND hwnd, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t kind[16] = L"";
    GetClassNameW(hwnd, kind, 16);
    if (pid == g_pid && IsWindowVisible(hwnd) && std::wstring(kind) == L"#32770") {
        g_window = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::wstring LogText(HWND box) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(box, WM_GETTEXTLENGTH, 0, 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(box, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

HWND g_menu = nullptr;

BOOL CALLBACK FindOpenMenu(HWND hwnd, LPARAM) {
    wchar_t kind[16] = L"";
    GetClassNameW(hwnd, kind, 16);
    if (IsWindowVisible(hwnd) && std::wstring(kind) == L"#32768") {
        g_menu = hwnd;
        return FALSE;
    }
    return TRUE;
}

bool SaveArea(RECT r, const wchar_t* path) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), width, height, 1, 24, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD size = stride * static_cast<DWORD>(height);
    // The header sizes are size_t, 64 bits wide in the x64 build; the file's fields are 32.
    constexpr DWORD kHeaders = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    BITMAPFILEHEADER header{0x4D42, kHeaders + size, 0, 0, kHeaders};
    bool ok = false;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = WriteFile(file, &header, sizeof(header), &written, nullptr) &&
             WriteFile(file, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
             WriteFile(file, bits, size, &written, nullptr);
        CloseHandle(file);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool SaveWindow(HWND window, const wchar_t* path) {
    RECT r{};
    GetWindowRect(window, &r);
    return SaveArea(r, path);
}

// Opens the menu of access key `key` as Alt+key does, saves the window with it, closes it.
bool SaveWithMenu(HWND window, wchar_t key, const wchar_t* path) {
    PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, key);
    g_menu = nullptr;
    for (int i = 0; i < 50 && g_menu == nullptr; ++i) {
        std::this_thread::sleep_for(100ms);
        EnumWindows(&FindOpenMenu, 0);
    }
    if (g_menu == nullptr) return false;
    std::this_thread::sleep_for(700ms);
    RECT r{};
    RECT menu{};
    GetWindowRect(window, &r);
    GetWindowRect(g_menu, &menu);
    UnionRect(&r, &r, &menu);
    const bool ok = SaveArea(r, path);
    // Ends the menu's modal loop (the window's default handling calls EndMenu), so that the
    // next menu opens and the window's end is not held up.
    SendMessageW(window, WM_CANCELMODE, 0, 0);
    std::this_thread::sleep_for(300ms);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr,
                     "usage: velkor_win32_screenshot PROGRAM_DIR OUT.bmp [KEY MENU.bmp]...\n");
        return 2;
    }
    const std::wstring dir = argv[1];
    std::wstring exe = dir + L"\\VelkorISP.exe";
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.c_str(), &startup, &process)) {
        std::fprintf(stderr, "cannot start the program\n");
        return 1;
    }
    g_pid = process.dwProcessId;
    for (int i = 0; i < 600 && g_window == nullptr; ++i) {
        EnumWindows(&FindWindowOfProcess, 0);
        if (g_window == nullptr) std::this_thread::sleep_for(100ms);
    }
    int status = 1;
    if (g_window != nullptr) {
        SendMessageW(GetDlgItem(g_window, 1001), BM_CLICK, 0, 0);
        HWND log = GetDlgItem(g_window, 1000);
        for (int i = 0; i < 600 && LogText(log).find(L"退出") == std::wstring::npos; ++i) {
            std::this_thread::sleep_for(100ms);
        }
        std::this_thread::sleep_for(1500ms);  // the last repaints, the dots lit by the log
        SetForegroundWindow(g_window);
        std::this_thread::sleep_for(500ms);
        status = SaveWindow(g_window, argv[2]) ? 0 : 1;
        for (int n = 3; n + 1 < argc && status == 0; n += 2) {
            status = SaveWithMenu(g_window, argv[n][0], argv[n + 1]) ? 0 : 1;
        }
        PostMessageW(g_window, WM_CLOSE, 0, 0);
    }
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}
