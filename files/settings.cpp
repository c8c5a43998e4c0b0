#include "files/settings.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
#include "files/profile_file.h"
#include "files/utf8_path.h"
#include "protocol/port_base_rule.h"

// Last, so that its macros (PostMessage and the like) cannot rename anything declared above.
#ifdef _WIN32
#include <windows.h>
#endif

namespace velkor {

namespace {

constexpr const char* kFileName = "velkor.ini";
constexpr const char* kSettingsVersion = "0.18";

constexpr const char* kInfo = "基本信息";
constexpr const char* kFlash = "FLASH";
constexpr const char* kEeprom = "EEPROM";
constexpr const char* kDevice = "DEVICE";
constexpr const char* kOption = "PROGOPTION";
constexpr const char* kCommand = "PROGCMD";
// Settings added later live in sections of their own, so that older files stay valid.
constexpr const char* kPort = "PORT";

std::uint8_t LowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
std::uint8_t ZeroOrOne(int value) {
    return value != 0 ? 1 : 0;
}
int AsStored(std::uint32_t value) {
    return static_cast<int>(value);
}  // signed decimal text

// Rows a family's chip index may name; the last one is the family's "no chip" row.
std::uint32_t FamilyRows(std::uint32_t family) {
    return family == kFamily89S5x ? kAt89ChipTableRows : kChipTableRows;
}

// Everything later (chip list, fuse panel, a run) indexes the chip tables with these two
// values, so a hand-edited or damaged file must not carry them past this point unchecked. An
// unknown family becomes AVR; an index beyond the family's table selects no chip, which the
// user notices at once, rather than some other chip that a run might then program.
void CheckDevice(IspProgrammer& engine, ProgrammerSettings& settings, int type, int id) {
    if (type != kFamilyAvr && type != kFamily89S5x) {
        engine.Log({Msg::kSettingsBadType, {Num(type)}});
        settings.targetFamily = kFamilyAvr;
    }
    const std::uint32_t rows = FamilyRows(settings.targetFamily);
    if (settings.chipIndex >= rows) {
        engine.Log({Msg::kSettingsBadIndex, {Num(id)}});
        settings.chipIndex = rows - 1;
    }
}

}  // namespace

void CollectCommandFlags(const MainWindowState& window, ProgramCommandSet& commands) {
    commands.checkId = window.checkSignature;
    commands.erase = window.erase;
    commands.verify = window.verify;
    commands.writeFlash = window.flash;
    commands.writeEeprom = window.eeprom;
    commands.writeFuse = window.fuse;
    commands.copyCal = window.cal;
    commands.lock = window.lock;
}

std::string SettingsPathForExecutable(const std::string& executablePath) {
#ifdef _WIN32
    const std::size_t slash = executablePath.find_last_of("/\\:");
#else
    const std::size_t slash = executablePath.find_last_of('/');
#endif
    if (slash == std::string::npos) return kFileName;
    return executablePath.substr(0, slash + 1) + kFileName;
}

std::string CurrentExecutablePath() {
#ifdef _WIN32
    // The wide name, since the narrow one is in the ANSI code page and loses every character
    // outside it; the program holds its paths in UTF-8.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return Utf8FromWide({buffer.data(), length});
        buffer.resize(buffer.size() * 2);  // truncated: the path fills the whole buffer
    }
#elif defined(__linux__)
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return {buffer.data(), buffer.data() + length};
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    return {};
#endif
}

