#include "sim/at89_chip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "tests/sim/pin_driver.h"

namespace velkor::sim {
namespace {

using test::PinDriver;

At89ChipTraits FourByteTraits() {  // an 89S51
    At89ChipTraits traits;
    traits.name = "89S51";
    traits.signature[0] = 0x1E;
    traits.signature[1] = 0x51;
    traits.signature[2] = 0x06;
    traits.flashSize = 4096;
    return traits;
}

At89ChipTraits ThreeByteTraits() {  // an 89S53: 12 KiB, so address bit 13 is in use
    At89ChipTraits traits;
    traits.name = "89S53";
    traits.flashSize = 12288;
    traits.threeByteFormat = true;
    return traits;
}

// The three-byte format's first byte: address bits 12..8 in bits 7..3, bit 13 in bit 2,
// then 01 for a read or 10 for a write.
std::uint8_t ThreeByteOp(std::uint32_t address, std::uint8_t kind) {
    const std::uint32_t high = (address >> 8) & 0x1F;
    const std::uint32_t a13 = (address >> 13) & 1;
    return static_cast<std::uint8_t>((high << 3) | (a13 << 2) | kind);
}

struct Bench {
    explicit Bench(At89ChipTraits traits) : chip(std::move(traits)), pins(chip, Level::kHigh) {}

    // Reset (RST high), settling time, enable; returns the byte received during byte 4.
    std::uint8_t Enter() {
        pins.EnterReset();
        if (chip.Traits().threeByteFormat) {
            pins.Frame({0xAC, 0x53, 0x00});
            return 0;
        }
        return pins.Instr(0xAC, 0x53, 0x00, 0x00);
    }
    std::uint8_t Read(std::uint32_t a) {
        if (chip.Traits().threeByteFormat) {
            return pins.Frame({ThreeByteOp(a, 1), static_cast<std::uint8_t>(a), 0x00})[2];
        }
        return pins.Instr(0x20, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a));
    }
    void Write(std::uint32_t a, std::uint8_t v) {
        if (chip.Traits().threeByteFormat) {
            pins.Frame({ThreeByteOp(a, 2), static_cast<std::uint8_t>(a), v});
        } else {
            pins.Instr(0x40, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), v);
        }
    }

    At89Chip chip;
    PinDriver pins;
};

TEST(At89Chip, FourByteEnableAnswersSixtyNineInTheFourthByte) {
    Bench b(FourByteTraits());
    b.pins.EnterReset();
    EXPECT_EQ(b.Read(0), 0x00);  // not enabled yet: no answer
    const std::vector<std::uint8_t> answer = b.pins.Frame({0xAC, 0x53, 0x00, 0x00});
    EXPECT_EQ(answer, (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x69}));
    EXPECT_TRUE(b.chip.ProgrammingEnabled());
    EXPECT_EQ(b.Read(0), 0xFF);
}

TEST(At89Chip, InstructionsBeforeEnableChangeNothing) {
    for (const At89ChipTraits& traits : {FourByteTraits(), ThreeByteTraits()}) {
        Bench b(traits);
        b.pins.EnterReset();
        b.Write(0x10, 0x00);
        if (traits.threeByteFormat) {
            b.pins.Frame({0xAC, 0x04, 0x00});
        } else {
            b.pins.Instr(0xAC, 0x80, 0x00, 0x00);
        }
        EXPECT_EQ(b.chip.Flash()[0x10], 0xFF) << traits.name;
        EXPECT_EQ(b.chip.EraseCount(), 0u) << traits.name;
        EXPECT_EQ(b.chip.LostInstructions(), 0u) << traits.name;
    }
}

