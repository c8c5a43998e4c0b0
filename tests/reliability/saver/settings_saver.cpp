// Saves the settings file at argv[1] over and over, the chip index alternating between 0 and
// 1, until it is killed. The crash test kills it at random moments during a save. After the
// first save it writes one line to stdout, so that the test knows it has started.
#include <cstdio>
#include <string>

#include "files/settings.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: settings_saver FILE\n");
        return 2;
    }
    const std::string path = argv[1];
    velkor::StoredSettings values;
    for (unsigned n = 0;; ++n) {
        values.programmer.chipIndex = n % 2;
        const velkor::SettingsWrite write = velkor::SaveSettings(path, values);
        if (!write.Ok()) {
            for (const velkor::LogLine& line : write.lines) {
                std::fprintf(stderr, "%s", velkor::Render(line, velkor::Language::kEn).c_str());
            }
            return 1;
        }
        if (n == 0) {
            std::puts("saving");
            std::fflush(stdout);
        }
    }
}
