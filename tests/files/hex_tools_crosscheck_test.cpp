// Files written by independent tools (srec_cat, avr-gcc with avr-objcopy) must load into exactly
// the bytes those same tools produce when asked for a plain binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "engine/isp_programmer.h"
#include "files/image_loader.h"
#include "station/engine_images.h"
#include "tests/files/hex_test_support.h"
#include "tests/support/engine_edit.h"

namespace velkor {
using test::SetImageLength;
namespace {

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; on failure returns its output so the test can show it.
bool Shell(const std::string& command, std::string& output) {
    output.clear();
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return false;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) output += chunk;
    return pclose(pipe) == 0;
}

// CI installs the tools (scripts/install-deps.sh), so there a missing tool is a broken
// environment and fails the cross-check; elsewhere it only skips it.
bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0' && std::string(ci) != "false";
}

#define SKIP_WITHOUT(tool)                                                          \
    if (!HaveTool(tool)) {                                                          \
        if (InCi()) FAIL() << tool " is not installed, and CI must run this";       \
        GTEST_SKIP() << tool " is not installed (scripts/install-deps.sh adds it)"; \
    }

class HexToolsCrossCheck : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }

    void MustRun(const std::string& command) {
        std::string output;
        ASSERT_TRUE(Shell(command, output)) << command << "\n" << output;
    }

    // The image of `binary`: its bytes, then 0xFF up to the limit, as the loader leaves it.
    static std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes, std::size_t limit) {
        bytes.resize(limit, 0xFF);
        return bytes;
    }

    testing::ScratchDir dir;
    IspProgrammer programmer;
    HexFile flashFile;
    HexFile eepromFile;
};

struct ToolFormat {
    const char* name;
    const char* reader;  // srec_cat input option for the file it wrote
    const char* writer;  // srec_cat output options
    std::uint32_t span;  // address range the random data covers
    int blockSizes[3];
};

void PrintTo(const ToolFormat& format, std::ostream* os) {
    *os << format.name;
}

// The Intel files use linear (04) and segment (02) extended addresses; the data runs past the
// 256 KiB flash image where the format allows, so the dropping of bytes is checked as well.
const ToolFormat kFormats[] = {
    {"IntelLinear", "-intel", "-intel", 0x50000, {16, 32, 255}},
    {"IntelSegment", "-intel", "-intel -address-length=3", 0x50000, {8, 64, 255}},
    {"S1", "-motorola", "-motorola -address-length=2", 0x10000, {16, 32, 252}},
    {"S2", "-motorola", "-motorola -address-length=3", 0x50000, {16, 64, 251}},
    {"S3", "-motorola", "-motorola -address-length=4", 0x50000, {16, 128, 250}},
};

class RandomImageCrossCheck : public HexToolsCrossCheck,
                              public ::testing::WithParamInterface<ToolFormat> {};

