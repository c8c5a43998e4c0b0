#include "files/hex_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/files/hex_test_support.h"

namespace velkor {
namespace {

using testing::IntelRecord;
using testing::SRecord;
using testing::StreamOf;

class HexReaderTest : public ::testing::Test {
  protected:
    int Read(const std::string& text) {
        auto file = StreamOf(text);
        return ReadHexImage(file.get(), image, length);
    }
    void UseLimit(std::size_t limit) { image.assign(limit, 0xFF); }
    std::vector<std::uint8_t> At(std::size_t address, std::size_t count) const {
        return {image.begin() + address, image.begin() + address + count};
    }
    std::size_t Written() const {
        return image.size() - std::count(image.begin(), image.end(), 0xFF);
    }

    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(0x1000, 0xFF);
    std::uint32_t length = 0;
};

const std::string kRecordAt30 = ":0300300002337A1E\n";  // 02 33 7A at 0x30

TEST_F(HexReaderTest, DataRecordStoresItsBytesAndRaisesTheLength) {
    EXPECT_EQ(Read(kRecordAt30), 0);
    EXPECT_EQ(At(0x30, 3), (std::vector<std::uint8_t>{0x02, 0x33, 0x7A}));
    EXPECT_EQ(Written(), 3u);
    EXPECT_EQ(length, 0x33u);

    length = 0x200;  // from an earlier, longer load
    EXPECT_EQ(Read(kRecordAt30), 0);
    EXPECT_EQ(length, 0x200u);
}

TEST_F(HexReaderTest, RecordsWithNonDigitsAreFaultyAndStoreNothing) {
    for (const char* line : {":0300300002337a1e\n", ":0300300002337A1e\n", ":03003000023\n",
                             ":0300300002G37A1E\n", ":030030000233 7A1E\n"}) {
        EXPECT_EQ(Read(line + kRecordAt30), 1) << line;
    }
    EXPECT_EQ(Written(), 0u);
    EXPECT_EQ(length, 0u);
}

TEST_F(HexReaderTest, ExtendedAddressesMoveDataUpAndBeyondTheLimitIsDropped) {
    EXPECT_EQ(Read(":02000004000AF0\n" + kRecordAt30), 0);  // 0xA0030 > the 4 KiB limit
    EXPECT_EQ(Written(), 0u);
    EXPECT_EQ(length, 0u);

    UseLimit(0x100000);
    EXPECT_EQ(Read(":02000004000AF0\n" + kRecordAt30), 0);
    EXPECT_EQ(At(0xA0030, 3), (std::vector<std::uint8_t>{0x02, 0x33, 0x7A}));
    EXPECT_EQ(length, 0xA0033u);
    // Segment (x16) and upper (x64 KiB) add up; both start from 0 again in the next call.
    EXPECT_EQ(Read(IntelRecord(2, 0, {0x10, 0x00}) + IntelRecord(4, 0, {0x00, 0x01}) +
                   IntelRecord(0, 0x10, {0xAB})),
              0);
    EXPECT_EQ(image[0x20010], 0xAB);
    EXPECT_EQ(Read(IntelRecord(0, 0x20, {0xCD})), 0);
    EXPECT_EQ(image[0x20], 0xCD);
}

TEST_F(HexReaderTest, ExtendedAddressRecordsNeedTwoBytesBelowFFFF) {
    for (unsigned type : {2u, 4u}) {
        EXPECT_EQ(Read(IntelRecord(type, 0, {0xFF, 0xFF})), 1) << type;
        EXPECT_EQ(Read(IntelRecord(type, 0, {0x01})), 1) << type;
        EXPECT_EQ(Read(IntelRecord(type, 0, {0x00, 0x01, 0x02})), 1) << type;
        EXPECT_EQ(Read(IntelRecord(type, 0, {0xFF, 0xFE})), 0) << type;
    }
}

TEST_F(HexReaderTest, BytesAtTheLimitAreCheckedButNotStored) {
    UseLimit(0x40);
    std::vector<std::uint8_t> data(16);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(Read(IntelRecord(0, 0x38, data)), 0);
    EXPECT_EQ(At(0x38, 8), std::vector<std::uint8_t>(data.begin(), data.begin() + 8));
    EXPECT_EQ(length, 0x40u);
    // A bad digit or checksum in the dropped part is still a fault.
    EXPECT_EQ(Read(":0200400012GG00\n"), 1);
    EXPECT_EQ(Read(":020040001234FF\n"), 1);
}

TEST_F(HexReaderTest, EndOfFileRecordDoesNotStopReadingButOtherTypesDo) {
    EXPECT_EQ(Read(":00000001FF\n" + kRecordAt30), 0);
    EXPECT_EQ(length, 0x33u);
    EXPECT_EQ(Read(IntelRecord(1, 0, {0xAA})), 1);

    for (unsigned type : {3u, 5u, 6u, 0xFFu}) {
        UseLimit(0x1000);
        const std::string text = IntelRecord(0, 0, {0x11}) + IntelRecord(type, 0, {0, 0, 0, 0}) +
                                 IntelRecord(0, 1, {0x22});
        EXPECT_EQ(Read(text), 2) << type;
        EXPECT_EQ(At(0, 2), (std::vector<std::uint8_t>{0x11, 0xFF})) << type;
    }
}

TEST_F(HexReaderTest, WrongChecksumIsFaultyAfterItsBytesWereStored) {
    EXPECT_EQ(Read(":00000001FF\n:0300300002337A1F\n" + IntelRecord(0, 0, {1})), 2);
    EXPECT_EQ(At(0x30, 3), (std::vector<std::uint8_t>{0x02, 0x33, 0x7A}));
    EXPECT_EQ(image[0], 0xFF);

    // Every length, the longest included: a checksum one off, and a last data byte changed
    // after the checksum was made (a reader that stops summing early misses only that one).
    for (const std::size_t count : {1u, 16u, 17u, 32u, 255u}) {
        std::vector<std::uint8_t> data(count);
        for (std::size_t i = 0; i < count; ++i) data[i] = static_cast<std::uint8_t>(i * 37 + 5);
        const std::string good = IntelRecord(0, 0x100, data);
        std::string badSum = good;
        std::string badByte = good;
        const std::size_t sumAt = good.size() - 2;  // the checksum's last digit
        const std::size_t byteAt = sumAt - 2;       // the last data byte's last digit
        badSum[sumAt] = badSum[sumAt] == '0' ? '1' : '0';
        badByte[byteAt] = badByte[byteAt] == '0' ? '1' : '0';
        for (const std::string& line : {badSum, badByte}) {
            UseLimit(0x1000);
            EXPECT_EQ(Read(kRecordAt30 + line + IntelRecord(0, 0, {1})), 2) << line;
            EXPECT_EQ(image[0], 0xFF) << line;
        }
        UseLimit(0x1000);
        EXPECT_EQ(Read(good), 0) << good;
        EXPECT_EQ(At(0x100, count), data);
    }
}

TEST_F(HexReaderTest, SRecordsStoreDataWithoutIntelExtendedAddresses) {
    EXPECT_EQ(Read("S1130000285F245F2212226A000424290008237C2A\n"), 0);
    EXPECT_EQ(At(0, 16),
              (std::vector<std::uint8_t>{0x28, 0x5F, 0x24, 0x5F, 0x22, 0x12, 0x22, 0x6A, 0x00, 0x04,
                                         0x24, 0x29, 0x00, 0x08, 0x23, 0x7C}));
    EXPECT_EQ(length, 16u);

    UseLimit(0x1000);
    EXPECT_EQ(Read(":02000004000AF0\n" + SRecord(3, 0x000123, {1, 2}) +
                   SRecord(4, 0x00000456, {3}) + SRecord(4, 0x00010000, {4})),
              0);
    EXPECT_EQ(At(0x123, 2), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(image[0x456], 3);
    EXPECT_EQ(Written(), 3u);
}

TEST_F(HexReaderTest, SRecordTypesWithoutDataAreSkippedAndMalformedOnesAreFaulty) {
    EXPECT_EQ(Read("S00600004844521B\nS5030001FB\nS9030000FC\nS\nSX\nS7zz\n"), 0);
    EXPECT_EQ(Read("S1030000FC\n"), 0);  // no data bytes: fine
    EXPECT_EQ(Read("S1020000FD\n"), 1);  // count too small for address and checksum
    EXPECT_EQ(Read("S20300000000\n"), 1);
    EXPECT_EQ(Read("S1040000AAAA\n"), 1);            // checksum summing to 0, not FF
    EXPECT_EQ(Read(SRecord(4, 0xFFFFFFFF, {})), 1);  // all-ones S3 address
    EXPECT_EQ(Read("S1130000285f245f2212226a000424290008237c2a\n"), 1);
}

TEST_F(HexReaderTest, LongLinesAreReadIn599CharacterPiecesEachCountingAsALine) {
    const std::string bad = ":0300300002337A1F\n";
    EXPECT_EQ(Read(std::string(598, 'x') + "\n" + bad), 2);
    EXPECT_EQ(Read(std::string(599, 'x') + "\n" + bad), 3);  // the line end is a piece alone
    UseLimit(0x1000);
    EXPECT_EQ(Read(std::string(599, 'x') + kRecordAt30), 0);  // the second piece is a record
    EXPECT_EQ(image[0x30], 0x02);
    EXPECT_EQ(Read(":0300300002337A1E" + std::string(700, ' ') + "\n" + bad), 3);
}

TEST_F(HexReaderTest, NonRecordLinesAndTextAfterTheChecksumAreIgnored) {
    EXPECT_EQ(
        Read("\n\n; comment\n :0300300002337A1E\ns1130000285F245F2212226A000424290008237C2A\n"), 0);
    EXPECT_EQ(Written(), 0u);
    EXPECT_EQ(Read(":0300300002337A1E  \r\n:00000001FF trailing"), 0);
    EXPECT_EQ(length, 0x33u);
}

TEST_F(HexReaderTest, HostileInputNeitherCrashesNorWritesOutsideTheImage) {
    EXPECT_EQ(Read(""), 0);
    EXPECT_EQ(Read(":FF00000000\n"), 1);                       // count far beyond the line
    EXPECT_EQ(Read(std::string("\0\n", 2) + kRecordAt30), 0);  // NUL line skipped
    EXPECT_EQ(Read(std::string(":03003000\0"
                               "2337A1E\n",
                               18)),
              1);
    // A 10 MB line: a valid empty record followed by pieces of zeros that are not records.
    EXPECT_EQ(Read(":" + std::string(10'000'000, '0') + "\n" + kRecordAt30), 0);

    // Addresses far past the image must not wrap around into it.
    UseLimit(0x100000);
    length = 0;
    EXPECT_EQ(Read(SRecord(4, 0xFFFFFFFE, {1, 2, 3, 4}) + IntelRecord(4, 0, {0xFF, 0xFE}) +
                   IntelRecord(2, 0, {0xFF, 0xFE}) + IntelRecord(0, 0xFFFF, {5})),
              0);
    EXPECT_EQ(Written(), 0u);

    std::mt19937 random(1234);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    for (std::size_t i = 0; i < garbage.size(); i += 97) garbage[i] = ":S\n"[i % 3];
    UseLimit(16);
    Read(garbage);
    EXPECT_LE(length, 16u);
}

}  // namespace
}  // namespace velkor
