// velkor.ini through the station: read once when a front end starts, the images it names
// loaded, the command flags as the window shows them, and the command line's --ini, which never
// enables fuse writing by itself.
#include <gtest/gtest.h>

#include "app/main_window_boxes.h"
#include "files/gbk_text.h"
#include "station/station.h"
#include "tests/cli/cli_run.h"
#include "tests/files/settings_test_support.h"

namespace velkor {
namespace {

using testing::SettingsScratch;
using testing::WriteBytes;

constexpr const char* kHexRecord = ":0300300002337A1E\n";  // 02 33 7A at 0x30

TEST(StationSettings, TheWindowReadsTheFileOnceAndShowsItsFlagsInTheBoxes) {
    SettingsScratch dir;
    const std::string ini = dir / "velkor.ini";
    const std::string flash = dir / "固件.hex";
    WriteBytes(flash, kHexRecord);
    // The file holds its paths in GBK.
    WriteBytes(ini,
               *Utf8ToGbk("[FLASH]\r\nFILE=" + flash + "\r\n[EEPROM]\r\nFILE=" + dir / "gone.hex" +
                          "\r\n[DEVICE]\r\nID=7\r\n[EXTRA]\r\nLanguage=en\r\n"
                          "[PROGOPTION]\r\nAutoISP=1\r\n[PROGCMD]\r\nWriteFlash=1\r\n"
                          "WriteEEPROM=9\r\nLock=1\r\nErase=0\r\nCheckId=1\r\nVerify=0\r\n"
                          "CopyCal=1\r\nWriteFuse=1\r\n"));
    Station station;
    EXPECT_EQ(station.OpenDesktopSettings(ini).logLanguage, Language::kEn);
    // Whatever happens to the file between the two steps of the start, it was read once.
    WriteBytes(ini, "[DEVICE]\r\nID=9\r\n");
    const SettingsLoadResult read = station.OpenSettings(ini);
    EXPECT_EQ(station.ChipIndex(), 7u);
    EXPECT_EQ(read.flashLoad, 0);
    EXPECT_EQ(read.eepromLoad, kHexLoadOpenFailed);
    EXPECT_EQ(station.FlashFile().Path(), flash);
    EXPECT_EQ(station.EepromFile().Path(), dir / "gone.hex");
    EXPECT_EQ(station.Engine().FlashImage()[0x30], 0x02);
    EXPECT_EQ(station.Engine().FlashImageLength(), 0x33u);

    MainWindowState boxes = BoxesFromCommands(station.Options().commands, read.autoProgram);
    MainWindowState expected;
    expected = {true, false, false, true, true, false, true, true, true};
    EXPECT_EQ(boxes, expected);  // FUSE unchecked, whatever was saved

    boxes.lock = false;
    boxes.autoProgram = false;
    CollectCommandFlags(boxes, station.Options().commands);
    ASSERT_TRUE(station.SaveSettings(ini, boxes.autoProgram).Ok());
    const ProfileDocument saved = ProfileDocument::FromGbk(testing::ReadBytes(ini));
    // GetString gives UTF-8.
    EXPECT_EQ(saved.GetInt("PROGCMD", "WriteFuse"), 0);
    EXPECT_EQ(saved.GetInt("PROGCMD", "Lock"), 0);
    EXPECT_EQ(saved.GetInt("PROGCMD", "WriteEEPROM"), 1);
    EXPECT_EQ(saved.GetInt("PROGOPTION", "AutoISP"), 0);
    EXPECT_EQ(saved.GetInt("DEVICE", "ID"), 7);
    EXPECT_EQ(saved.GetString("FLASH", "FILE", ""), flash);
    EXPECT_EQ(saved.GetString("EXTRA", "Language", ""), "en");
}

TEST(StationSettings, TheCommandLineLoadsLikeAStartAndNeverEnablesFuseWriting) {
    SettingsScratch dir;
    const std::string hex = dir / "a.hex";
    WriteBytes(hex, kHexRecord);
    WriteBytes(dir / "good.ini", "[FLASH]\r\nFILE=" + hex +
                                     "\r\n[DEVICE]\r\nID=7\r\nFUSE0=225\r\n"
                                     "[EXTRA]\r\nVerifyScope=file\r\n"
                                     "[PROGCMD]\r\nWriteFlash=1\r\nWriteFuse=1\r\nReadFuse=1\r\n");
    Station station;
    SettingsLoadResult read;
    EXPECT_TRUE(station.ApplySettingsFile(dir / "good.ini", &read));
    EXPECT_TRUE(read.fuseKeys[0]);
    EXPECT_FALSE(read.fuseKeys[1]);
    EXPECT_EQ(station.ChipIndex(), 7u);
    EXPECT_EQ(station.Fuses().low, 0xE1);
    EXPECT_EQ(station.Engine().FlashImage()[0x30], 0x02);
    const ProgramCommandSet& commands = station.Options().commands;
    EXPECT_EQ(commands.writeFlash, 1);
    EXPECT_EQ(commands.writeFuse, 0);
    EXPECT_EQ(commands.readFuse, 1);
    EXPECT_EQ(commands.verify, 0);
    EXPECT_EQ(station.Desktop().extra.verifyScope, VerifyScope::kFile);

    WriteBytes(dir / "damaged.hex", ":0300300002337A1E\n:zz\n");
    WriteBytes(dir / "bad.ini", "[EEPROM]\r\nFILE=" + dir / "damaged.hex" + "\r\n");
    Station other;
    EXPECT_FALSE(other.ApplySettingsFile(dir / "bad.ini", nullptr));

    Station none;
    EXPECT_FALSE(none.ApplySettingsFile(dir / "none.ini", nullptr));
    EXPECT_EQ(none.LogText(), "设置文件 " + dir / "none.ini" + " 不存在.\r\n");
}

// A file of which nothing is known would run on every default: refused before anything runs.
TEST(StationSettings, TheCommandLineRefusesASettingsFileWithNothingItKnows) {
    SettingsScratch dir;
    const std::string good = "[DEVICE]\r\nTYPE=0\r\nID=7\r\n[PROGCMD]\r\nErase=1\r\n";
    const struct {
        const char* name;
        std::string text;
    } cases[] = {{"empty", ""},
                 {"random", std::string("\x8f\x02\xff[\x00=\x13\xb7", 9)},
                 {"cr-only", "[DEVICE]\rTYPE=0\rID=7\r[PROGCMD]\rErase=1\r"},
                 {"truncated", good.substr(0, 5)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ini = dir / (std::string(c.name) + ".ini");
        WriteBytes(ini, c.text);
        const cli::CliRun run = cli::Cli({"program", "--ini", ini, "--backend", "sim"});
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.out.find("中没有本程序认识的设置"), std::string::npos)
            << run.out << run.err;
    }
    WriteBytes(dir / "good.ini", good);
    EXPECT_EQ(cli::Cli({"program", "--ini", dir / "good.ini", "--backend", "sim"}).status, 0);
}

}  // namespace
}  // namespace velkor