TEST(At89Chip, SignatureIndexTravelsInTheSecondByte) {
    Bench b(FourByteTraits());
    ASSERT_EQ(b.Enter(), 0x69);
    EXPECT_EQ(b.pins.Instr(0x28, 0x00, 0x00), 0x1E);
    EXPECT_EQ(b.pins.Instr(0x28, 0x01, 0x00), 0x51);
    EXPECT_EQ(b.pins.Instr(0x28, 0x02, 0x00), 0x06);
    EXPECT_EQ(b.pins.Instr(0x28, 0x01, 0x02), 0x51);  // the third byte does not select
    EXPECT_EQ(b.pins.Instr(0x28, 0x03, 0x00), 0xFF);
}

TEST(At89Chip, ByteWritePollsDifferentlyUntilDoneAndIgnoresWritesMeanwhile) {
    const At89ChipTraits traits = FourByteTraits();
    Bench b(traits);
    ASSERT_EQ(b.Enter(), 0x69);
    b.Write(0x0ABC, 0x5A);
    EXPECT_NE(b.Read(0x0ABC), 0x5A);  // data polling: not the written value yet
    b.Write(0x0ABD, 0x00);
    EXPECT_EQ(b.chip.LostInstructions(), 1u);
    b.pins.Wait(traits.byteWriteNs);
    EXPECT_EQ(b.Read(0x0ABC), 0x5A);
    EXPECT_EQ(b.Read(0x0ABD), 0xFF);
    b.Write(0x0ABC, 0xA5);  // flash only loses bits without an erase
    b.pins.Wait(traits.byteWriteNs);
    EXPECT_EQ(b.Read(0x0ABC), 0x00);
    EXPECT_EQ(b.Read(0x1ABC), 0x00);  // a 4 KiB part ignores address bit 12
}

TEST(At89Chip, PageModeWritesAndReadsTwoHundredFiftySixBytes) {
    const At89ChipTraits traits = FourByteTraits();
    Bench b(traits);
    ASSERT_EQ(b.Enter(), 0x69);
    std::vector<std::uint8_t> write = {0x50, 0x05};
    for (int i = 0; i < 256; ++i) write.push_back(static_cast<std::uint8_t>(255 - i));
    b.pins.Frame(write);
    EXPECT_NE(b.Read(0x0580), 0x7F);  // the page is being programmed
    b.pins.Wait(traits.pageWriteNs);

    std::vector<std::uint8_t> read = {0x30, 0x05};
    read.resize(2 + 256, 0x00);
    const std::vector<std::uint8_t> answer = b.pins.Frame(read);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(answer[2 + i], 255 - i) << i;
        ASSERT_EQ(b.chip.Flash()[0x500 + i], 255 - i) << i;
    }
    EXPECT_EQ(b.chip.Flash()[0x4FF], 0xFF);
    EXPECT_EQ(b.chip.Flash()[0x600], 0xFF);
    // The frame ended after 256 bytes: a byte instruction follows normally.
    EXPECT_EQ(b.Read(0x0501), 0xFE);
}

TEST(At89Chip, FourByteChipEraseBlanksTheCode) {
    const At89ChipTraits traits = FourByteTraits();
    Bench b(traits);
    ASSERT_EQ(b.Enter(), 0x69);
    b.chip.Flash()[0] = 0x00;
    b.chip.Flash()[4095] = 0x12;
    b.pins.Instr(0xAC, 0x80, 0x00, 0x00);
    EXPECT_EQ(b.chip.EraseCount(), 1u);
    b.Write(0, 0x00);
    EXPECT_EQ(b.chip.LostInstructions(), 1u);  // nothing is programmed during the erase
    b.pins.Wait(traits.eraseNs);
    EXPECT_EQ(b.Read(0), 0xFF);
    EXPECT_EQ(b.Read(4095), 0xFF);
}

