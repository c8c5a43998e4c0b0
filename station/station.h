// The programming station: the one object every front end (the command line, the Qt window,
// the Win32 window) drives. It owns the engine, the bound port path, the flash and EEPROM
// images with their load results, the settings read from velkor.ini, the one worker thread and
// the run gate, and it holds every rule that decides whether a run may start (Check). A front
// end never builds an engine, reads velkor.ini or starts a thread for a run itself, so the
// rules cannot differ between them.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/isp_programmer.h"
#include "files/image_loader.h"
#include "files/settings.h"
#include "hosting/port_path.h"
#include "station/desktop_settings.h"
#include "station/engine_images.h"
#include "station/run_types.h"

namespace velkor {

// The fuse bytes of the selected chip as the panel shows them.
struct StationFuses {
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    std::uint8_t extended = 0;
};

// What a front end learns when the station reads velkor.ini.
struct SettingsLoadResult {
    // anything but kRead: every setting took its default (all but kMissing are also logged)
    FileReadStatus file = FileReadStatus::kMissing;
    std::string flashPath;  // FLASH/FILE as read; the window restarts its file watch on it
    std::string eepromPath;
    int flashLoad = kHexLoadNoPath;  // the loaders' results
    int eepromLoad = kHexLoadNoPath;
    // DEVICE/FUSE0..2 are present: the fuse bytes were set by the user, not defaulted to 00.
    bool fuseKeys[3] = {false, false, false};
    int userPortDelay = 0;     // PROGOPTION/UserPortDly as read, before it became unsigned
    bool autoProgram = false;  // PROGOPTION/AutoISP
};

class Station final : private EngineReports {
  public:
    // `observer` receives the log, progress and run ends; it must outlive the station.
    explicit Station(RunObserver* observer = nullptr);
    // Waits for a run still going, then lets go of the port path.
    ~Station() override;
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    void SetObserver(RunObserver* observer);

    // ---- the port path ----
    // Chooses and binds the port path; null path and `problem` set when it cannot.
    bool BindPort(const PortPathOptions& options, std::string* problem);
    void ReleasePort();
    PortPath* Port() const { return port_.get(); }
    // The engine's port wiring, for a witness put between the engine and the port.
    PortBackend& Backend() { return engine_.Backend(); }

    // ---- velkor.ini: read once when a front end starts, written once when it ends ----
    // The window's own sections (simulator, language, verify scope): read before the port path
    // is bound, since they choose it. The file is read here once; OpenSettings takes the rest
    // from the same reading.
    DesktopSettings& OpenDesktopSettings(const std::string& iniPath);
    // The window's start: every setting and the images it names. The command flags are the
    // file's; the window shows them in its boxes (all but FUSE, which starts unchecked).
    SettingsLoadResult OpenSettings(const std::string& iniPath);
    // The command line's --ini: the same, and its desktop sections into Desktop(); the command
    // flags as a Program run in the window would use them right after start-up, so WriteFuse is
    // off: a settings file alone never makes a run write fuses. False, with a line, when the
    // file does not exist or cannot be read, or a HEX file it names cannot be used.
    bool ApplySettingsFile(const std::string& iniPath, SettingsLoadResult* result);
    DesktopSettings& Desktop() { return desktop_; }
    const DesktopSettings& Desktop() const { return desktop_; }
    // Writes every setting (the command flags as Options() holds them, `autoProgram`) and the
    // window's own sections, in one replacement of the file. What went wrong is logged.
    SettingsWrite SaveSettings(const std::string& iniPath, bool autoProgram);

    // ---- the selection the next run uses ----
    std::uint32_t Family() const { return settings_.targetFamily; }
    std::uint32_t ChipIndex() const { return settings_.chipIndex; }
    // Switches the family and to the chip last selected in it, so that each family keeps its
    // own selection (a row of one list means another chip, or none, in the other).
    void SetFamily(std::uint32_t family);
    // Selects a row of the family's table. `loadFuseDefaults`: the row's factory fuse bytes
    // replace the panel's (AVR only).
    void SelectChip(std::uint32_t index, bool loadFuseDefaults);
    // The selected chip's name; null when no valid chip is selected.
    const char* SelectedChipName() const { return settings_.SelectedChipName(); }
    // A chip of the family's list is selected: not the "locked" or "no chip" rows behind it,
    // which a run refuses.
    bool ChipSelected() const;
    StationFuses Fuses() const;
    void SetFuses(const StationFuses& fuses);
    void SetLockByte(std::uint8_t value);  // a custom lock byte for the LOCK step
    void SetExtraPortBase(std::uint16_t base) { settings_.extraPortBase = base; }
    std::uint16_t ExtraPortBase() const { return settings_.extraPortBase; }
    // The user's delay: out-of-range values are clamped when a run starts, with a line.
    void SetSpeed(bool userDelay, std::int64_t delay);
    void SetCalibration(std::uint8_t select, bool toEeprom, std::uint32_t address);
    // The settings the next run uses; the option dialogs edit them in place. The engine gets a
    // copy when a run starts and gives back what the run changed when it ends.
    ProgrammerSettings& Options() { return settings_; }
    const ProgrammerSettings& Options() const { return settings_; }
    // What the last run produced (calibration bytes, signature, port), read-only.
    const IspProgrammer& Engine() const { return engine_; }

