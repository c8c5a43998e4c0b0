#include "sim/avr_chip.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "tests/sim/pin_driver.h"

namespace velkor::sim {
namespace {

using test::PinDriver;

// A mega8-like part: paged flash, fuse low and high.
AvrChipTraits PagedTraits() {
    AvrChipTraits traits;
    traits.name = "paged";
    traits.signature[0] = 0x1E;
    traits.signature[1] = 0x93;
    traits.signature[2] = 0x07;
    traits.flashSize = 8192;
    traits.pageSize = 64;
    traits.eepromSize = 512;
    traits.fuseSet = AvrFuseSet::kLowHigh;
    traits.fuseLow = 0xE1;
    traits.fuseHigh = 0xD9;
    traits.calibrationCount = 4;
    for (int i = 0; i < 4; ++i) traits.calibration[i] = static_cast<std::uint8_t>(0xB0 + i);
    return traits;
}

// An AT90S8515-like part: byte-programmed flash that reads 0x7F while a byte is written.
AvrChipTraits ByteTraits() {
    AvrChipTraits traits;
    traits.name = "byte";
    traits.signature[0] = 0x1E;
    traits.signature[1] = 0x93;
    traits.signature[2] = 0x01;
    traits.flashSize = 8192;
    traits.eepromSize = 512;
    traits.flashBusyValue = 0x7F;
    traits.eepromBusyValue = 0x7F;
    traits.fuseSet = AvrFuseSet::kNone;
    return traits;
}

struct Bench {
    explicit Bench(AvrChipTraits traits, AvrChipFaults faults = {})
        : chip(std::move(traits), faults), pins(chip, Level::kLow) {}

    // Reset pulse, settling time, Programming Enable; true when the chip echoed.
    bool Enter() {
        pins.EnterReset();
        return pins.AvrEnable();
    }

    std::uint8_t ReadFlash(std::uint32_t a) {
        return pins.Instr(a & 1 ? 0x28 : 0x20, static_cast<std::uint8_t>(a >> 9),
                          static_cast<std::uint8_t>(a >> 1));
    }
    void LoadPage(std::uint32_t a, std::uint8_t v) {
        pins.Instr(a & 1 ? 0x48 : 0x40, static_cast<std::uint8_t>(a >> 9),
                   static_cast<std::uint8_t>(a >> 1), v);
    }
    // Byte-mode parts take the same instruction as a flash byte write.
    void WriteFlashByte(std::uint32_t a, std::uint8_t v) { LoadPage(a, v); }
    void WritePage(std::uint32_t a) {
        pins.Instr(0x4C, static_cast<std::uint8_t>(a >> 9), static_cast<std::uint8_t>(a >> 1));
    }
    std::uint8_t ReadEeprom(std::uint32_t a) {
        return pins.Instr(0xA0, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a));
    }
    void WriteEeprom(std::uint32_t a, std::uint8_t v) {
        pins.Instr(0xC0, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), v);
    }
    void Erase() { pins.Instr(0xAC, 0x80, 0x00, 0x00); }
    std::uint8_t Signature(std::uint8_t i) { return pins.Instr(0x30, 0x00, i); }

    AvrChip chip;
    PinDriver pins;
};

