// The ppdev port path against a stand-in for the kernel's parport driver (preloaded into the
// real program), and the mapping of LPT names to parport devices.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hosting/linux_ppdev_port.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PpdevBackend, ProgramsAChipThroughTheParportIoctls) {
    const fs::path dir = fs::temp_directory_path() / ("velkor-ppdev-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string hex = std::string(VELKOR_SOURCE_DIR) + "/examples/blink.hex";
    // Under AddressSanitizer the preloaded stand-in comes before the sanitizer's runtime,
    // which is fine here; tell the runtime not to refuse it.
    const std::string command = "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 LD_PRELOAD=" +
                                std::string(VELKOR_PPDEV_SHIM) +
                                " VELKOR_SHIM_CHIP=mega8 VELKOR_SHIM_CABLE=stk200"
                                " VELKOR_SHIM_DUMP=" +
                                (dir / "chip").string() + " " + VELKOR_CLI_PATH +
                                " --lang zh --backend ppdev --ppdev-device /dev/parport0"
                                " -p mega8 -f " +
                                hex + " > " + (dir / "out.txt").string() + " 2>&1";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0) << ReadText(dir / "out.txt");
    EXPECT_NE(ReadText(dir / "out.txt").find("比较中...\n完成.\n退出\n"), std::string::npos);

    // The chip now holds the file: compare with srec_cat's reading of it where available.
    const std::string flash = ReadText(dir / "chip" / "flash.bin");
    ASSERT_EQ(flash.size(), 8192u);
    if (std::system("command -v srec_cat >/dev/null 2>&1") == 0) {
        const std::string bin = (dir / "ref.bin").string();
        ASSERT_EQ(std::system(("srec_cat " + hex + " -intel -o " + bin + " -binary").c_str()), 0);
        const std::string ref = ReadText(bin);
        EXPECT_EQ(flash.substr(0, ref.size()), ref);
        EXPECT_EQ(flash.find_first_not_of('\xFF', ref.size()), std::string::npos);
    }
    // Only the ioctls a parport device offers were used, and the port was claimed and released.
    EXPECT_EQ(ReadText(dir / "chip" / "requests.txt"),
              "PPCLAIM\nPPRDATA\nPPRELEASE\nPPRSTATUS\nPPWCONTROL\nPPWDATA\n");
    fs::remove_all(dir);
}

TEST(PpdevBackend, LptNamesFollowTheBaseAddressesTheKernelReports) {
    const fs::path root = fs::temp_directory_path() / ("velkor-proc-" + std::to_string(getpid()));
    fs::create_directories(root / "parport0");
    fs::create_directories(root / "parport1");
    std::ofstream(root / "parport0" / "base-addr") << "632\t1656\n";  // 0x278
    std::ofstream(root / "parport1" / "base-addr") << "888\t1912\n";  // 0x378
    fs::create_directories(root / "parport3");
    std::ofstream(root / "parport3" / "base-addr") << "53264\t53272\n";  // a PCI card at 0xD010
    LinuxPpdevPortIo::Paths paths;
    paths.devDir = "/dev";
    paths.procDir = root.string();
    LinuxPpdevPortIo mapped(paths);
    EXPECT_EQ(mapped.DeviceFor(0), "/dev/parport1");
    EXPECT_EQ(mapped.DeviceFor(1), "/dev/parport0");
    EXPECT_EQ(mapped.DeviceFor(2), "");
    EXPECT_EQ(mapped.DeviceAt(0xD010), "/dev/parport3");
    EXPECT_EQ(Render(mapped.FoundPortsLine(), Language::kZh),
              "并口设备: /dev/parport0 (0x278) /dev/parport1 (0x378) /dev/parport3 (0xD010)\r\n");

    paths.procDir = (root / "nothing-here").string();
    LinuxPpdevPortIo ordered(paths);
    EXPECT_EQ(ordered.DeviceFor(0), "/dev/parport0");
    EXPECT_EQ(ordered.DeviceFor(2), "/dev/parport2");
    EXPECT_TRUE(ordered.FoundPortsLine().Empty());
    fs::remove_all(root);
}

TEST(PpdevBackend, AMissingDeviceReadsAsNoPortAndADeniedOneIsExplained) {
    LinuxPpdevPortIo::Paths paths;
    paths.procDir = "/nonexistent";
    paths.devDir = "/nonexistent";
    LinuxPpdevPortIo none(paths);
    // No node at all: where the nodes and the kernel's list were looked for.
    EXPECT_EQ(none.AccessProblem(),
              LogLine(Msg::kPpdevNoneFound, {"/nonexistent/parport*", "/nonexistent"}));
    EXPECT_EQ(none.In(0x378), 0xFF);

    // A node that exists but cannot serve as a port (here a directory, which even root cannot
    // open for writing) is explained while no port opens.
    const fs::path folder = fs::temp_directory_path() / ("velkor-node-" + std::to_string(getpid()));
    fs::create_directories(folder);
    paths.explicitDevices[1] = folder.string();
    LinuxPpdevPortIo odd(paths);
    EXPECT_NE(Render(odd.AccessProblem(), Language::kZh).find(folder.string()), std::string::npos);
    fs::remove_all(folder);
    paths.explicitDevices[1].clear();

    if (geteuid() == 0) GTEST_SKIP() << "root may open any file";
    const fs::path locked =
        fs::temp_directory_path() / ("velkor-locked-" + std::to_string(getpid()));
    std::ofstream(locked) << "x";
    fs::permissions(locked, fs::perms::none);
    paths.explicitDevices[0] = locked.string();
    LinuxPpdevPortIo denied(paths);
    EXPECT_NE(Render(denied.AccessProblem(), Language::kZh).find("lp"), std::string::npos);
    fs::remove(locked);
}

}  // namespace
}  // namespace velkor
