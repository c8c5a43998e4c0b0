#include "files/image_fit.h"

#include <gtest/gtest.h>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
#include "files/image_loader.h"
#include "station/engine_images.h"
#include "tests/files/hex_test_support.h"
#include "tests/support/engine_edit.h"

namespace velkor {
using test::Edit;
namespace {

using testing::IntelRecord;

class ImageFitTest : public ::testing::Test {
  protected:
    std::string Make(const std::string& name, const std::string& text) {
        testing::WriteFile(dir / name, text);
        return dir / name;
    }
    void Select(const char* chip) {
        Edit(engine)->targetFamily = kFamilyAvr;
        Edit(engine)->chipIndex = static_cast<std::uint32_t>(FindChipByName(kFamilyAvr, chip));
    }

    testing::ScratchDir dir;
    IspProgrammer engine;
    HexFile flashFile;
    HexFile eepromFile;
};

TEST_F(ImageFitTest, CountsBytesAboveTheChipAndBeyondTheImage) {
    // 16 bytes at 1FF8 straddle mega8's 8 KiB end; a linear-address record puts 4 more bytes at
    // 0x20000, beyond the whole flash image.
    const std::string text = IntelRecord(0, 0x1FF8, std::vector<std::uint8_t>(16, 0xFF)) +
                             IntelRecord(4, 0, {0x00, 0x02}) + IntelRecord(0, 0, {1, 2, 3, 4});
    ASSERT_EQ(LoadFlashImage(engine, flashFile, Make("f.hex", text)), 0);
    Select("mega8");
    const ImageFit fit = CheckImageFits(flashFile.Extent(), 8192);
    EXPECT_EQ(fit.beyond, 12u);  // 8 FF bytes above 2000 count too: they are data
    EXPECT_EQ(fit.firstAddress, 0x2000u);
    EXPECT_EQ(ImageFitLines(engine.Settings(), flashFile, eepromFile),
              "Flash映像有 12 字节超出 mega8 的Flash (8192 字节), 起始地址 2000, "
              "这些数据不会写入.\r\n");
    Select("mega128");  // 128 KiB: only the 4 bytes beyond the image remain
    const ImageFit big = CheckImageFits(flashFile.Extent(), 131072);
    EXPECT_EQ(big.beyond, 4u);
    EXPECT_EQ(big.firstAddress, 0x20000u);
}

TEST_F(ImageFitTest, EepromIsJudgedAgainstTheChipsEeprom) {
    std::string text;
    for (unsigned at = 0; at < 1000; at += 20)
        text += IntelRecord(0, at, std::vector<std::uint8_t>(20, 0x5A));
    ASSERT_EQ(LoadEepromImage(engine, eepromFile, Make("e.hex", text)), 0);
    Select("tiny13");  // 64 bytes of EEPROM
    EXPECT_EQ(ImageFitLines(engine.Settings(), flashFile, eepromFile),
              "EEPROM映像有 936 字节超出 tiny13 的EEPROM (64 字节), 起始地址 40, "
              "这些数据不会写入.\r\n");
    Select("mega16");  // 512 bytes
    EXPECT_EQ(CheckImageFits(eepromFile.Extent(), 512).beyond, 488u);
    Select("mega32");  // 1024 bytes: fits
    EXPECT_EQ(ImageFitLines(engine.Settings(), flashFile, eepromFile), "");
}

}  // namespace
}  // namespace velkor