TEST(AvrChip, ProgrammingEnableEchoesItsSecondByteDuringTheThirdOnly) {
    Bench b(PagedTraits());
    b.pins.EnterReset();
    // Nothing but Programming Enable is heard first: a signature read answers nothing.
    EXPECT_EQ(b.pins.Frame({0x30, 0x00, 0x00, 0x00}), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_FALSE(b.chip.ProgrammingEnabled());
    const std::vector<std::uint8_t> answer = b.pins.Frame({0xAC, 0x53, 0x00, 0x00});
    EXPECT_EQ(answer[0], 0x00);
    EXPECT_EQ(answer[1], 0x00);
    EXPECT_EQ(answer[2], 0x53);
    EXPECT_TRUE(b.chip.ProgrammingEnabled());
    EXPECT_EQ(b.chip.EnableCount(), 1u);
    EXPECT_TRUE(b.pins.AvrEnable());  // a repeated enable echoes again
}

TEST(AvrChip, InstructionsBeforeEnableChangeNothing) {
    Bench b(PagedTraits());
    b.pins.EnterReset();
    b.WriteEeprom(3, 0x12);
    b.Erase();
    b.pins.Instr(0xAC, 0xA0, 0x00, 0x00);
    EXPECT_EQ(b.chip.Eeprom()[3], 0xFF);
    EXPECT_EQ(b.chip.EraseCount(), 0u);
    EXPECT_EQ(b.chip.FuseLow(), 0xE1);
}

// A chip whose interface started N bits into a frame answers only after the programmer's
// frames have been shifted by (32 - N) mod 32 single SCK pulses, never earlier or later.
TEST(AvrChip, OutOfStepChipGetsInStepAfterExactlyThirtyTwoMinusNPulses) {
    for (unsigned n = 0; n < 32; ++n) {
        Bench b(PagedTraits(), {.outOfStepBits = n});
        b.pins.EnterReset();
        unsigned pulses = 0;
        while (!b.pins.AvrEnable() && pulses < 40) {
            b.pins.ExtraClock();
            ++pulses;
        }
        EXPECT_EQ(pulses, (32 - n) % 32) << "out of step by " << n;
        EXPECT_TRUE(b.chip.ProgrammingEnabled()) << "out of step by " << n;
        EXPECT_EQ(b.Signature(1), 0x93) << "out of step by " << n;
    }
}

TEST(AvrChip, NeverInStepChipNeverEchoesNorEnables) {
    Bench b(PagedTraits(), {.neverInStep = true});
    b.pins.EnterReset();
    for (int attempt = 0; attempt < 34; ++attempt) {
        EXPECT_FALSE(b.pins.AvrEnable());
        b.pins.ExtraClock();
    }
    EXPECT_FALSE(b.chip.ProgrammingEnabled());
    EXPECT_EQ(b.Signature(0), 0x00);
}

// RESET high or released (the internal pull-up) lets the part run: MISO floats and a new
// reset and enable are needed.
TEST(AvrChip, RaisingOrReleasingResetEndsProgrammingMode) {
    for (Level released : {Level::kHigh, Level::kFloating}) {
        Bench b(PagedTraits());
        ASSERT_TRUE(b.Enter());
        EXPECT_NE(b.chip.Miso(), Level::kFloating);
        b.pins.SetReset(released);
        EXPECT_FALSE(b.chip.ProgrammingEnabled());
        EXPECT_EQ(b.chip.Miso(), Level::kFloating);
        b.pins.SetReset(Level::kLow);
        EXPECT_EQ(b.Signature(1), 0x00);  // enable needed again
        EXPECT_TRUE(b.pins.AvrEnable());
        EXPECT_EQ(b.Signature(1), 0x93);
    }
}

TEST(AvrChip, PageLoadAndWriteProgramTheAddressedPageOnly) {
    const AvrChipTraits traits = PagedTraits();
    Bench b(traits);
    ASSERT_TRUE(b.Enter());
    const std::uint32_t page = 3 * 64;
    for (std::uint32_t i = 0; i < 64; ++i) {
        b.LoadPage(page + i, static_cast<std::uint8_t>(i * 3));
    }
    EXPECT_EQ(b.chip.Flash()[page], 0xFF);  // loading alone programs nothing
    b.WritePage(page + 10);                 // any address inside the page names it
    EXPECT_EQ(b.chip.PageWriteCount(), 1u);

    // While the page is programmed it reads the busy value; other pages read normally.
    EXPECT_EQ(b.ReadFlash(page + 5), traits.flashBusyValue);
    EXPECT_EQ(b.ReadFlash(page - 1), 0xFF);
    b.pins.Wait(traits.flashWriteNs);
    for (std::uint32_t i = 0; i < 64; ++i) {
        ASSERT_EQ(b.ReadFlash(page + i), static_cast<std::uint8_t>(i * 3)) << i;
    }
    EXPECT_EQ(b.ReadFlash(page + 64), 0xFF);
    EXPECT_EQ(b.chip.LostInstructions(), 0u);
}

// Above 128 KiB the two address bytes reach only the first 64 K words; Load Extended Address
// Byte (4D 00 a 00) supplies the bits above them for page writes and reads, until programming
// mode is entered again. A part with less flash ignores the instruction.
TEST(AvrChip, ExtendedAddressByteReachesFlashAbove128KiB) {
    AvrChipTraits big = PagedTraits();
    big.flashSize = 262144;
    big.pageSize = 256;
    Bench b(big);
    ASSERT_TRUE(b.Enter());
    b.pins.Instr(0x4D, 0x00, 0x01);
    b.LoadPage(0x100, 0x5A);
    b.WritePage(0x100);
    b.pins.Wait(10'000'000);
    EXPECT_EQ(b.chip.Flash()[0x20100], 0x5A);
    EXPECT_EQ(b.chip.Flash()[0x100], 0xFF);
    EXPECT_EQ(b.ReadFlash(0x100), 0x5A);
    ASSERT_TRUE(b.Enter());  // a new session starts again in the first 64 K words
    EXPECT_EQ(b.ReadFlash(0x100), 0xFF);

    Bench small(PagedTraits());
    ASSERT_TRUE(small.Enter());
    small.pins.Instr(0x4D, 0x00, 0x01);
    small.LoadPage(0x40, 0x33);
    small.WritePage(0x40);
    small.pins.Wait(10'000'000);
    EXPECT_EQ(small.chip.Flash()[0x40], 0x33);
}

// The page buffer is addressed by the low address bits only: a load names a position in
// the buffer, and the page write decides where the buffer goes.
TEST(AvrChip, PageBufferTakesTheLowAddressBitsAndEmptiesAfterTheWrite) {
    Bench b(PagedTraits());
    ASSERT_TRUE(b.Enter());
    b.LoadPage(7 * 64 + 9, 0x42);
    b.WritePage(2 * 64);
    b.pins.Wait(10'000'000);
    EXPECT_EQ(b.chip.Flash()[2 * 64 + 9], 0x42);
    EXPECT_EQ(b.chip.Flash()[7 * 64 + 9], 0xFF);
    b.WritePage(5 * 64);  // nothing loaded since: the page stays blank
    b.pins.Wait(10'000'000);
    EXPECT_EQ(b.chip.Flash()[5 * 64 + 9], 0xFF);
}

TEST(AvrChip, ProgrammingOnlyClearsBitsUntilChipErase) {
    for (bool paged : {true, false}) {
        SCOPED_TRACE(paged ? "paged" : "byte mode");
        Bench b(paged ? PagedTraits() : ByteTraits());
        ASSERT_TRUE(b.Enter());
        auto program = [&](std::uint8_t v) {
            if (paged) {
                b.LoadPage(0x41, v);
                b.WritePage(0x40);
            } else {
                b.WriteFlashByte(0x41, v);
            }
            b.pins.Wait(10'000'000);
        };
        program(0xF0);
        program(0x0F);
        EXPECT_EQ(b.ReadFlash(0x41), 0x00);
        b.Erase();
        b.pins.Wait(10'000'000);
        EXPECT_EQ(b.ReadFlash(0x41), 0xFF);
        program(0x0F);
        EXPECT_EQ(b.ReadFlash(0x41), 0x0F);
    }
}

TEST(AvrChip, ByteWriteReadsThePollValueWhileBusyAndLosesInstructionsMeanwhile) {
    const AvrChipTraits traits = ByteTraits();
    Bench b(traits);
    ASSERT_TRUE(b.Enter());
    b.WriteFlashByte(0x101, 0x12);
    EXPECT_EQ(b.ReadFlash(0x101), 0x7F);
    EXPECT_EQ(b.ReadFlash(0x100), 0xFF);  // only the location being written polls
    b.WriteFlashByte(0x102, 0x34);        // too early: ignored
    b.WriteEeprom(0, 0x56);               // also ignored
    EXPECT_EQ(b.chip.LostInstructions(), 2u);
    b.pins.Wait(traits.flashWriteNs);
    EXPECT_EQ(b.ReadFlash(0x101), 0x12);
    EXPECT_EQ(b.ReadFlash(0x102), 0xFF);
    EXPECT_EQ(b.ReadEeprom(0), 0xFF);
    b.WriteFlashByte(0x102, 0x34);  // after the write time the part listens again
    b.pins.Wait(traits.flashWriteNs);
    EXPECT_EQ(b.ReadFlash(0x102), 0x34);
    EXPECT_EQ(b.chip.LostInstructions(), 2u);
}

TEST(AvrChip, EepromByteRewritesWithoutEraseAndPollsWhileBusy) {
    const AvrChipTraits traits = PagedTraits();
    Bench b(traits);
    ASSERT_TRUE(b.Enter());
    b.WriteEeprom(0x1FF, 0x5A);
    EXPECT_EQ(b.ReadEeprom(0x1FF), traits.eepromBusyValue);
    b.pins.Wait(traits.eepromWriteNs);
    EXPECT_EQ(b.ReadEeprom(0x1FF), 0x5A);
    b.WriteEeprom(0x1FF, 0xA5);  // EEPROM cells erase themselves: bits may go back to 1
    b.pins.Wait(traits.eepromWriteNs);
    EXPECT_EQ(b.ReadEeprom(0x1FF), 0xA5);
}

// AT90S parts erase an EEPROM cell before writing it and read P1 during the erase, then P2
// (the complement) during the write: a poll for either value would stop too early.
TEST(AvrChip, EepromErasePhaseReadsTheComplementOfTheBusyValueFirst) {
    AvrChipTraits traits = ByteTraits();
    traits.eepromErasePhase = true;
    Bench b(traits);
    ASSERT_TRUE(b.Enter());
    b.WriteEeprom(0x40, 0x33);
    EXPECT_EQ(b.ReadEeprom(0x40), 0x80);
    b.pins.Wait(traits.eepromWriteNs / 2);
    EXPECT_EQ(b.ReadEeprom(0x40), 0x7F);
    b.pins.Wait(traits.eepromWriteNs / 2);
    EXPECT_EQ(b.ReadEeprom(0x40), 0x33);

    traits.eepromErasePhase = false;  // later parts show one value throughout
    Bench later(traits);
    ASSERT_TRUE(later.Enter());
    later.WriteEeprom(0x40, 0x33);
    EXPECT_EQ(later.ReadEeprom(0x40), 0x7F);
}

TEST(AvrChip, ChipEraseBlanksFlashEepromAndLockButKeepsFuses) {
    const AvrChipTraits traits = PagedTraits();
    Bench b(traits);
    ASSERT_TRUE(b.Enter());
    b.chip.Flash()[100] = 0x00;
    b.chip.Eeprom()[10] = 0x00;
    b.pins.Instr(0xAC, 0xA0, 0x00, 0x3F);
    b.pins.Wait(traits.fuseWriteNs);
    b.pins.Instr(0xAC, 0xE0, 0x00, 0xFC);  // only understood by parts with the lock byte form
    b.pins.Wait(traits.fuseWriteNs);
    b.Erase();
    EXPECT_EQ(b.chip.EraseCount(), 1u);
    EXPECT_EQ(b.ReadFlash(0), traits.flashBusyValue);
    b.WriteEeprom(1, 0x00);  // during the erase: lost
    EXPECT_EQ(b.chip.LostInstructions(), 1u);
    b.pins.Wait(traits.eraseNs);
    EXPECT_EQ(b.ReadFlash(100), 0xFF);
    EXPECT_EQ(b.ReadEeprom(10), 0xFF);
    EXPECT_EQ(b.ReadEeprom(1), 0xFF);
    EXPECT_EQ(b.chip.Lock(), 0xFF);
    EXPECT_EQ(b.chip.FuseLow(), 0x3F);
    EXPECT_EQ(b.chip.FuseHigh(), 0xD9);
}

TEST(AvrChip, SignatureAndCalibrationBytes) {
    Bench b(PagedTraits());
    ASSERT_TRUE(b.Enter());
    EXPECT_EQ(b.Signature(0), 0x1E);
    EXPECT_EQ(b.Signature(1), 0x93);
    EXPECT_EQ(b.Signature(2), 0x07);
    EXPECT_EQ(b.Signature(3), 0xFF);
    for (std::uint8_t i = 0; i < 4; ++i) {
        EXPECT_EQ(b.pins.Instr(0x38, 0x00, i), 0xB0 + i);
    }

    AvrChipTraits one = PagedTraits();
    one.calibrationCount = 1;
    Bench single(one);
    ASSERT_TRUE(single.Enter());
    EXPECT_EQ(single.pins.Instr(0x38, 0x00, 0), 0xB0);
    EXPECT_EQ(single.pins.Instr(0x38, 0x00, 1), 0xFF);

    Bench locked(PagedTraits(), {.locked = true});
    ASSERT_TRUE(locked.Enter());
    EXPECT_EQ(locked.Signature(0), 0x00);
    EXPECT_EQ(locked.Signature(1), 0x01);
    EXPECT_EQ(locked.Signature(2), 0x02);
}

// The fuse instructions each family of parts understands, and those it ignores.
TEST(AvrChip, FuseWritesAndReadsPerFuseSet) {
    struct Case {
        AvrFuseSet set;
        std::uint8_t low, high, ext;  // what the reads give after the writes below
    };
    const Case cases[] = {
        {AvrFuseSet::kLowHighExt, 0x3C, 0xC5, 0xFA},
        {AvrFuseSet::kLowHigh, 0x3C, 0xC5, 0xFF},
        {AvrFuseSet::kLowNewLock, 0x3C, 0xFF, 0xFF},
        {AvrFuseSet::kLow, 0x3C, 0xFF, 0xFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.set));
        AvrChipTraits traits = PagedTraits();
        traits.fuseSet = c.set;
        traits.fuseLow = traits.fuseHigh = traits.fuseExtended = 0xFF;
        Bench b(traits);
        ASSERT_TRUE(b.Enter());
        b.pins.Instr(0xAC, 0xA0, 0x00, 0x3C);
        b.pins.Wait(traits.fuseWriteNs);
        b.pins.Instr(0xAC, 0xA8, 0x00, 0xC5);
        b.pins.Wait(traits.fuseWriteNs);
        b.pins.Instr(0xAC, 0xA4, 0x00, 0xFA);
        b.pins.Wait(traits.fuseWriteNs);
        EXPECT_EQ(b.pins.Instr(0x50, 0x00, 0x00), c.low);
        EXPECT_EQ(b.pins.Instr(0x58, 0x08, 0x00), c.high);
        EXPECT_EQ(b.pins.Instr(0x50, 0x08, 0x00), c.ext);
        EXPECT_EQ(b.chip.LostInstructions(), 0u);
    }
}

