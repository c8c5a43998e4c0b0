#include "files/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <memory>

#include "devices/chip_table.h"
#include "files/gbk_text.h"
#include "files/profile_file.h"
#include "files/utf8_path.h"
#include "tests/files/settings_test_support.h"

namespace velkor {
namespace {

using testing::ReadBytes;
using testing::SettingsScratch;
using testing::WriteBytes;

class SettingsTest : public ::testing::Test {
  protected:
    // Writes the settings file from UTF-8 text, stored in GBK as the program keeps it.
    void WriteIni(const std::string& utf8) { WriteBytes(ini, *Utf8ToGbk(utf8)); }
    std::string IniText() const { return *GbkToUtf8(ReadBytes(ini)); }
    ProfileDocument IniDocument() const { return ProfileDocument::FromGbk(ReadBytes(ini)); }

    SettingsRead Load() {
        SettingsRead read = ReadSettings(ini, values.programmer);
        values = read.values;
        lines = read.readLines;
        lines.insert(lines.end(), read.valueLines.begin(), read.valueLines.end());
        return read;
    }
    bool Save(FileOps& ops = SystemFileOps()) {
        const SettingsWrite write = SaveSettings(ini, values, ops);
        lines.insert(lines.end(), write.lines.begin(), write.lines.end());
        return write.Ok();
    }
    std::string Log() const {
        std::string text;
        for (const LogLine& line : lines) text += Render(line, Language::kZh);
        return text;
    }
    const ProgrammerSettings& Settings() const { return values.programmer; }

