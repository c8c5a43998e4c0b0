#include "files/settings.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "devices/chip_table.h"
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
void CheckDevice(std::vector<LogLine>& lines, ProgrammerSettings& settings, int type, int id) {
    if (type != kFamilyAvr && type != kFamily89S5x) {
        lines.push_back({Msg::kSettingsBadType, {Num(type)}});
        settings.targetFamily = kFamilyAvr;
    }
    const std::uint32_t rows = FamilyRows(settings.targetFamily);
    if (settings.chipIndex >= rows) {
        lines.push_back({Msg::kSettingsBadIndex, {Num(id)}});
        settings.chipIndex = rows - 1;
    }
}

// Every key the reader takes a setting from.
int CountKnownKeys(const ProfileDocument& file) {
    static const char* const kKeys[][2] = {
        {kFlash, "FILE"},          {kEeprom, "FILE"},         {kDevice, "TYPE"},
        {kDevice, "ID"},           {kDevice, "FUSE0"},        {kDevice, "FUSE1"},
        {kDevice, "FUSE2"},        {kPort, "Base"},           {kOption, "AutoISP"},
        {kOption, "LockByte"},     {kOption, "CalSel"},       {kOption, "CalsaveSel"},
        {kOption, "CalsaveAddr"},  {kOption, "LockSel"},      {kOption, "UserPortDly"},
        {kOption, "SpeedSel"},     {kCommand, "InitPort"},    {kCommand, "WriteFlash"},
        {kCommand, "WriteEEPROM"}, {kCommand, "ReadFlash"},   {kCommand, "ReadFuse"},
        {kCommand, "WriteFuse"},   {kCommand, "Lock"},        {kCommand, "Erase"},
        {kCommand, "CheckId"},     {kCommand, "AutoSelchip"}, {kCommand, "Verify"},
        {kCommand, "CopyCal"},
    };
    int found = 0;
    for (const auto& key : kKeys) found += file.Find(key[0], key[1]).has_value() ? 1 : 0;
    return found;
}

}  // namespace

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

SettingsRead ReadSettings(const std::string& iniPath, const ProgrammerSettings& base) {
    SettingsRead result;
    std::string bytes;
    std::string error;
    result.file = ReadWholeFile(iniPath, bytes, error);
    if (result.file == FileReadStatus::kRead) {
        result.document = ProfileDocument::FromGbk(bytes);
    } else if (result.file != FileReadStatus::kMissing) {
        result.readLines.push_back({Msg::kSettingsReadFailedDefaults, {std::string(error)}});
    }
    const ProfileDocument& file = result.document;
    StoredSettings& values = result.values;
    // Paths are kept whole: one cut at the profile buffer's length names another file.
    values.flashPath = file.GetWholeString(kFlash, "FILE", "");
    values.eepromPath = file.GetWholeString(kEeprom, "FILE", "");
    result.knownKeys = CountKnownKeys(file);

    ProgrammerSettings& settings = values.programmer;
    settings = base;
    const int type = file.GetInt(kDevice, "TYPE");
    const int id = file.GetInt(kDevice, "ID");
    settings.targetFamily = static_cast<std::uint32_t>(type);
    settings.chipIndex = static_cast<std::uint32_t>(id);
    CheckDevice(result.valueLines, settings, type, id);
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
        result.valueLines.push_back({Msg::kSettingsBadPortBase, {std::string(portBase)}});
    }

    values.autoProgram = file.GetInt(kOption, "AutoISP") != 0;
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
    commands.writeEeprom = ZeroOrOne(file.GetInt(kCommand, "WriteEEPROM"));
    commands.readFlash = LowByte(file.GetInt(kCommand, "ReadFlash"));
    commands.readFuse = LowByte(file.GetInt(kCommand, "ReadFuse"));
    commands.writeFuse = LowByte(file.GetInt(kCommand, "WriteFuse"));
    commands.lock = ZeroOrOne(file.GetInt(kCommand, "Lock"));
    commands.erase = ZeroOrOne(file.GetInt(kCommand, "Erase"));
    commands.checkId = ZeroOrOne(file.GetInt(kCommand, "CheckId"));
    commands.autoSelchip = LowByte(file.GetInt(kCommand, "AutoSelchip"));
    commands.verify = ZeroOrOne(file.GetInt(kCommand, "Verify"));
    commands.copyCal = ZeroOrOne(file.GetInt(kCommand, "CopyCal"));
    return result;
}

SettingsWrite UpdateSettingsFile(const std::string& iniPath,
                                 const std::function<void(ProfileDocument&)>& update,
                                 FileOps& ops) {
    SettingsWrite result;
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
            result.lines.push_back({Msg::kSettingsReadFailedNotSaved, {std::string(error)}});
            return result;
    }
    update(file);
    if (!ReplaceFileContents(iniPath, file.ToGbk(), error, ops)) {
        result.lines.push_back({Msg::kSettingsNotSaved, {std::string(error)}});
        return result;
    }
    result.written = true;
    return result;
}

SettingsWrite SaveSettings(const std::string& iniPath, const StoredSettings& values, FileOps& ops,
                           const std::function<void(ProfileDocument&)>& more) {
    const ProgrammerSettings& settings = values.programmer;
    std::vector<LogLine> pathLines;
    // The keys are written into the file as it is now, so that everything else in it stays.
    const auto writeKeys = [&](ProfileDocument& file) {
        const auto setPath = [&](const char* section, const std::string& path) {
            if (file.SetString(section, "FILE", path)) return;
            pathLines.push_back({Msg::kSettingsPathNotStored, {std::string(path)}});
        };
        const ProgramCommandSet& commands = settings.commands;
        file.SetString(kInfo, "版本", kSettingsVersion);
        setPath(kFlash, values.flashPath);
        setPath(kEeprom, values.eepromPath);
        file.SetInt(kDevice, "TYPE", AsStored(settings.targetFamily));
        file.SetInt(kDevice, "ID", AsStored(settings.chipIndex));
        file.SetInt(kDevice, "FUSE0", settings.fuseLow);
        file.SetInt(kDevice, "FUSE1", settings.fuseHigh);
        file.SetInt(kDevice, "FUSE2", settings.fuseExtended);
        file.SetInt(kOption, "AutoISP", values.autoProgram ? 1 : 0);
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
    SettingsWrite result = UpdateSettingsFile(iniPath, writeKeys, ops);
    // A path the file cannot hold is told before the write's own outcome, as it happens first.
    result.complete = pathLines.empty();
    result.lines.insert(result.lines.begin(), pathLines.begin(), pathLines.end());
    return result;
}

}  // namespace velkor
