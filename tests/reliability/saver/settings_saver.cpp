// Saves the settings file at argv[1] over and over, the chip index alternating between 0 and
// 1, until it is killed. The crash test kills it at random moments during a save. After the
// first save it writes one line to stdout, so that the test knows it has started.
#include <cstdio>
#include <string>

#include "engine/isp_programmer.h"
#include "files/image_loader.h"
#include "files/settings.h"
#include "tests/support/engine_edit.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: settings_saver FILE\n");
        return 2;
    }
    const std::string path = argv[1];
    velkor::IspProgrammer engine;
    velkor::MainWindowState window;
    velkor::HexFile flash;
    velkor::HexFile eeprom;
    for (unsigned n = 0;; ++n) {
        velkor::test::Edit(engine)->chipIndex = n % 2;
        if (!velkor::SaveSettings(path, engine, window, flash, eeprom)) {
            std::fprintf(stderr, "%s", engine.LogText().c_str());
            return 1;
        }
        if (n == 0) {
            std::puts("saving");
            std::fflush(stdout);
        }
    }
}