// Bits a part does not have read as 1 and SPIEN cannot be changed from the serial
// interface: whatever is written, those bits keep their value.
TEST(AvrChip, FuseBitsOutsideTheWritableMaskKeepTheirValue) {
    AvrChipTraits traits = PagedTraits();
    traits.fuseSet = AvrFuseSet::kLowHighExt;
    traits.fuseLow = 0x6A;  // bit 7 is SPIEN, programmed
    traits.fuseHigh = 0xFF;
    traits.fuseExtended = 0xFF;
    traits.fuseMask[0] = 0x7F;
    traits.fuseMask[1] = 0x1F;
    traits.fuseMask[2] = 0x01;
    Bench b(traits);
    ASSERT_TRUE(b.Enter());
    b.pins.Instr(0xAC, 0xA0, 0x00, 0xFF);
    b.pins.Wait(traits.fuseWriteNs);
    b.pins.Instr(0xAC, 0xA8, 0x00, 0x00);
    b.pins.Wait(traits.fuseWriteNs);
    b.pins.Instr(0xAC, 0xA4, 0x00, 0x00);
    b.pins.Wait(traits.fuseWriteNs);
    EXPECT_EQ(b.pins.Instr(0x50, 0x00, 0x00), 0x7F);
    EXPECT_EQ(b.pins.Instr(0x58, 0x08, 0x00), 0xE0);
    EXPECT_EQ(b.pins.Instr(0x50, 0x08, 0x00), 0xFE);
}