TEST_P(RandomImageCrossCheck, SparseRandomImageLoadsAsSrecCatConvertsIt) {
    SKIP_WITHOUT("srec_cat");
    const ToolFormat& format = GetParam();
    std::mt19937 random(format.span + format.blockSizes[2]);
    std::string bytes(format.span, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    testing::WriteFile(dir / "random.bin", bytes);

    for (int blockSize : format.blockSizes) {
        // A handful of random ranges leaves holes that must stay 0xFF.
        std::string crop;
        for (int i = 0; i < 6; ++i) {
            const std::uint32_t start = random() % format.span;
            const std::uint32_t end =
                std::min<std::uint32_t>(format.span, start + random() % 0x6000 + 1);
            crop += " " + std::to_string(start) + " " + std::to_string(end);
        }
        const std::string hex = dir / "random.hex";
        const std::string bin = dir / "random.out.bin";
        MustRun("srec_cat " + dir / "random.bin" + " -binary -crop" + crop + " -o " + hex + " " +
                format.writer + " -output-block-size=" + std::to_string(blockSize));
        MustRun("srec_cat " + hex + " " + format.reader + " -crop 0 0x40000 -fill 0xFF 0 0x40000" +
                " -o " + bin + " -binary");
        const auto expected = testing::ReadFile(bin);
        ASSERT_EQ(expected.size(), kFlashImageSize);

        SetImageLength(programmer, ImageKind::kFlash, 0);
        ASSERT_EQ(LoadFlashImage(programmer, flashFile, hex), 0) << programmer.LogText();
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), programmer.FlashImage().begin()))
            << "block size " << blockSize << ", ranges" << crop;
        // srec_cat's own binary, without the fill, ends one past the highest byte it kept.
        MustRun("srec_cat " + hex + " " + format.reader + " -crop 0 0x40000 -o " + bin +
                " -binary");
        EXPECT_EQ(programmer.FlashImageLength(), testing::ReadFile(bin).size()) << crop;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RandomImageCrossCheck, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HexToolsCrossCheck, LowerCaseOutputIsRefusedAtItsFirstRecord) {
    SKIP_WITHOUT("srec_cat");
    testing::WriteFile(dir / "small.bin", std::string("\xAB\xCD\xEF\x12", 4));
    const std::string hex = dir / "lower.hex";
    MustRun("srec_cat " + dir / "small.bin" + " -binary -o - -intel | tr A-F a-f > " + hex);
    EXPECT_EQ(LoadFlashImage(programmer, flashFile, hex), 1);
    EXPECT_EQ(programmer.FlashImageLength(), 0u);
    EXPECT_TRUE(std::all_of(programmer.FlashImage().begin(), programmer.FlashImage().end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_NE(programmer.LogText().find(" 第 1 行"), std::string::npos) << programmer.LogText();
}

// A real firmware for a 128 KiB part: program memory data, EEPROM data, and a function placed
// near the top of flash so that avr-objcopy writes extended address records.
const char kFirmware[] = R"(
#include <avr/eeprom.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <stdint.h>

const char message[] PROGMEM = "A table in program memory, long enough to span several records.";
uint8_t EEMEM settings[40] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xA5, 0x5A, 0xFF, 0x00, 0x80};

__attribute__((section(".farcode"), noinline, used)) uint8_t Scramble(uint8_t x) {
    return (uint8_t)(x * 37u + 11u);
}

int main(void) {
    DDRB = 0xFF;
    for (uint8_t i = 0;; ++i) {
        PORTB = Scramble(pgm_read_byte(&message[i % sizeof message])) ^
                eeprom_read_byte(&settings[i % 40]);
    }
}
)";

TEST_F(HexToolsCrossCheck, CompiledFirmwareLoadsAsAvrObjcopyWritesItsBinary) {
    SKIP_WITHOUT("avr-gcc");
    SKIP_WITHOUT("avr-objcopy");
    const std::string elf = dir / "fw.elf";
    testing::WriteFile(dir / "fw.c", kFirmware);
    MustRun("avr-gcc -mmcu=atmega128 -Os -Wl,--section-start=.farcode=0x1F000 -o " + elf + " " +
            dir / "fw.c");
    const std::string flash = "avr-objcopy -R .eeprom ";
    const std::string eeprom = "avr-objcopy -j .eeprom --change-section-lma .eeprom=0 ";
    MustRun(flash + "--gap-fill 0xFF -O binary " + elf + " " + dir / "fw.bin");
    MustRun(eeprom + "-O binary " + elf + " " + dir / "fw.eep.bin");
    const auto flashBytes = testing::ReadFile(dir / "fw.bin");
    const auto eepromBytes = testing::ReadFile(dir / "fw.eep.bin");
    ASSERT_GT(flashBytes.size(), 0x1F000u);
    ASSERT_EQ(eepromBytes.size(), 40u);

    for (const char* output : {"ihex", "srec", "srec --srec-forceS3"}) {
        SCOPED_TRACE(output);
        MustRun(flash + "-O " + output + " " + elf + " " + dir / "fw.hex");
        MustRun(eeprom + "-O " + output + " " + elf + " " + dir / "fw.eep");
        SetImageLength(programmer, ImageKind::kFlash, 0);
        SetImageLength(programmer, ImageKind::kEeprom, 0);
        ASSERT_EQ(LoadFlashImage(programmer, flashFile, dir / "fw.hex"), 0);
        ASSERT_EQ(LoadEepromImage(programmer, eepromFile, dir / "fw.eep"), 0);
        EXPECT_TRUE(
            std::ranges::equal(programmer.FlashImage(), Padded(flashBytes, kFlashImageSize)));
        EXPECT_TRUE(
            std::ranges::equal(programmer.EepromImage(), Padded(eepromBytes, kEepromImageSize)));
        EXPECT_EQ(programmer.FlashImageLength(), flashBytes.size());
        EXPECT_EQ(programmer.EepromImageLength(), eepromBytes.size());
    }
}

}  // namespace
}  // namespace velkor
