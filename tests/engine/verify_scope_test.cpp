// The file-scope verify compares exactly the addresses the HEX file gave data for: a byte just
// outside a record may differ, the first and last byte of each record may not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/isp_programmer.h"
#include "files/hex_writer.h"
#include "files/image_loader.h"
#include "station/engine_images.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
namespace {

using test::SimRig;

// One Intel data record of `n` bytes (value = address + 1) at `address`.
std::string Record(unsigned address, unsigned n) {
    char text[80];
    unsigned sum = n + (address >> 8) + (address & 0xFF);
    int used = std::snprintf(text, sizeof text, ":%02X%04X00", n, address);
    for (unsigned i = 0; i < n; ++i) {
        const unsigned b = (address + i + 1) & 0xFF;
        sum += b;
        used += std::snprintf(text + used, sizeof text - used, "%02X", b);
    }
    std::snprintf(text + used, sizeof text - used, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return text;
}

std::string WriteHex(const std::string& name, const std::string& records) {
    const auto path =
        std::filesystem::temp_directory_path() /
        (name + "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::ofstream(path) << records << ":00000001FF\n";
    return path.string();
}

TEST(VerifyScope, FileScopeComparesExactlyTheFilesAddressesInBothMemoriesAndFamilies) {
    for (const char* chipName : {"mega8", "89S52"}) {
        SCOPED_TRACE(chipName);
        SimRig rig({.chip = chipName});
        IspProgrammer& e = rig.engine;
        Edit(e)->targetFamily = rig.bench->ChipFamily();
        Edit(e)->chipIndex = static_cast<std::uint32_t>(rig.bench->ChipRow());
        const bool avr = e.Settings().targetFamily == kFamilyAvr;
        // Two records with a gap, the second crossing a 256-byte page of the 89S5x page read.
        HexFile flash, eeprom;
        const std::string flashPath =
            WriteHex("velkor-scope-f", Record(0x10, 16) + Record(0xFC, 8));
        ASSERT_EQ(LoadFlashImage(e, flash, flashPath), 0);
        EXPECT_EQ(e.FlashDataRanges(), (std::vector<AddressRange>{{0x10, 0x20}, {0xFC, 0x104}}));
        if (avr) {
            const std::string eepromPath = WriteHex("velkor-scope-e", Record(2, 3));
            ASSERT_EQ(LoadEepromImage(e, eeprom, eepromPath), 0);
            std::filesystem::remove(eepromPath);
        }
        std::filesystem::remove(flashPath);
        Edit(e)->verifyFileOnly = true;
        Edit(e)->commands.erase = 1;
        Edit(e)->commands.writeFlash = 1;
        Edit(e)->commands.verify = 1;
        Edit(e)->commands.writeEeprom = avr ? 1 : 0;
        ASSERT_EQ(e.ProgramCommand(), kSeqDone) << e.LogText();
        EXPECT_EQ(e.BytesVerified(), avr ? 24u + 3u : 24u);

        std::vector<std::uint8_t>& chipFlash =
            avr ? rig.bench->Avr()->Flash() : rig.bench->At89()->Flash();
        Edit(e)->commands = ProgramCommandSet{};
        Edit(e)->commands.verify = 1;
        auto verify = [&](bool fileOnly) {
            Edit(e)->verifyFileOnly = fileOnly;
            return e.ProgramCommand();
        };
        // Bytes next to the records, and before the EEPROM file's first byte, are not its data.
        chipFlash[0x0F] = chipFlash[0x20] = chipFlash[0xFB] = chipFlash[0x104] = 0x00;
        if (avr) rig.bench->Avr()->Eeprom()[1] = 0x00;
        EXPECT_EQ(verify(true), kSeqDone) << e.LogText();
        EXPECT_EQ(e.LastEepromResult(), avr ? 0 : -1);
        EXPECT_EQ(verify(false), kSeqFlashFailed);  // the whole chip is still the default's
        for (const std::uint32_t a : {0x10u, 0x1Fu, 0xFCu, 0x103u}) {
            const std::uint8_t kept = chipFlash[a];
            chipFlash[a] = 0x00;
            EXPECT_EQ(verify(true), kSeqFlashFailed) << a;
            char line[40];
            std::snprintf(line, sizeof line, "在 %04X:%02X-00失败\n", a, e.FlashImage()[a]);
            EXPECT_NE(e.LogText().find(line), std::string::npos) << e.LogText();
            chipFlash[a] = kept;
        }
        if (avr) {
            rig.bench->Avr()->Eeprom()[4] = 0x00;
            EXPECT_EQ(verify(true), kSeqDone);
            EXPECT_EQ(e.LastEepromResult(), 1);
            EXPECT_NE(e.LogText().find("在 0004:05-00校验失败\n"), std::string::npos);
        }
    }
}

// bench/verify_scope_bench's case: erase, write and file-scope verify of a 4 KiB firmware on
// a mega128 at the default speed. A common bit-banging programmer needs 0.61 M port accesses
// for it; this run may take at most one and a half times that.
TEST(VerifyScope, FileScopeRunOfTheBenchmarkCaseStaysWithinItsPortAccessBudget) {
    std::mt19937 random(11);
    std::vector<std::uint8_t> firmware(4096);
    for (auto& b : firmware) b = static_cast<std::uint8_t>(random() % 0xFF);  // never 0xFF
    const std::string path = WriteHex("velkor-scope-budget", "");
    ASSERT_EQ(SaveIntelHexFile(path, firmware), "");
    SimRig rig({.chip = "mega128"});
    IspProgrammer& e = rig.engine;
    Edit(e)->chipIndex = static_cast<std::uint32_t>(rig.bench->ChipRow());
    HexFile file;
    ASSERT_EQ(LoadFlashImage(e, file, path), 0);
    std::filesystem::remove(path);
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.writeFlash = 1;
    Edit(e)->commands.verify = 1;
    Edit(e)->verifyFileOnly = true;
    ASSERT_EQ(e.ProgramCommand(), kSeqDone) << e.LogText();
    EXPECT_EQ(e.BytesVerified(), 4096u);
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), rig.bench->Avr()->Flash().begin()));
    const auto& c = rig.Machine().Counters();
    EXPECT_LE(c.portReads + c.portWrites, 920'000u);
}

}  // namespace
}  // namespace velkor