TEST(AvrChip, LegacyFuseFormsCarryTheBitsInTheSecondByte) {
    AvrChipTraits traits = ByteTraits();
    traits.fuseSet = AvrFuseSet::kLegacyLow;  // "AC 101x xxxx": five fuse bits
    traits.fuseLow = 0xFF;
    Bench legacy(traits);
    ASSERT_TRUE(legacy.Enter());
    legacy.pins.Instr(0xAC, 0xA0 | 0x15, 0x00, 0x00);
    legacy.pins.Wait(traits.fuseWriteNs);
    EXPECT_EQ(legacy.pins.Instr(0x50, 0x00, 0x00), 0xF5);
    legacy.pins.Instr(0xAC, 0x15, 0x00, 0x00);  // without the 101 prefix: not a fuse write
    legacy.pins.Wait(traits.fuseWriteNs);
    EXPECT_EQ(legacy.chip.FuseLow(), 0xF5);

    traits.fuseSet = AvrFuseSet::kCombinedLegacy;  // one fuse bit, read with the lock bits
    Bench combined(traits);
    ASSERT_TRUE(combined.Enter());
    EXPECT_EQ(combined.pins.Instr(0x58, 0x00, 0x00), 0xFF);
    combined.pins.Instr(0xAC, 0xA0 | 0x1E, 0x00, 0x00);  // bit 0 programmed
    combined.pins.Wait(traits.fuseWriteNs);
    EXPECT_EQ(combined.pins.Instr(0x58, 0x00, 0x00), 0xFE);
    combined.pins.Instr(0xAC, 0xF9, 0x00, 0x00);  // both lock bits programmed
    combined.pins.Wait(traits.fuseWriteNs);
    EXPECT_EQ(combined.pins.Instr(0x58, 0x00, 0x00), 0xF8);
    EXPECT_EQ(combined.pins.Instr(0x50, 0x00, 0x00), 0xFF);  // no separate fuse read

    traits.fuseSet = AvrFuseSet::kNone;
    Bench none(traits);
    ASSERT_TRUE(none.Enter());
    none.pins.Instr(0xAC, 0xA0, 0x00, 0x00);
    EXPECT_EQ(none.chip.FuseLow(), 0xFF);
}

