// VelkorISP.exe as a user meets it, under wine: started from a folder with a Chinese name,
// beside its velkor.ini, it shows every control of its template by id; Program runs on the
// simulated bench and the log box and the simulated chip's memory show the run; File > Save
// Flash reads the chip back through the save dialog; the close box writes the settings.
// Beside Tarnel.sys (the driver's test build) the same window binds the driver through the
// service manager and removes its registration at the end.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_template.h"
#include "devices/chip_table.h"
#include "devices/fuse_panel.h"
#include "engine/engine_types.h"
#include "files/hex_writer.h"
#include "files/utf8_path.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Build paths come as Unix paths; wine shows the root as drive Z:.
fs::path HostPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return fs::path(path);
}

std::string Gbk(const std::wstring& text) {
    const int size = WideCharToMultiByte(936, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(936, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// Intel HEX of `data` at address 0, 16 bytes a record.
std::string IntelHex(const std::vector<unsigned char>& data) {
    std::string out;
    char line[64];
    for (std::size_t at = 0; at < data.size(); at += 16) {
        const std::size_t count = std::min<std::size_t>(16, data.size() - at);
        unsigned sum = static_cast<unsigned>(count) + ((at >> 8) & 0xFF) + (at & 0xFF);
        std::snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(count),
                      static_cast<unsigned>(at));
        out += line;
        for (std::size_t i = 0; i < count; ++i) {
            std::snprintf(line, sizeof line, "%02X", data[at + i]);
            out += line;
            sum += data[at + i];
        }
        std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out += line;
    }
    return out + ":00000001FF\r\n";
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// WM_GETTEXT itself: GetWindowText does not ask a control of another process for its text.
std::wstring WindowText(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

bool ServiceRegistered(const wchar_t* name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return false;
    SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

// One run of the program in its own folder.
class RunningProgram {
  public:
    explicit RunningProgram(const fs::path& exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring command = L"\"" + exe.wstring() + L"\"";
        const std::wstring folder = exe.parent_path().wstring();
        started_ = CreateProcessW(exe.wstring().c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, folder.c_str(), &startup, &process_) != 0;
        if (!started_) return;
        // The window: the process's visible dialog, once it shows.
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (window_ == nullptr && std::chrono::steady_clock::now() < deadline) {
            EnumWindows(&RunningProgram::FindWindowOfProcess, reinterpret_cast<LPARAM>(this));
            if (window_ == nullptr) std::this_thread::sleep_for(100ms);
        }
    }
    ~RunningProgram() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    HWND Window() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    std::wstring Log() const { return WindowText(Control(kLogBoxId)); }

    // Waits until the log box holds `text`; false after the time-out.
    bool WaitForLog(const std::wstring& text, std::chrono::seconds timeout = 60s) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Log().find(text) != std::wstring::npos) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    // The close box; true when the process has ended.
    bool Close() {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        return WaitForSingleObject(process_.hProcess, 60000) == WAIT_OBJECT_0;
    }

  private:
    static BOOL CALLBACK FindWindowOfProcess(HWND hwnd, LPARAM self) {
        auto* run = reinterpret_cast<RunningProgram*>(self);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        wchar_t kind[16] = L"";
        GetClassNameW(hwnd, kind, 16);
        if (pid == run->process_.dwProcessId && IsWindowVisible(hwnd) &&
            std::wstring(kind) == L"#32770") {
            run->window_ = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    bool started_ = false;
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

class MainWindowEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root_ = fs::path(temp) / (L"velkor 窗口测试 " + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path InstallProgram(const std::wstring& folder) {
        const fs::path dir = root_ / folder;
        fs::create_directories(dir);
        fs::copy_file(HostPath(VELKOR_PROGRAM_PATH), dir / L"VelkorISP.exe");
        return dir;
    }

    fs::path root_;
};

int Mega8Row() {
    const std::vector<std::string> chips = ChipList(kFamilyAvr);
    for (std::size_t i = 0; i < chips.size(); ++i) {
        if (chips[i] == "mega8") return static_cast<int>(i);
    }
    return -1;
}

TEST_F(MainWindowEndToEnd, ProgramWritesTheSimulatedChipAndCloseSavesTheSettings) {
    const fs::path dir = InstallProgram(L"程序");
    std::vector<unsigned char> image(300);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 7 + 3);
    const fs::path hex = dir / L"固件.hex";
    WriteFile(hex, IntelHex(image));
    const fs::path dump = root_ / L"芯片";
    // Low fuse E1: LF0 unprogrammed (box clear), LF1 programmed (box checked).
    const std::string ini =
        "[SIMULATOR]\r\nEnabled=1\r\nChip=mega8\r\n[FLASH]\r\nFILE=" + Gbk(hex.wstring()) +
        "\r\n[DEVICE]\r\nTYPE=0\r\nID=" + std::to_string(Mega8Row()) +
        "\r\nFUSE0=225\r\nFUSE1=217\r\nFUSE2=0\r\n[PROGCMD]\r\nWriteFlash=1\r\nErase=1\r\nVerify="
        "1\r\nCheckId=1\r\n";
    WriteFile(dir / L"velkor.ini", ini);
    SetEnvironmentVariableW(L"VELKOR_SIM_DUMP", dump.wstring().c_str());

    RunningProgram program(dir / L"VelkorISP.exe");
    SetEnvironmentVariableW(L"VELKOR_SIM_DUMP", nullptr);
    ASSERT_NE(program.Window(), nullptr) << "the window did not show";
    EXPECT_NE(WindowText(program.Window()).find(L"simulator: mega8"), std::wstring::npos);
    for (const MainControl& control : MainTemplate().controls) {
        if (control.id == kNoControlId) continue;
        EXPECT_NE(program.Control(control.id), nullptr) << "no control " << control.id;
    }
    EXPECT_EQ(SendMessageW(program.Control(kFlashBoxId), BM_GETCHECK, 0, 0), BST_CHECKED);
    // The owner-drawn fuse boxes keep the state the fuse bytes give them, and a click goes
    // through the box to the fuse bit.
    HWND lf0 = program.Control(kFirstFuseBoxId);
    EXPECT_EQ(SendMessageW(lf0, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(program.Control(kFirstFuseBoxId + 1), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(lf0, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(lf0, BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(lf0, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(lf0, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    SendMessageW(program.Control(kProgramButtonId), BM_CLICK, 0, 0);
    ASSERT_TRUE(program.WaitForLog(L"退出")) << Utf8FromWide(program.Log());
    const std::wstring log = program.Log();
    EXPECT_NE(log.find(L"完成"), std::wstring::npos) << Utf8FromWide(log);
    // The worker's end is posted after its last line; the dump follows it.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!fs::exists(dump / "flash.bin") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(500ms);
    const std::string flash = ReadFile(dump / "flash.bin");
    ASSERT_GE(flash.size(), image.size());
    EXPECT_EQ(flash.substr(0, image.size()), std::string(image.begin(), image.end()));
    EXPECT_EQ(static_cast<unsigned char>(flash[image.size()]), 0xFF);

    // A build rewrites the HEX file: with "Auto Prog after Update" the window reloads it on
    // "FileWatchNotify" and programs the new image.
    SendMessageW(program.Control(kAutoProgramBoxId), BM_CLICK, 0, 0);
    for (auto& byte : image) byte = static_cast<unsigned char>(~byte);
    WriteFile(hex, IntelHex(image));
    const std::string rebuilt(image.begin(), image.end());
    const auto rebuildDeadline = std::chrono::steady_clock::now() + 60s;
    while (ReadFile(dump / "flash.bin").substr(0, image.size()) != rebuilt &&
           std::chrono::steady_clock::now() < rebuildDeadline) {
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_EQ(ReadFile(dump / "flash.bin").substr(0, image.size()), rebuilt)
        << Utf8FromWide(program.Log());

    // File > Save Flash: the save dialog offers "<chip>-flash.hex" beside the HEX file; its OK
    // reads the chip back into that name.
    PostMessageW(program.Window(), WM_COMMAND, kMenuSaveFlash, 0);
    HWND saveDialog = nullptr;
    const auto dialogDeadline = std::chrono::steady_clock::now() + 30s;
    while (saveDialog == nullptr && std::chrono::steady_clock::now() < dialogDeadline) {
        saveDialog = FindWindowW(L"#32770", L"Save Flash");
        if (saveDialog == nullptr) std::this_thread::sleep_for(100ms);
    }
    ASSERT_NE(saveDialog, nullptr) << "no save dialog";
    PostMessageW(saveDialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(program.WaitForLog(L"字节已保存到")) << Utf8FromWide(program.Log());
    std::vector<std::uint8_t> held(rebuilt.begin(), rebuilt.end());
    while (!held.empty() && held.back() == 0xFF) held.pop_back();
    EXPECT_EQ(ReadFile(dir / L"mega8-flash.hex"), IntelHexText(held));

    ASSERT_TRUE(program.Close());
    const std::string saved = ReadFile(dir / L"velkor.ini");
    EXPECT_NE(saved.find(Gbk(hex.wstring())), std::string::npos) << saved;
    EXPECT_NE(saved.find("Verify=1"), std::string::npos) << saved;
}

TEST_F(MainWindowEndToEnd, BesideTheDriverTheWindowBindsItAndRemovesItsRegistration) {
    const fs::path dir = InstallProgram(L"驱动");
    fs::copy_file(HostPath(VELKOR_TEST_DRIVER_PATH), dir / L"Tarnel.sys");
    ASSERT_FALSE(ServiceRegistered(L"Tarnel"));

    RunningProgram program(dir / L"VelkorISP.exe");
    ASSERT_NE(program.Window(), nullptr) << "the window did not show";
    EXPECT_NE(WindowText(program.Window()).find(L"Tarnel driver"), std::wstring::npos)
        << Utf8FromWide(WindowText(program.Window()));
    EXPECT_TRUE(ServiceRegistered(L"Tarnel"));
    // Wine's driver host answers every port read with 0: the driver serves, no port is found.
    // A first start has no step checked; the signature check is one that reaches the port.
    SendMessageW(program.Control(kSignatureBoxId), BM_CLICK, 0, 0);
    SendMessageW(program.Control(kProgramButtonId), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.WaitForLog(L"端口不存在")) << Utf8FromWide(program.Log());
    ASSERT_TRUE(program.Close());
    EXPECT_FALSE(ServiceRegistered(L"Tarnel"));
}

}  // namespace
}  // namespace velkor