    // ---- images ----
    // Each loads a HEX, S-record or ELF file (an ELF flash file also gives the EEPROM image
    // its .eeprom section, and the fuse and lock bytes its .fuse and .lock sections); the result is
    // the loader's (0 loaded, >0 the first faulty line, kHexLoad*). Lines saying what went wrong
    // are logged.
    int LoadFlash(const std::string& path);
    int LoadEeprom(const std::string& path);
    // The flash file from bytes read already (the watcher judged exactly these).
    int LoadFlashText(const std::string& path, std::string_view text);
    // An image read from `path` by a reader of another format (raw binary, ELF, values given
    // on a command line); the same results as the loads above.
    int SetFlashImage(const std::string& path, const MemoryImage& image);
    int SetEepromImage(const std::string& path, const MemoryImage& image);
    // The fuse bytes the flash file gave (an ELF file's .fuse section: low, high, extended);
    // empty when it gave none.
    const std::vector<std::uint8_t>& FlashFileFuses() const { return flashFileFuses_; }
    const HexFile& FlashFile() const { return flashFile_; }
    const HexFile& EepromFile() const { return eepromFile_; }
    int FlashLoadResult() const { return flashLoad_; }
    int EepromLoadResult() const { return eepromLoad_; }

    // ---- the log ----
    void Log(LogLine line) { engine_.Log(std::move(line)); }
    void LogQuiet(LogLine line) { engine_.LogQuiet(std::move(line)); }
    std::string LogText() const { return engine_.LogText(); }
    LogDelta LogSince(LogCursor& cursor) const { return engine_.LogSince(cursor); }
    void SetLanguage(Language language) { engine_.SetLogLanguage(language); }
    Language GetLanguage() const { return engine_.LogLanguage(); }

    // ---- runs ----
    // A request of `kind` for the current selection.
    RunRequest Request(RunKind kind) const;
    // Every rule a run must pass before the port is touched; empty: it may start.
    std::vector<Refusal> Check(const RunRequest& request) const;
    // Checks, then runs on the caller's thread. A refused run logs its lines and touches
    // nothing; a busy station refuses too.
    RunReport Run(const RunRequest& request);
    // Checks, then starts the run on the worker; false when refused (logged) or busy. The end
    // comes as RunObserver::OnRunEnded; LastReport() then holds the report.
    bool Start(const RunRequest& request);
    bool Running() const { return running_.load(); }
    // The process is ending (a signal): the run going, and any after it, stops at its next
    // page and releases the cable. From any thread.
    void RequestStop() { engine_.RequestStop(); }
    // Waits for the run started last.
    void Join();
    // The report of the run that ended last (on the caller's thread after OnRunEnded or Join).
    RunReport LastReport() const;

  private:
    // Puts a flash load into the engine, with an ELF file's EEPROM section, fuse and lock bytes.
    int TakeFlash(const std::string& path, LoadedImage image);
    void OnLog() override;
    void OnProgress(int percent) override;
    // Logs the refusals, or on none prepares the engine for the run; false when refused.
    bool Admit(const RunRequest& request);
    void Prepare(const RunRequest& request);
    RunReport Execute(const RunRequest& request);
    void ClampDelay();
    // The engine holding the station's settings, for the port search that binding makes.
    void SettingsToEngine();
    // The file's settings, from the reading OpenDesktopSettings kept or a new one.
    SettingsRead ReadSettingsOnce(const std::string& iniPath);
    // Puts a reading into the station: its lines and the images it names, in the order the
    // log has always had them.
    SettingsLoadResult TakeSettings(SettingsRead read);
    // Takes back into the station's settings what a run changed in the engine's copy.
    void TakeBackSettings(RunKind kind);
    // Joins a worker whose run has ended and takes back what that run changed in the settings.
    void CollectWorker();

    IspProgrammer engine_;
    ProgrammerSettings settings_;
    std::unique_ptr<PortPath> port_;
    HexFile flashFile_;
    HexFile eepromFile_;
    std::vector<std::uint8_t> flashFileFuses_;
    int flashLoad_ = kHexLoadNoPath;
    int eepromLoad_ = kHexLoadNoPath;
    DesktopSettings desktop_;
    std::optional<SettingsRead> opened_;  // read by OpenDesktopSettings for OpenSettings
    std::string openedPath_;
    // The chip row selected last in each family (AVR, 89S5x).
    std::uint32_t familyChip_[2] = {0, 0};

    // Recursive: an observer may log (and so report) from inside a report.
    std::recursive_mutex observerMutex_;
    RunObserver* observer_ = nullptr;
    std::thread worker_;
    std::optional<RunKind> takeBack_;  // the worker's run, until it is collected
    std::atomic<bool> running_{false};
    mutable std::mutex reportMutex_;
    RunReport lastReport_;
};

}  // namespace velkor