TEST(AvrChip, LockBitsCanOnlyBeProgrammedUntilChipErase) {
    struct Case {
        AvrFuseSet set;
        std::uint8_t b2, b4;            // the instruction that programs lock bit 1
        std::uint8_t clearB2, clearB4;  // the same form with every bit 1
        std::uint8_t locked;
    };
    const Case cases[] = {
        {AvrFuseSet::kNone, 0xFD, 0x00, 0xFF, 0x00, 0xFD},  // "AC 1111 1211"
        {AvrFuseSet::kLow, 0xFD, 0x00, 0xFF, 0x00, 0xFD},
        {AvrFuseSet::kLowHighExt, 0xE0, 0xFE, 0xE0, 0xFF, 0xFE},  // "AC E0 00 lock byte"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.set));
        AvrChipTraits traits = ByteTraits();
        traits.fuseSet = c.set;
        Bench b(traits);
        ASSERT_TRUE(b.Enter());
        b.pins.Instr(0xAC, c.b2, 0x00, c.b4);
        b.pins.Wait(traits.fuseWriteNs);
        EXPECT_EQ(b.chip.Lock(), c.locked);
        EXPECT_EQ(b.pins.Instr(0x58, 0x00, 0x00), c.locked);
        b.pins.Instr(0xAC, c.clearB2, 0x00, c.clearB4);  // an attempt to unprogram
        b.pins.Wait(traits.fuseWriteNs);
        EXPECT_EQ(b.chip.Lock(), c.locked);
        b.Erase();
        b.pins.Wait(traits.eraseNs);
        EXPECT_EQ(b.chip.Lock(), 0xFF);
    }
}