std::optional<std::uint16_t> ParsePortBase(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    // Where a port card may sit: aligned as its register block, clear of the PC's fixed
    // ranges; the driver holds a configured base to the same rule.
    if (TarnelJudgePortBase(value, nullptr) != TARNEL_BASE_ADMITTED) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string SettingsPathFor(const std::string& executablePath, const char* xdgConfigHome,
                            const char* home) {
    std::string beside = SettingsPathForExecutable(executablePath);
#ifdef _WIN32
    (void)xdgConfigHome;
    (void)home;
    return beside;
#else
    const std::size_t slash = beside.find_last_of('/');
    if (slash == std::string::npos) return beside;  // location unknown: the working directory
    const std::string folder = slash == 0 ? "/" : beside.substr(0, slash);
    const bool packaged = folder == "/usr" || folder.starts_with("/usr/");
    if (!packaged && ::access(folder.c_str(), W_OK) == 0) return beside;

    // Relative values are to be ignored, so that the working directory never decides.
    const auto absolute = [](const char* value) { return value != nullptr && value[0] == '/'; };
    std::string configHome;
    if (absolute(xdgConfigHome)) {
        configHome = xdgConfigHome;
    } else if (absolute(home)) {
        configHome = std::string(home) + "/.config";
    } else {
        return beside;
    }
    const std::filesystem::path own = PathFromUtf8(configHome) / "velkorisp";
    std::error_code ignored;  // a folder that cannot be made shows as a failed save, logged
    std::filesystem::create_directories(own, ignored);
    return PathToUtf8(own / kFileName);
#endif
}

std::string DefaultSettingsPath() {
    return SettingsPathFor(CurrentExecutablePath(), std::getenv("XDG_CONFIG_HOME"),
                           std::getenv("HOME"));
}

SettingsLoadResult LoadSettings(const std::string& iniPath, IspProgrammer& engine,
                                MainWindowState& window, HexFile& flashFile, HexFile& eepromFile) {
    SettingsLoadResult result;
    ProfileDocument file;
    std::string bytes;
    std::string error;
    result.file = ReadWholeFile(iniPath, bytes, error);
    if (result.file == FileReadStatus::kRead) {
        file = ProfileDocument::FromGbk(bytes);
    } else if (result.file != FileReadStatus::kMissing) {
        engine.Log({Msg::kSettingsReadFailedDefaults, {std::string(error)}});
    }

    result.flashPath = file.GetString(kFlash, "FILE", "");
    result.flashLoad = LoadFlashImage(engine, flashFile, result.flashPath);
    result.eepromPath = file.GetString(kEeprom, "FILE", "");
    result.eepromLoad = LoadEepromImage(engine, eepromFile, result.eepromPath);

    ProgrammerSettings settings = engine.Settings();
    const int type = file.GetInt(kDevice, "TYPE");
    const int id = file.GetInt(kDevice, "ID");
    settings.targetFamily = static_cast<std::uint32_t>(type);
    settings.chipIndex = static_cast<std::uint32_t>(id);
    CheckDevice(engine, settings, type, id);
    settings.fuseLow = LowByte(file.GetInt(kDevice, "FUSE0"));
    settings.fuseHigh = LowByte(file.GetInt(kDevice, "FUSE1"));
    settings.fuseExtended = LowByte(file.GetInt(kDevice, "FUSE2"));
    for (int k = 0; k < 3; ++k) {
        const std::string key = "FUSE" + std::to_string(k);
        result.fuseKeys[k] = file.Find(kDevice, key).has_value();
    }

    const std::string portBase = file.GetString(kPort, "Base", "");
    const std::optional<std::uint16_t> extraBase = ParsePortBase(portBase);
    settings.extraPortBase = extraBase.value_or(0);
    if (!portBase.empty() && !extraBase) {
        engine.Log({Msg::kSettingsBadPortBase, {std::string(portBase)}});
    }

    window.autoProgram = file.GetInt(kOption, "AutoISP") != 0;
    settings.customLockByte = LowByte(file.GetInt(kOption, "LockByte"));
    const int calSel = file.GetInt(kOption, "CalSel");
    settings.calibrationSelect = calSel >= 0 && calSel <= 3 ? static_cast<std::uint8_t>(calSel) : 0;
    settings.calibrationSaveLocation = ZeroOrOne(file.GetInt(kOption, "CalsaveSel"));
    settings.calibrationAddress = static_cast<std::uint32_t>(file.GetInt(kOption, "CalsaveAddr"));
    settings.lockSelect = ZeroOrOne(file.GetInt(kOption, "LockSel"));
    // The delay count is read before the choice that puts it to use, as it always has been.
    result.userPortDelay = file.GetInt(kOption, "UserPortDly");
    settings.userPortDelay = static_cast<std::uint32_t>(result.userPortDelay);
    settings.speedSelection = ZeroOrOne(file.GetInt(kOption, "SpeedSel"));

    // InitPort and ReadFlash are two names of the same byte; ReadFlash, read last, wins.
    ProgramCommandSet& commands = settings.commands;
    commands.readFlash = LowByte(file.GetInt(kCommand, "InitPort"));
    commands.writeFlash = ZeroOrOne(file.GetInt(kCommand, "WriteFlash"));
    window.flash = commands.writeFlash != 0;
    commands.writeEeprom = ZeroOrOne(file.GetInt(kCommand, "WriteEEPROM"));
    window.eeprom = commands.writeEeprom != 0;
    commands.readFlash = LowByte(file.GetInt(kCommand, "ReadFlash"));
    commands.readFuse = LowByte(file.GetInt(kCommand, "ReadFuse"));
    // The FUSE box is deliberately left as it is: every run of the program starts with fuse
    // writing off, whatever was saved.
    commands.writeFuse = LowByte(file.GetInt(kCommand, "WriteFuse"));
    commands.lock = ZeroOrOne(file.GetInt(kCommand, "Lock"));
    window.lock = commands.lock != 0;
    commands.erase = ZeroOrOne(file.GetInt(kCommand, "Erase"));
    window.erase = commands.erase != 0;
    commands.checkId = ZeroOrOne(file.GetInt(kCommand, "CheckId"));
    window.checkSignature = commands.checkId != 0;
    commands.autoSelchip = LowByte(file.GetInt(kCommand, "AutoSelchip"));
    commands.verify = ZeroOrOne(file.GetInt(kCommand, "Verify"));
    window.verify = commands.verify != 0;
    commands.copyCal = ZeroOrOne(file.GetInt(kCommand, "CopyCal"));
    window.cal = commands.copyCal != 0;
    engine.SetSettings(settings);
    return result;
}

bool UpdateSettingsFile(const std::string& iniPath, IspProgrammer& engine,
                        const std::function<void(ProfileDocument&)>& update, FileOps& ops) {
    ProfileDocument file;
    std::string bytes;
    std::string error;
    switch (ReadWholeFile(iniPath, bytes, error)) {
        case FileReadStatus::kRead:
            file = ProfileDocument::FromGbk(bytes);
            break;
        case FileReadStatus::kMissing:
            break;
        case FileReadStatus::kFailed:
        case FileReadStatus::kNotRegular:
        case FileReadStatus::kTooLarge:
            // Writing now would replace a file whose contents were never seen.
            engine.Log({Msg::kSettingsReadFailedNotSaved, {std::string(error)}});
            return false;
    }
    update(file);
    if (!ReplaceFileContents(iniPath, file.ToGbk(), error, ops)) {
        engine.Log({Msg::kSettingsNotSaved, {std::string(error)}});
        return false;
    }
    return true;
}

bool SaveSettings(const std::string& iniPath, IspProgrammer& engine, const MainWindowState& window,
                  const HexFile& flashFile, const HexFile& eepromFile, FileOps& ops,
                  const std::function<void(ProfileDocument&)>& more) {
    ProgrammerSettings settings = engine.Settings();
    CollectCommandFlags(window, settings.commands);
    engine.SetSettings(settings);
    bool complete = true;
    // The keys are written into the file as it is now, so that everything else in it stays.
    const auto writeKeys = [&](ProfileDocument& file) {
        const auto setPath = [&](const char* section, const std::string& path) {
            if (file.SetString(section, "FILE", path)) return;
            engine.Log({Msg::kSettingsPathNotStored, {std::string(path)}});
            complete = false;
        };
        const ProgramCommandSet& commands = settings.commands;
        file.SetString(kInfo, "版本", kSettingsVersion);
        setPath(kFlash, flashFile.Path());
        setPath(kEeprom, eepromFile.Path());
        file.SetInt(kDevice, "TYPE", AsStored(settings.targetFamily));
        file.SetInt(kDevice, "ID", AsStored(settings.chipIndex));
        file.SetInt(kDevice, "FUSE0", settings.fuseLow);
        file.SetInt(kDevice, "FUSE1", settings.fuseHigh);
        file.SetInt(kDevice, "FUSE2", settings.fuseExtended);
        file.SetInt(kOption, "AutoISP", window.autoProgram ? 1 : 0);
        file.SetInt(kOption, "LockByte", settings.customLockByte);
        file.SetInt(kOption, "CalSel", settings.calibrationSelect);
        file.SetInt(kOption, "CalsaveSel", ZeroOrOne(settings.calibrationSaveLocation));
        file.SetInt(kOption, "CalsaveAddr", AsStored(settings.calibrationAddress));
        file.SetInt(kOption, "LockSel", ZeroOrOne(settings.lockSelect));
        file.SetInt(kOption, "SpeedSel", ZeroOrOne(static_cast<int>(settings.speedSelection)));
        file.SetInt(kOption, "UserPortDly", AsStored(settings.userPortDelay));
        file.SetInt(kCommand, "InitPort", commands.readFlash);
        file.SetInt(kCommand, "WriteFlash", commands.writeFlash);
        file.SetInt(kCommand, "WriteEEPROM", commands.writeEeprom);
        file.SetInt(kCommand, "ReadFlash", commands.readFlash);
        file.SetInt(kCommand, "ReadFuse", commands.readFuse);
        file.SetInt(kCommand, "WriteFuse", commands.writeFuse);
        file.SetInt(kCommand, "Lock", commands.lock);
        file.SetInt(kCommand, "Erase", commands.erase);
        file.SetInt(kCommand, "CheckId", commands.checkId);
        file.SetInt(kCommand, "AutoSelchip", commands.autoSelchip);
        file.SetInt(kCommand, "Verify", commands.verify);
        file.SetInt(kCommand, "CopyCal", commands.copyCal);
        if (more) more(file);
    };
    return UpdateSettingsFile(iniPath, engine, writeKeys, ops) && complete;
}

bool ApplySettingsFile(IspProgrammer& engine, const std::string& iniPath) {
    HexFile flashFile;
    HexFile eepromFile;
    return ApplySettingsFile(engine, iniPath, flashFile, eepromFile, nullptr);
}

bool ApplySettingsFile(IspProgrammer& engine, const std::string& iniPath, HexFile& flashFile,
                       HexFile& eepromFile, SettingsLoadResult* out) {
    MainWindowState window;
    const SettingsLoadResult result = LoadSettings(iniPath, engine, window, flashFile, eepromFile);
    if (out != nullptr) *out = result;
    ProgrammerSettings settings = engine.Settings();
    CollectCommandFlags(window, settings.commands);
    engine.SetSettings(settings);
    if (result.file == FileReadStatus::kMissing) {
        engine.Log({Msg::kSettingsMissing, {std::string(iniPath)}});
    }
    const auto loaded = [](int load) { return load == 0 || load == kHexLoadNoPath; };
    return result.file == FileReadStatus::kRead && loaded(result.flashLoad) &&
           loaded(result.eepromLoad);
}

}  // namespace velkor