// Every address bit lands where the three-byte format puts it: a write to 1 << n reaches
// exactly that location and reads back from it.
TEST(At89Chip, ThreeByteFormatPacksTheHighAddressBitsIntoTheOpcode) {
    const At89ChipTraits traits = ThreeByteTraits();
    Bench b(traits);
    EXPECT_EQ(b.Enter(), 0);
    EXPECT_TRUE(b.chip.ProgrammingEnabled());
    for (int n = 0; n < 14; ++n) {
        b.Write(1u << n, static_cast<std::uint8_t>(n));
        b.pins.Wait(traits.byteWriteNs);
    }
    for (int n = 0; n < 14; ++n) {
        EXPECT_EQ(b.chip.Flash()[1u << n], n) << "bit " << n;
        EXPECT_EQ(b.Read(1u << n), n) << "bit " << n;
    }
    EXPECT_EQ(b.Read(0), 0xFF);
    EXPECT_EQ(b.Read(0x2001), 0xFF);
    EXPECT_EQ(std::count(b.chip.Flash().begin(), b.chip.Flash().end(), 0xFF), 12288 - 14);

    b.pins.Frame({0xAC, 0x04, 0x00});
    EXPECT_EQ(b.chip.EraseCount(), 1u);
    b.pins.Wait(traits.eraseNs);
    EXPECT_EQ(b.Read(1u << 13), 0xFF);
}

TEST(At89Chip, ResetLowOrPowerLossEndsProgrammingMode) {
    Bench b(FourByteTraits());
    ASSERT_EQ(b.Enter(), 0x69);
    b.pins.SetReset(Level::kFloating);  // RST's pull-down: the part runs
    EXPECT_FALSE(b.chip.ProgrammingEnabled());
    EXPECT_EQ(b.chip.Miso(), Level::kFloating);

    ASSERT_EQ(b.Enter(), 0x69);
    b.pins.Byte(0x40);
    b.pins.Byte(0x00);
    b.chip.SetPower(false, b.pins.Now());
    EXPECT_EQ(b.chip.Miso(), Level::kFloating);
    b.pins.Byte(0x07);
    b.pins.Byte(0x00);
    b.chip.SetPower(true, b.pins.Now());
    EXPECT_FALSE(b.chip.ProgrammingEnabled());
    EXPECT_EQ(b.chip.Flash()[7], 0xFF);
    ASSERT_EQ(b.Enter(), 0x69);
    EXPECT_EQ(b.Read(7), 0xFF);
}

// Random instructions in both formats, page frames included, on parts of every size
// (including one without code memory): nothing may crash.
TEST(At89Chip, RandomInstructionStreamsNeverMisbehave) {
    std::mt19937 rng(11);
    auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    static constexpr std::uint8_t kOps[] = {0x20, 0x28, 0x30, 0x40, 0x50, 0xAC};
    for (int round = 0; round < 60; ++round) {
        At89ChipTraits traits = pick(2) ? FourByteTraits() : ThreeByteTraits();
        if (pick(4) == 0) traits.flashSize = 0;
        if (pick(4) == 0) traits.flashSize = 1 + pick(300);
        Bench b(traits);
        b.Enter();
        for (int i = 0; i < 300; ++i) {
            std::vector<std::uint8_t> frame;
            const unsigned length = pick(6) == 0 ? 258 : 2 + pick(3);
            frame.push_back(pick(3) == 0 ? static_cast<std::uint8_t>(rng()) : kOps[pick(6)]);
            if (frame[0] == 0xAC && pick(2)) {
                frame.push_back(pick(2) ? 0x53 : (traits.threeByteFormat ? 0x04 : 0x80));
            }
            while (frame.size() < length) frame.push_back(static_cast<std::uint8_t>(rng()));
            b.pins.Frame(frame);
            switch (pick(12)) {
                case 0:
                    b.pins.Wait(pick(600'000'000));
                    break;
                case 1:
                    b.chip.SetPower(pick(2) == 0, b.pins.Now());
                    break;
                case 2:
                    b.Enter();
                    break;
                default:
                    break;
            }
        }
        EXPECT_EQ(b.chip.Flash().size(), traits.flashSize);
    }
}

}  // namespace
}  // namespace velkor::sim