// With lock bit 1 programmed (lock modes 2 and 3) flash, EEPROM and fuses take no more
// writes; more lock bits and a chip erase are still accepted, and the erase unlocks.
TEST(AvrChip, ProgrammedLockBitOneRefusesWritesUntilChipErase) {
    struct Case {
        AvrFuseSet set;
        bool paged;
        std::uint8_t b2, b4;        // programs lock bit 1 only
        std::uint8_t both2, both4;  // programs both lock bits
    };
    const Case cases[] = {
        {AvrFuseSet::kNone, false, 0xFD, 0x00, 0xF9, 0x00},
        {AvrFuseSet::kLegacyLow, false, 0xFD, 0x00, 0xF9, 0x00},
        {AvrFuseSet::kLowHigh, true, 0xE0, 0xFE, 0xE0, 0xFC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.set));
        AvrChipTraits traits = c.paged ? PagedTraits() : ByteTraits();
        traits.fuseSet = c.set;
        traits.fuseLow = 0xFF;
        Bench b(traits);
        ASSERT_TRUE(b.Enter());
        auto tryWrites = [&] {
            if (c.paged) {
                b.LoadPage(0x10, 0x00);
                b.WritePage(0x10);
            } else {
                b.WriteFlashByte(0x10, 0x00);
            }
            b.pins.Wait(10'000'000);
            b.WriteEeprom(0x10, 0x00);
            b.pins.Wait(10'000'000);
            b.pins.Instr(0xAC, 0xA0, 0x00, 0x00);  // the legacy parts read it as "101 00000"
            b.pins.Wait(10'000'000);
        };
        b.pins.Instr(0xAC, c.b2, 0x00, c.b4);
        b.pins.Wait(10'000'000);
        tryWrites();
        EXPECT_EQ(b.ReadFlash(0x10), 0xFF);
        EXPECT_EQ(b.ReadEeprom(0x10), 0xFF);
        EXPECT_EQ(b.chip.FuseLow(), 0xFF);
        const std::uint8_t modeTwo = b.chip.Lock();
        b.pins.Instr(0xAC, c.both2, 0x00, c.both4);
        b.pins.Wait(10'000'000);
        EXPECT_NE(b.chip.Lock(), modeTwo);  // lock mode 3 is still reachable

        b.Erase();
        b.pins.Wait(traits.eraseNs);
        tryWrites();
        EXPECT_EQ(b.ReadFlash(0x10), 0x00);
        EXPECT_EQ(b.ReadEeprom(0x10), 0x00);
        if (c.set != AvrFuseSet::kNone) {
            EXPECT_NE(b.chip.FuseLow(), 0xFF);
        }
    }
}

