#include "files/image_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/isp_programmer.h"
#include "station/engine_images.h"
#include "tests/files/hex_test_support.h"
#include "tests/support/engine_edit.h"

namespace velkor {
using test::PokeImage;
namespace {

using testing::IntelRecord;

// An EEPROM file holding `count` bytes of 0x11 from address 0.
std::string EepromBytes(std::size_t count) {
    std::string text;
    for (std::size_t at = 0; at < count; at += 16) {
        text += IntelRecord(0, static_cast<unsigned>(at),
                            std::vector<std::uint8_t>(std::min<std::size_t>(16, count - at), 0x11));
    }
    return text + ":00000001FF\n";
}

class ImageLoaderTest : public ::testing::Test {
  protected:
    std::string Make(const std::string& name, const std::string& text) {
        testing::WriteFile(dir / name, text);
        return dir / name;
    }

    testing::ScratchDir dir;
    IspProgrammer programmer;
    HexFile flashFile;
    HexFile eepromFile;
};

TEST_F(ImageLoaderTest, EmptyPathDoesNothing) {
    const std::string path = Make("a.hex", ":0300300002337A1E\n");
    ASSERT_EQ(LoadEepromImage(programmer, eepromFile, path), 0);
    EXPECT_EQ(LoadEepromImage(programmer, eepromFile, ""), kHexLoadNoPath);
    EXPECT_EQ(eepromFile.Path(), path);
    EXPECT_TRUE(eepromFile.IsOpen());
    EXPECT_EQ(programmer.EepromImage()[0x30], 0x02);
    EXPECT_EQ(programmer.LogText(), "");
}

TEST_F(ImageLoaderTest, UnopenableFileLeavesTheImageAndIsLogged) {
    ASSERT_EQ(LoadEepromImage(programmer, eepromFile, Make("a.hex", ":0300300002337A1E\n")), 0);
    PokeImage(programmer, ImageKind::kEeprom, 0, 0x42);
    const std::string missing = dir / "missing.hex";
    EXPECT_EQ(LoadEepromImage(programmer, eepromFile, missing), kHexLoadOpenFailed);
    EXPECT_EQ(programmer.EepromImage()[0], 0x42);
    EXPECT_EQ(programmer.EepromImageLength(), 0x33u);
    EXPECT_FALSE(eepromFile.IsOpen());      // the earlier file was closed first
    EXPECT_EQ(eepromFile.Path(), missing);  // and the failed path is what is remembered
    EXPECT_EQ(programmer.LogText(), "无法打开HEX文件 " + missing + ", 映像保持不变.\r\n");
}

TEST_F(ImageLoaderTest, LoadFillsWithFFAndKeepsTheLongestLength) {
    EXPECT_EQ(programmer.EepromImage()[5], 0x00);  // as constructed
    ASSERT_EQ(LoadEepromImage(programmer, eepromFile, Make("200.hex", EepromBytes(200))), 0);
    ASSERT_EQ(LoadEepromImage(programmer, eepromFile, Make("100.hex", EepromBytes(100))), 0);
    EXPECT_EQ(programmer.EepromImageLength(), 200u);
    EXPECT_EQ(programmer.EepromImage()[99], 0x11);
    for (std::size_t i = 100; i < kEepromImageSize; ++i)
        ASSERT_EQ(programmer.EepromImage()[i], 0xFF);
    EXPECT_TRUE(eepromFile.IsOpen());
    EXPECT_EQ(programmer.FlashImageLength(), 0u);  // the other kind is untouched
}

TEST_F(ImageLoaderTest, FlashLimitIsTheWholeFlashImage) {
    const std::string text = IntelRecord(4, 0, {0x00, 0x03}) + IntelRecord(0, 0xFFFE, {1, 2, 3, 4});
    ASSERT_EQ(LoadFlashImage(programmer, flashFile, Make("f.hex", text)), 0);
    EXPECT_EQ(programmer.FlashImage()[kFlashImageSize - 1], 2);
    EXPECT_EQ(programmer.FlashImageLength(), kFlashImageSize);
    EXPECT_EQ(programmer.EepromImageLength(), 0u);
}

// A byte order mark is skipped, not the record behind it; a line that is no record is skipped
// as ever, but counted and said, since it may be a record mangled.
TEST_F(ImageLoaderTest, AByteOrderMarkIsSkippedAndLinesThatAreNoRecordAreTold) {
    const LoadedImage marked =
        ReadImageText("a.hex", "\xEF\xBB\xBF:0300300002337A1E\n:00000001FF\n", true, 0);
    EXPECT_EQ(marked.result, 0);
    EXPECT_EQ(marked.bytes[0x30], 0x02);
    EXPECT_TRUE(marked.lines.empty());

    const LoadedImage mangled = ReadImageText(
        "b.hex", ":0300300002337A1E\n\n  \r\n :0100000001FE\nnotes\n:00000001FF\n", true, 0);
    EXPECT_EQ(mangled.result, 0);
    EXPECT_EQ(mangled.extent.otherLines, 2u);
    EXPECT_EQ(mangled.extent.firstOtherLine, 4);
    ASSERT_EQ(mangled.lines.size(), 1u);
    EXPECT_EQ(Render(mangled.lines[0], Language::kEn),
              "b.hex has 2 lines that are not records (the first at line 4); they were "
              "skipped.\r\n");
}

TEST_F(ImageLoaderTest, FaultyFileIsLoggedWithItsLineAndKeepsTheBytesBefore) {
    const std::string path = Make("bad.hex", ":0300300002337A1E\n:00000003FD\n:01000000AA55\n");
    EXPECT_EQ(LoadFlashImage(programmer, flashFile, path), 2);
    EXPECT_EQ(programmer.FlashImage()[0x32], 0x7A);
    EXPECT_EQ(programmer.FlashImage()[0], 0xFF);
    EXPECT_EQ(programmer.LogText(),
              "HEX文件 " + path + " 第 2 行有错误, 读取在此停止, 其后的数据未载入.\r\n");
}

}  // namespace
}  // namespace velkor

