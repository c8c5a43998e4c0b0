// The settings file under crashes: a process saving it in a loop is killed with SIGKILL at
// random moments (300 times here; VELKOR_CRASH_KILLS sets the count, scripts/reliability.sh
// makes 1000). The file must always be the old or the new one, whole, with the keys this
// program does not know still in it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "files/settings.h"

namespace velkor {
namespace {

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string SaveWithChip(const std::string& path, std::uint32_t chip) {
    StoredSettings values;
    values.programmer.chipIndex = chip;
    EXPECT_TRUE(SaveSettings(path, values).Ok());
    return Slurp(path);
}

TEST(SettingsCrash, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    const int kills =
        std::getenv("VELKOR_CRASH_KILLS") ? std::atoi(std::getenv("VELKOR_CRASH_KILLS")) : 300;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velkor-crash-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string ini = (dir / "velkor.ini").string();
    {
        std::ofstream out(ini, std::ios::binary);
        out << "; written by hand\r\n[TOOLS]\r\nEditor=vi\r\n[DEVICE]\r\nFavourite=mega8\r\n";
    }
    // The two contents the saver alternates between; saving is deterministic.
    const std::string a = SaveWithChip(ini, 0);
    const std::string b = SaveWithChip(ini, 1);
    ASSERT_NE(a, b);
    ASSERT_EQ(SaveWithChip(ini, 0), a);
    for (const std::string& text : {a, b}) {
        ASSERT_NE(text.find("Editor=vi"), std::string::npos) << text;
        ASSERT_NE(text.find("Favourite=mega8"), std::string::npos) << text;
    }

    std::mt19937 random(20261208);
    int sawA = 0;
    int sawB = 0;
    for (int i = 0; i < kills; ++i) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execl(VELKOR_SETTINGS_SAVER, VELKOR_SETTINGS_SAVER, ini.c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        char started = 0;
        ASSERT_EQ(read(out[0], &started, 1), 1) << "the saver did not start";
        close(out[0]);
        // Somewhere in one of the next few saves.
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver ended by itself: " << status;
        const std::string now = Slurp(ini);
        ASSERT_TRUE(now == a || now == b) << "after kill " << i << " the file holds:\n" << now;
        (now == a ? sawA : sawB)++;
    }
    // Both contents turn up: the kills fell at different points of the loop.
    if (kills >= 100) {
        EXPECT_GT(sawA, 0);
        EXPECT_GT(sawB, 0);
    }
    // A save killed between creating its temporary file and the rename leaves that file
    // behind; each later save removes those of ended processes, so only the last kills' stay.
    // The figure goes to the reliability page.
    int leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename() != "velkor.ini") ++leftovers;
    }
    std::printf("leftover temporary files: %d after %d kills\n", leftovers, kills);
    EXPECT_LE(leftovers, 3);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velkor