TEST(AvrChip, PowerCutDropsTheInterfaceAndThePartialInstruction) {
    const AvrChipTraits traits = PagedTraits();
    Bench b(traits);
    ASSERT_TRUE(b.Enter());
    b.pins.Byte(0xC0);
    b.pins.Byte(0x00);
    b.pins.Byte(0x05);
    b.chip.SetPower(false, b.pins.Now());
    EXPECT_FALSE(b.chip.Powered());
    EXPECT_FALSE(b.chip.ProgrammingEnabled());
    EXPECT_EQ(b.chip.Miso(), Level::kFloating);
    b.pins.Byte(0x00);  // the last byte reaches an unpowered part
    EXPECT_EQ(b.chip.Eeprom()[5], 0xFF);

    b.chip.SetPower(true, b.pins.Now());
    b.pins.SetReset(Level::kLow);
    b.pins.Wait(30'000'000);
    EXPECT_EQ(b.ReadEeprom(5), 0x00);  // no enable yet: nothing answers
    ASSERT_TRUE(b.pins.AvrEnable());
    EXPECT_EQ(b.ReadEeprom(5), 0xFF);
}

TEST(AvrChip, PowerCutDuringAWriteLeavesThePartIdleAfterPowerUp) {
    const AvrChipTraits traits = ByteTraits();
    Bench b(traits);
    ASSERT_TRUE(b.Enter());
    b.WriteFlashByte(0x20, 0x11);
    b.chip.SetPower(false, b.pins.Now());
    b.chip.SetPower(true, b.pins.Now());
    ASSERT_TRUE(b.Enter());
    b.WriteFlashByte(0x21, 0x22);  // the old write's busy time died with the supply
    EXPECT_EQ(b.chip.LostInstructions(), 0u);
    b.pins.Wait(traits.flashWriteNs);
    EXPECT_EQ(b.ReadFlash(0x21), 0x22);
}

