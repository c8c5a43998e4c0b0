// VelkorISP.exe: the Windows desktop program. One window for its whole run; its settings live
// in velkor.ini beside the program. On the NT family the port is reached through the driver
// Tarnel.sys beside the program, which the window registers at start and removes at its end.
//
// VELKOR_SIM_DUMP=<folder>: after each run on the simulated bench the chip's memories are
// written there, so that scripts can check what a run left in the chip.
#include <windows.h>
// The system's GUI headers need <windows.h> before them.
#include <commctrl.h>

#include <memory>

#include "app/win32/main_window.h"
#include "station/station.h"
#include "files/settings.h"
#include "files/utf8_path.h"
#include "watch/auto_program.h"
#include "watch/file_watcher.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    // The station holds the engine and both memory images; it lives for the whole process.
    static velkor::Station station;
    velkor::win32::MainWindow window(station, velkor::DefaultSettingsPath());
    // The flash file's watch: its notifications are posted to the window as "FileWatchNotify".
    // The watcher outlives the watch; the window's shutdown removes the watch first.
    velkor::FileWatcher watcher;
    velkor::WindowFlashWatch watch(watcher, window);
    window.SetFlashWatch(&watch);
    wchar_t dump[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"VELKOR_SIM_DUMP", dump, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        window.SetSimDumpFolder(velkor::Utf8FromWide({dump, length}));
    window.Run();
    return 0;
}
