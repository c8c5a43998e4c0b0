#include "files/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
#include "files/gbk_text.h"
#include "files/profile_file.h"
#include "files/utf8_path.h"
#include "tests/files/settings_test_support.h"
#include "tests/support/engine_edit.h"

namespace velkor {
using test::Edit;
namespace {

using testing::ReadBytes;
using testing::SettingsScratch;
using testing::WriteBytes;

constexpr const char* kHexRecord = ":0300300002337A1E\n";  // 02 33 7A at 0x30

class SettingsTest : public ::testing::Test {
  protected:
    // Writes the settings file from UTF-8 text, stored in GBK as the program keeps it.
    void WriteIni(const std::string& utf8) { WriteBytes(ini, *Utf8ToGbk(utf8)); }
    std::string IniText() const { return *GbkToUtf8(ReadBytes(ini)); }
    ProfileDocument IniDocument() const { return ProfileDocument::FromGbk(ReadBytes(ini)); }

    SettingsLoadResult Load() { return LoadSettings(ini, engine, window, flashFile, eepromFile); }
    bool Save(FileOps& ops = SystemFileOps()) {
        return SaveSettings(ini, engine, window, flashFile, eepromFile, ops);
    }

    SettingsScratch dir;
    const std::string ini = dir / "velkor.ini";
    IspProgrammer engine;
    MainWindowState window;
    HexFile flashFile;
    HexFile eepromFile;
};

TEST_F(SettingsTest, NoFileGivesDefaultsAndTheSaveWritesEveryKeyInOrder) {
    Edit(engine)->calibrationSelect = 2;
    Edit(engine)->fuseLow = 0x12;
    const SettingsLoadResult result = Load();
    EXPECT_EQ(result.file, FileReadStatus::kMissing);
    EXPECT_EQ(engine.Settings().targetFamily, kFamilyAvr);
    EXPECT_EQ(engine.Settings().chipIndex, 0u);
    EXPECT_EQ(engine.Settings().fuseLow, 0);  // not the chip's defaults
    EXPECT_EQ(engine.Settings().calibrationSelect, 0);
    MainWindowState allOff;
    allOff = {false, false, false, false, false, false, false, false, false};
    EXPECT_EQ(window, allOff);
    EXPECT_EQ(engine.LogText(), "");

    ASSERT_TRUE(Save());
    EXPECT_EQ(IniText(),
              "[基本信息]\r\n版本=0.18\r\n"
              "[FLASH]\r\nFILE=\r\n"
              "[EEPROM]\r\nFILE=\r\n"
              "[DEVICE]\r\nTYPE=0\r\nID=0\r\nFUSE0=0\r\nFUSE1=0\r\nFUSE2=0\r\n"
              "[PROGOPTION]\r\nAutoISP=0\r\nLockByte=0\r\nCalSel=0\r\nCalsaveSel=0\r\n"
              "CalsaveAddr=0\r\nLockSel=0\r\nSpeedSel=0\r\nUserPortDly=0\r\n"
              "[PROGCMD]\r\nInitPort=0\r\nWriteFlash=0\r\nWriteEEPROM=0\r\nReadFlash=0\r\n"
              "ReadFuse=0\r\nWriteFuse=0\r\nLock=0\r\nErase=0\r\nCheckId=0\r\n"
              "AutoSelchip=0\r\nVerify=0\r\nCopyCal=0\r\n");
}

TEST_F(SettingsTest, ValuesAreCutAndNormalisedAsTheyLoad) {
    WriteIni(
        "[DEVICE]\nTYPE=0\nID=7\nFUSE0=300\nFUSE1=0x1F\nFUSE2=-1\n"
        "[PROGOPTION]\nAutoISP=3\nLockByte=508\nCalSel=7\nCalsaveSel=5\nCalsaveAddr=-2\n"
        "LockSel=-4\nSpeedSel=2\nUserPortDly= 40 cycles\n"
        "[PROGCMD]\nInitPort=0\nReadFlash=257\nReadFuse=5\nAutoSelchip=6\nWriteFuse=1\n");
    EXPECT_EQ(Load().file, FileReadStatus::kRead);
    EXPECT_EQ(engine.Settings().chipIndex, 7u);
    EXPECT_EQ(engine.Settings().fuseLow, 0x2C);
    EXPECT_EQ(engine.Settings().fuseHigh, 0x00);  // hexadecimal text is not a number
    EXPECT_EQ(engine.Settings().fuseExtended, 0xFF);
    EXPECT_TRUE(window.autoProgram);
    EXPECT_EQ(engine.Settings().customLockByte, 0xFC);
    EXPECT_EQ(engine.Settings().calibrationSelect, 0);
    EXPECT_EQ(engine.Settings().calibrationSaveLocation, 1);
    EXPECT_EQ(engine.Settings().calibrationAddress, 0xFFFFFFFEu);
    EXPECT_EQ(engine.Settings().lockSelect, 1);
    EXPECT_EQ(engine.Settings().speedSelection, 1u);
    EXPECT_EQ(engine.Settings().userPortDelay, 40u);
    EXPECT_EQ(engine.Settings().commands.readFlash, 1);
    EXPECT_EQ(engine.Settings().commands.readFuse, 5);
    EXPECT_EQ(engine.Settings().commands.autoSelchip, 6);
    EXPECT_EQ(engine.Settings().commands.writeFuse, 1);
    EXPECT_FALSE(window.fuse);  // the FUSE box always starts unchecked

    ASSERT_TRUE(Save());
    const ProfileDocument saved = IniDocument();
    EXPECT_EQ(saved.GetInt("DEVICE", "FUSE0"), 44);
    EXPECT_EQ(saved.GetInt("DEVICE", "FUSE2"), 255);
    EXPECT_EQ(saved.GetInt("PROGOPTION", "CalsaveAddr"), -2);  // signed text, as stored
    EXPECT_EQ(saved.GetInt("PROGOPTION", "AutoISP"), 1);
    EXPECT_EQ(saved.GetInt("PROGCMD", "InitPort"), 1);  // one byte under both names
    EXPECT_EQ(saved.GetInt("PROGCMD", "ReadFlash"), 1);
    EXPECT_EQ(saved.GetInt("PROGCMD", "ReadFuse"), 5);  // no box: written back unchanged
    EXPECT_EQ(saved.GetInt("PROGCMD", "AutoSelchip"), 6);
    EXPECT_EQ(saved.GetInt("PROGCMD", "WriteFuse"), 0);  // taken from the unchecked box
}

TEST_F(SettingsTest, CommandFlagsSetTheirBoxesAndTheBoxesGoBack) {
    WriteIni(
        "[PROGCMD]\nWriteFlash=1\nWriteEEPROM=9\nLock=1\nErase=0\nCheckId=1\nVerify=0\n"
        "CopyCal=1\n");
    Load();
    EXPECT_EQ(engine.Settings().commands.writeEeprom, 1);
    MainWindowState expected;
    expected = {true, false, false, true, true, false, true, true, false};
    EXPECT_EQ(window, expected);

    window.fuse = true;
    window.lock = false;
    ASSERT_TRUE(Save());
    EXPECT_EQ(engine.Settings().commands.writeFuse, 1);
    EXPECT_EQ(engine.Settings().commands.lock, 0);
    const ProfileDocument saved = IniDocument();
    EXPECT_EQ(saved.GetInt("PROGCMD", "WriteFuse"), 1);
    EXPECT_EQ(saved.GetInt("PROGCMD", "Lock"), 0);
    EXPECT_EQ(saved.GetInt("PROGCMD", "WriteEEPROM"), 1);
}

TEST_F(SettingsTest, FamilyAndChipOutsideTheTablesAreReplacedAndLogged) {
    struct Case {
        const char* device;
        std::uint32_t family;
        std::uint32_t chip;
        const char* log;
    };
    const Case cases[] = {
        {"TYPE=1\nID=3", kFamily89S5x, 3, ""},
        {"TYPE=0\nID=118", kFamilyAvr, kNoChipRow, ""},
        {"TYPE=5\nID=7", kFamilyAvr, 7, "设置文件中的芯片类型 5 无效, 改用 AVR.\r\n"},
        {"TYPE=0\nID=119", kFamilyAvr, kNoChipRow,
         "设置文件中的芯片序号 119 超出范围, 未选择芯片.\r\n"},
        {"TYPE=1\nID=7", kFamily89S5x, kAt89ChipTableRows - 1,
         "设置文件中的芯片序号 7 超出范围, 未选择芯片.\r\n"},
        {"TYPE=-1\nID=-1", kFamilyAvr, kNoChipRow,
         "设置文件中的芯片类型 -1 无效, 改用 AVR.\r\n设置文件中的芯片序号 -1 超出范围, "
         "未选择芯片.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        IspProgrammer fresh;
        WriteIni(std::string("[DEVICE]\n") + c.device + "\n");
        LoadSettings(ini, fresh, window, flashFile, eepromFile);
        EXPECT_EQ(fresh.Settings().targetFamily, c.family);
        EXPECT_EQ(fresh.Settings().chipIndex, c.chip);
        EXPECT_EQ(fresh.LogText(), c.log);
    }
}

TEST_F(SettingsTest, HexFilesLoadAndTheirPathsSurviveEvenWhenMissing) {
    std::filesystem::create_directory(PathFromUtf8(dir / "固件"));
    const std::string flash = dir / "固件/程序.hex";
    WriteBytes(flash, kHexRecord);
    const std::string missing = dir / "旧的/eeprom.hex";
    WriteIni("[FLASH]\nFILE=" + flash + "\n[EEPROM]\nFILE=" + missing + "\n");
    // The Chinese path is stored in GBK on disk.
    EXPECT_NE(ReadBytes(ini).find(*Utf8ToGbk("固件/程序.hex")), std::string::npos);

    engine.SetImage(ImageKind::kEeprom, {}, engine.EepromImageLength(), engine.EepromDataRanges());
    const SettingsLoadResult result = Load();
    EXPECT_EQ(result.flashPath, flash);
    EXPECT_EQ(result.flashLoad, 0);
    EXPECT_EQ(result.eepromLoad, kHexLoadOpenFailed);
    EXPECT_EQ(engine.FlashImage()[0x30], 0x02);
    EXPECT_EQ(engine.FlashImageLength(), 0x33u);
    EXPECT_EQ(engine.EepromImage()[0], 0xFF);
    EXPECT_EQ(engine.EepromImageLength(), 0u);

    ASSERT_TRUE(Save());
    const ProfileDocument saved = IniDocument();
    EXPECT_EQ(saved.GetString("FLASH", "FILE", ""), flash);
    EXPECT_EQ(saved.GetString("EEPROM", "FILE", ""), missing);
}

TEST_F(SettingsTest, SaveKeepsUnknownKeysSectionsAndComments) {
    WriteIni(
        "; VelkorISP settings\n"
        "[基本信息]\n版本=0.17\n作者=someone\n"
        "[device]\ntype=1\nid=2\nSerial=42\n"
        "\n"
        "[PLUGINS]\nEnabled=yes\n");
    Load();
    Edit(engine)->chipIndex = 3;
    ASSERT_TRUE(Save());
    const std::string text = IniText();
    EXPECT_EQ(text.rfind("; VelkorISP settings\r\n[基本信息]\r\n版本=0.18\r\n作者=someone\r\n", 0),
              0u)
        << text;
    EXPECT_NE(text.find("[device]\r\ntype=1\r\nid=3\r\nSerial=42\r\nFUSE0=0\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n\r\n[PLUGINS]\r\nEnabled=yes\r\n"), std::string::npos);
}

TEST_F(SettingsTest, FailedSaveKeepsThePreviousFileAndSaysSo) {
    WriteIni("[DEVICE]\nTYPE=0\nID=7\n");
    const std::string before = ReadBytes(ini);
    Load();
    Edit(engine)->chipIndex = 9;
    testing::FailingOps diskFull(testing::FailingOps::Step::kWrite, 40);
    EXPECT_FALSE(Save(diskFull));
    EXPECT_EQ(ReadBytes(ini), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"velkor.ini"});
    EXPECT_NE(engine.LogText().find("设置未能保存, 原有的设置文件保持不变: cannot write"),
              std::string::npos)
        << engine.LogText();
}

TEST_F(SettingsTest, UnreadableFileIsNotOverwritten) {
    std::filesystem::create_directory(ini);  // exists, but reading it fails
    EXPECT_EQ(Load().file, FileReadStatus::kNotRegular);
    EXPECT_FALSE(Save());
    EXPECT_TRUE(std::filesystem::is_directory(ini));
    EXPECT_NE(engine.LogText().find("设置未保存"), std::string::npos) << engine.LogText();
}

TEST_F(SettingsTest, PathThatCannotBeStoredKeepsTheOldValue) {
    WriteIni("[FLASH]\nFILE=/old/a.hex\n");
    flashFile.Open(dir / "line\nbreak.hex");
    EXPECT_FALSE(Save());
    EXPECT_EQ(IniDocument().GetString("FLASH", "FILE", ""), "/old/a.hex");
    EXPECT_EQ(IniDocument().GetInt("PROGCMD", "Verify"), 1);  // everything else was saved
    EXPECT_NE(engine.LogText().find("未能存入设置文件"), std::string::npos);
}

TEST(SettingsLocation, BesideTheExecutable) {
    EXPECT_EQ(SettingsPathForExecutable("/opt/velkor/bin/velkorisp"), "/opt/velkor/bin/velkor.ini");
    EXPECT_EQ(SettingsPathForExecutable("/velkorisp"), "/velkor.ini");
    EXPECT_EQ(SettingsPathForExecutable("velkorisp"), "velkor.ini");
    const std::string self = CurrentExecutablePath();
    EXPECT_EQ(PathFromUtf8(self).stem(), "velkor_files_tests");
    EXPECT_EQ(DefaultSettingsPath(), PathToUtf8(PathFromUtf8(self).parent_path() / "velkor.ini"));
}

#ifndef _WIN32
// An installed program (in /usr/bin, or in a folder the user cannot write) keeps its settings
// in the user's configuration folder, made ready for the first save; one in a folder of its
// own keeps them beside it.
TEST(SettingsLocation, UserConfigurationFolderForAnInstalledProgram) {
    SettingsScratch dir;
    const std::string config = dir / "config";
    const std::string home = dir / "home";
    const std::string expected = config + "/velkorisp/velkor.ini";
    EXPECT_EQ(SettingsPathFor("/usr/bin/velkorisp", config.c_str(), home.c_str()), expected);
    EXPECT_TRUE(std::filesystem::is_directory(config + "/velkorisp"));
    EXPECT_EQ(SettingsPathFor(dir / "missing/velkorisp", config.c_str(), nullptr), expected);
    // XDG_CONFIG_HOME unset, empty or relative: HOME's .config
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        EXPECT_EQ(SettingsPathFor("/usr/local/bin/velkorisp", xdg, home.c_str()),
                  home + "/.config/velkorisp/velkor.ini");
    }
    EXPECT_TRUE(std::filesystem::is_directory(home + "/.config/velkorisp"));
    // nowhere better to go
    EXPECT_EQ(SettingsPathFor("/usr/bin/velkorisp", nullptr, "relative"), "/usr/bin/velkor.ini");
    // a writable folder outside /usr, such as a build tree: beside the program, as before
    EXPECT_EQ(SettingsPathFor(dir / "velkorisp", config.c_str(), home.c_str()), dir / "velkor.ini");
}
#endif

TEST(ApplySettingsFile, LoadsLikeAStartAndNeverEnablesFuseWriting) {
    SettingsScratch dir;
    const std::string hex = dir / "a.hex";
    WriteBytes(hex, kHexRecord);
    WriteBytes(dir / "good.ini", "[FLASH]\r\nFILE=" + hex +
                                     "\r\n[DEVICE]\r\nID=7\r\nFUSE0=225\r\n"
                                     "[PROGCMD]\r\nWriteFlash=1\r\nWriteFuse=1\r\nReadFuse=1\r\n");
    IspProgrammer engine;
    EXPECT_TRUE(ApplySettingsFile(engine, dir / "good.ini"));
    EXPECT_EQ(engine.Settings().chipIndex, 7u);
    EXPECT_EQ(engine.Settings().fuseLow, 0xE1);
    EXPECT_EQ(engine.FlashImage()[0x30], 0x02);
    EXPECT_EQ(engine.Settings().commands.writeFlash, 1);
    EXPECT_EQ(engine.Settings().commands.writeFuse, 0);
    EXPECT_EQ(engine.Settings().commands.readFuse, 1);
    EXPECT_EQ(engine.Settings().commands.verify, 0);

    WriteBytes(dir / "damaged.hex", ":0300300002337A1E\n:zz\n");
    WriteBytes(dir / "bad.ini", "[EEPROM]\r\nFILE=" + dir / "damaged.hex" + "\r\n");
    IspProgrammer other;
    EXPECT_FALSE(ApplySettingsFile(other, dir / "bad.ini"));

    IspProgrammer none;
    EXPECT_FALSE(ApplySettingsFile(none, dir / "none.ini"));
    EXPECT_EQ(none.LogText(), "设置文件 " + dir / "none.ini" + " 不存在.\r\n");
}

}  // namespace
}  // namespace velkor