// Random instructions from the whole instruction set, with random addresses and waits, on
// parts of every shape (including one without memories): nothing may crash, and the
// memories keep their sizes.
TEST(AvrChip, RandomInstructionStreamsNeverMisbehave) {
    std::mt19937 rng(7);
    auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    static constexpr std::uint8_t kOps[] = {0x20, 0x28, 0x30, 0x38, 0x40, 0x48, 0x4C,
                                            0x50, 0x58, 0xA0, 0xAC, 0xC0, 0xF0};
    static constexpr std::uint8_t kAcOps[] = {0x53, 0x80, 0xA0, 0xA4, 0xA8, 0xE0, 0xF9, 0xBF};
    for (int round = 0; round < 60; ++round) {
        AvrChipTraits traits = pick(2) ? PagedTraits() : ByteTraits();
        if (pick(4) == 0) traits = AvrChipTraits{};
        traits.fuseSet = static_cast<AvrFuseSet>(pick(7));
        Bench b(traits, {.outOfStepBits = pick(3) == 0 ? pick(64) : 0u});
        b.Enter();
        for (int i = 0; i < 400; ++i) {
            const std::uint8_t op =
                pick(8) == 0 ? static_cast<std::uint8_t>(rng()) : kOps[pick(13)];
            const std::uint8_t b2 = op == 0xAC ? kAcOps[pick(8)] : static_cast<std::uint8_t>(rng());
            b.pins.Instr(op, b2, static_cast<std::uint8_t>(rng()),
                         static_cast<std::uint8_t>(rng()));
            switch (pick(16)) {
                case 0:
                    b.pins.Wait(pick(20'000'000));
                    break;
                case 1:
                    b.pins.ExtraClock();
                    break;
                case 2:
                    b.chip.SetPower(pick(2) == 0, b.pins.Now());
                    break;
                case 3:
                    b.Enter();
                    break;
                default:
                    break;
            }
        }
        b.chip.SetPower(true, b.pins.Now());
        EXPECT_EQ(b.chip.Flash().size(), traits.flashSize);
        EXPECT_EQ(b.chip.Eeprom().size(), traits.eepromSize);
    }
}

}  // namespace
}  // namespace velkor::sim