namespace velkor {
namespace {

// Whatever is not a file of HEX records must neither load as an erased image nor hang.
TEST(ImageLoaderRefusal, FilesWithoutDataLeaveTheImageAndSaySo) {
    testing::ScratchDir dir;
    IspProgrammer programmer;
    HexFile file;
    const std::string good = dir / "good.hex";
    testing::WriteFile(good, ":0300300002337A1E\n");
    ASSERT_EQ(LoadFlashImage(programmer, file, good), 0);
    std::filesystem::create_directory(dir / "folder.hex");
    testing::WriteFile(dir / "empty.hex", "");
    testing::WriteFile(dir / "notes.txt", "Some notes\nabout: nothing\n:00000001FF\n");
    testing::WriteFile(dir / "raw.bin", std::string("\x0c\x94\x2a\x00\x00\x01", 6));
    const struct {
        std::string path;
        int result;
    } cases[] = {{dir / "folder.hex", kHexLoadOpenFailed}, {"/dev/null", kHexLoadOpenFailed},
                 {"/dev/zero", kHexLoadOpenFailed},        {dir / "empty.hex", kHexLoadNoData},
                 {dir / "notes.txt", kHexLoadNoData},      {dir / "raw.bin", kHexLoadNoData}};
    for (const auto& c : cases) {
#ifdef _WIN32
        if (c.path.rfind("/dev/", 0) == 0) continue;
#endif
        const std::size_t before = programmer.LogText().size();
        EXPECT_EQ(LoadFlashImage(programmer, file, c.path), c.result) << c.path;
        EXPECT_FALSE(file.IsOpen()) << c.path;
        EXPECT_EQ(programmer.FlashImage()[0x30], 0x02) << c.path;  // the earlier image stays
        EXPECT_EQ(programmer.FlashImageLength(), 0x33u) << c.path;
        const std::string log = programmer.LogText().substr(before);
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_NE(log.find(c.path), std::string::npos) << log;
    }
}

}  // namespace
}  // namespace velkor