    SettingsScratch dir;
    const std::string ini = dir / "velkor.ini";
    StoredSettings values;
    std::vector<LogLine> lines;
};

TEST_F(SettingsTest, NoFileGivesDefaultsAndTheSaveWritesEveryKeyInOrder) {
    values.programmer.calibrationSelect = 2;
    values.programmer.fuseLow = 0x12;
    values.programmer.verifyFileOnly = true;
    const SettingsRead result = Load();
    EXPECT_EQ(result.file, FileReadStatus::kMissing);
    EXPECT_EQ(Settings().targetFamily, kFamilyAvr);
    EXPECT_EQ(Settings().chipIndex, 0u);
    EXPECT_EQ(Settings().fuseLow, 0);  // not the chip's defaults
    EXPECT_EQ(Settings().calibrationSelect, 0);
    EXPECT_TRUE(Settings().verifyFileOnly);  // no key holds it: the caller's stays
    EXPECT_FALSE(values.autoProgram);
    EXPECT_EQ(Log(), "");

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
    EXPECT_EQ(Settings().chipIndex, 7u);
    EXPECT_EQ(Settings().fuseLow, 0x2C);
    EXPECT_EQ(Settings().fuseHigh, 0x00);  // hexadecimal text is not a number
    EXPECT_EQ(Settings().fuseExtended, 0xFF);
    EXPECT_TRUE(values.autoProgram);
    EXPECT_EQ(Settings().customLockByte, 0xFC);
    EXPECT_EQ(Settings().calibrationSelect, 0);
    EXPECT_EQ(Settings().calibrationSaveLocation, 1);
    EXPECT_EQ(Settings().calibrationAddress, 0xFFFFFFFEu);
    EXPECT_EQ(Settings().lockSelect, 1);
    EXPECT_EQ(Settings().speedSelection, 1u);
    EXPECT_EQ(Settings().userPortDelay, 40u);
    EXPECT_EQ(Settings().commands.readFlash, 1);
    EXPECT_EQ(Settings().commands.readFuse, 5);
    EXPECT_EQ(Settings().commands.autoSelchip, 6);
    EXPECT_EQ(Settings().commands.writeFuse, 1);  // as stored; the window's box ignores it

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
}

// Every option and command key at -1, 0, its largest value and one beyond, against the rule
// for its kind: a flag is 0 or 1, a byte keeps its low 8 bits, CalSel takes 0..3 and else 0,
// CalsaveAddr and UserPortDly keep the number as read (the station clamps the delay later).
// InitPort is left out: ReadFlash names the same byte and, read last, always wins.
TEST_F(SettingsTest, EveryOptionAndCommandKeyAtItsEdges) {
    enum Kind { kFlag, kByte, kCalSel, kWord };
    using Get = long long (*)(const SettingsRead&);
    struct Key {
        const char* section;
        const char* name;
        Kind kind;
        Get get;
    };
#define FIELD(expr) [](const SettingsRead& r) -> long long { return expr; }
    const Key keys[] = {
        {"PROGOPTION", "AutoISP", kFlag, FIELD(r.values.autoProgram ? 1 : 0)},
        {"PROGOPTION", "LockByte", kByte, FIELD(r.values.programmer.customLockByte)},
        {"PROGOPTION", "CalSel", kCalSel, FIELD(r.values.programmer.calibrationSelect)},
        {"PROGOPTION", "CalsaveSel", kFlag, FIELD(r.values.programmer.calibrationSaveLocation)},
        {"PROGOPTION", "CalsaveAddr", kWord,
         FIELD(static_cast<std::int32_t>(r.values.programmer.calibrationAddress))},
        {"PROGOPTION", "LockSel", kFlag, FIELD(r.values.programmer.lockSelect)},
        {"PROGOPTION", "SpeedSel", kFlag, FIELD(r.values.programmer.speedSelection)},
        {"PROGOPTION", "UserPortDly", kWord, FIELD(r.userPortDelay)},
        {"PROGCMD", "ReadFlash", kByte, FIELD(r.values.programmer.commands.readFlash)},
        {"PROGCMD", "WriteFlash", kFlag, FIELD(r.values.programmer.commands.writeFlash)},
        {"PROGCMD", "WriteEEPROM", kFlag, FIELD(r.values.programmer.commands.writeEeprom)},
        {"PROGCMD", "ReadFuse", kByte, FIELD(r.values.programmer.commands.readFuse)},
        {"PROGCMD", "WriteFuse", kByte, FIELD(r.values.programmer.commands.writeFuse)},
        {"PROGCMD", "Lock", kFlag, FIELD(r.values.programmer.commands.lock)},
        {"PROGCMD", "Erase", kFlag, FIELD(r.values.programmer.commands.erase)},
        {"PROGCMD", "CheckId", kFlag, FIELD(r.values.programmer.commands.checkId)},
        {"PROGCMD", "AutoSelchip", kByte, FIELD(r.values.programmer.commands.autoSelchip)},
        {"PROGCMD", "Verify", kFlag, FIELD(r.values.programmer.commands.verify)},
        {"PROGCMD", "CopyCal", kFlag, FIELD(r.values.programmer.commands.copyCal)},
    };
#undef FIELD
    for (const Key& key : keys) {
        const long long largest = key.kind == kFlag     ? 1
                                  : key.kind == kByte   ? 255
                                  : key.kind == kCalSel ? 3
                                                        : INT_MAX;
        for (const long long stored : {-1LL, 0LL, largest, largest + 1}) {
            long long expected = 0;
            switch (key.kind) {
                case kFlag:
                    expected = stored != 0 ? 1 : 0;
                    break;
                case kByte:
                    expected = stored & 0xFF;
                    break;
                case kCalSel:
                    expected = stored >= 0 && stored <= 3 ? stored : 0;
                    break;
                case kWord:
                    expected = std::min<long long>(stored, INT_MAX);  // atoi saturates
                    break;
            }
            WriteIni(std::string("[") + key.section + "]\n" + key.name + "=" +
                     std::to_string(stored) + "\n");
            EXPECT_EQ(key.get(Load()), expected) << key.name << "=" << stored;
        }
    }
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
        lines.clear();
        WriteIni(std::string("[DEVICE]\n") + c.device + "\n");
        Load();
        EXPECT_EQ(Settings().targetFamily, c.family);
        EXPECT_EQ(Settings().chipIndex, c.chip);
        EXPECT_EQ(Log(), c.log);
    }
}

TEST_F(SettingsTest, HexPathsSurviveInGbk) {
    const std::string flash = dir / "固件/程序.hex";
    const std::string missing = dir / "旧的/eeprom.hex";
    WriteIni("[FLASH]\nFILE=" + flash + "\n[EEPROM]\nFILE=" + missing + "\n");
    // The Chinese path is stored in GBK on disk.
    EXPECT_NE(ReadBytes(ini).find(*Utf8ToGbk("固件/程序.hex")), std::string::npos);
    Load();
    EXPECT_EQ(values.flashPath, flash);
    EXPECT_EQ(values.eepromPath, missing);
    values.flashPath = dir / "新的.hex";
    ASSERT_TRUE(Save());
    const ProfileDocument saved = IniDocument();
    EXPECT_EQ(saved.GetString("FLASH", "FILE", ""), dir / "新的.hex");
    EXPECT_EQ(saved.GetString("EEPROM", "FILE", ""), missing);

    // A path is of no use cut short: longer than the profile buffer, it stays whole.
    const std::string longPath = dir / (std::string(400, 'a') + ".hex");
    values.eepromPath = longPath;
    ASSERT_TRUE(Save());
    EXPECT_EQ(Load().values.eepromPath, longPath);
}

TEST_F(SettingsTest, SaveKeepsUnknownKeysSectionsAndComments) {
    WriteIni(
        "; VelkorISP settings\n"
        "[基本信息]\n版本=0.17\n作者=someone\n"
        "[device]\ntype=1\nid=2\nSerial=42\n"
        "\n"
        "[PLUGINS]\nEnabled=yes\n");
    Load();
    values.programmer.chipIndex = 3;
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
    values.programmer.chipIndex = 9;
    testing::FailingOps diskFull(testing::FailingOps::Step::kWrite, 40);
    EXPECT_FALSE(Save(diskFull));
    EXPECT_EQ(ReadBytes(ini), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"velkor.ini"});
    EXPECT_NE(Log().find("设置未能保存, 原有的设置文件保持不变: cannot write"), std::string::npos)
        << Log();
}

TEST_F(SettingsTest, UnreadableFileIsNotOverwritten) {
    std::filesystem::create_directory(ini);  // exists, but reading it fails
    EXPECT_EQ(Load().file, FileReadStatus::kNotRegular);
    EXPECT_FALSE(Save());
    EXPECT_TRUE(std::filesystem::is_directory(ini));
    EXPECT_NE(Log().find("设置未保存"), std::string::npos) << Log();
}

TEST_F(SettingsTest, PathThatCannotBeStoredKeepsTheOldValue) {
    WriteIni("[FLASH]\nFILE=/old/a.hex\n");
    values.programmer.commands.verify = 1;
    values.flashPath = dir / "line\nbreak.hex";
    EXPECT_FALSE(Save());
    EXPECT_EQ(IniDocument().GetString("FLASH", "FILE", ""), "/old/a.hex");
    EXPECT_EQ(IniDocument().GetInt("PROGCMD", "Verify"), 1);  // everything else was saved
    EXPECT_NE(Log().find("未能存入设置文件"), std::string::npos);
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

}  // namespace
}  // namespace velkor
