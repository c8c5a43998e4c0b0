// Installing, starting, opening and removing the port driver Tarnel: the program registers
// the driver as a service at start-up, opens its device, and at shutdown closes the device,
// stops the driver and deletes its registration again, so that it exists only while the
// program runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "driverclient/driver_channel.h"
#include "driverclient/driver_integrity.h"
#include "driverclient/service_manager.h"
#include "messages/log_messages.h"

namespace velkor {

class IspProgrammer;

constexpr const char* kDriverServiceName = "Tarnel";
// The driver file each build of the program loads from its own folder: the same name for the
// x86 and the x64 driver, each shipped beside the program of its architecture.
constexpr const char* kDriverFileName = "Tarnel.sys";
// The value under the service's key that names a port card's base for the driver to admit
// besides LPT1..LPT3 (0: none). The driver reads it once, when it loads.
constexpr const char* kDriverPortBaseValue = "PortBase";

// The directory part (drive and directory) of the executable's full path, ending in a
// separator; empty when the path has none.
std::string ProgramDirectory(const std::string& executablePath);

// The driver file beside the program: the directory followed by "\Tarnel.sys". The directory
// already ends in a backslash, so two stand before the file name; Windows reads them as one.
std::string DriverFilePath(const std::string& directory);

// Why a step of the binding failed: which call, and the system's error code.
struct BindingFailure {
    enum class Step {
        kNone,
        kOpenManager,
        kCreateService,
        kOpenService,
        kStartService,
        kOpenDevice,
        kCheckFile,   // the driver file is missing, unreadable or not ours: see `file`
        kOtherImage,  // the existing service names another file and could not be changed
    };
    Step step = Step::kNone;
    std::uint32_t error = 0;
    DriverFileVerdict file;   // kCheckFile
    std::string servicePath;  // kOtherImage: the file the service names
};

// Whether two driver paths name the same file as the service manager stores them: letters in
// either case, '/' or '\', repeated separators, and the kernel's "\??\" prefix alike.
bool SameDriverPath(const std::string& a, const std::string& b);

// Registers the driver file as the kernel-driver service `name` and starts it. An existing
// registration is reused when it names the same file; one that names another file is
// stopped and made to name this one, and when that is refused (no rights) nothing is
// started and `failure` says kOtherImage. Returns nonzero when this
// call started the service. `failure` (if given) receives the first step that failed; a
// start refused because the service already runs is not a failure.
// `extraPortBase` (nonzero) is written as the service's PortBase before the start, so that
// the driver admits that port card; a reused registration always gets the value, so that a
// card configured by an earlier run is not admitted any more. A driver already running keeps
// what it read when it loaded.
int InstallDriver(ServiceManager& scm, const std::string& driverPath, const std::string& name,
                  BindingFailure* failure = nullptr, std::uint16_t extraPortBase = 0);

// Stops the service `name` and, when it stopped or was not running at all, deletes it.
// Returns 1 when the registration is gone, 0 otherwise (a driver that refuses to stop stays
// registered and is reused by the next start).
int RemoveDriver(ServiceManager& scm, const std::string& name);

// Opens the driver's device "\\.\Tarnel".
class DeviceOpener {
  public:
    virtual ~DeviceOpener() = default;
    // The open device, or null with the system's error in *error.
    virtual std::unique_ptr<DriverChannel> Open(std::uint32_t* error) = 0;
};

// The driver as the program holds it between start-up and shutdown, and the channel to its
// device: while the device is not open, every call fails, as calls on an invalid handle do.
class DriverBinding : public DriverChannel {
  public:
    // `checkFile` judges the driver file before it is registered or started (production:
    // CheckDriverFile against the digests the program was built with).
    using FileCheck = std::function<DriverFileVerdict(const std::string& path)>;
    DriverBinding(ServiceManager& scm, DeviceOpener& device, FileCheck checkFile)
        : scm_(scm), opener_(device), checkFile_(std::move(checkFile)) {}
    // A binding that was opened and not yet closed is closed: the service is stopped and
    // deleted on every way out of the program that unwinds, not only the regular one.
    ~DriverBinding() override;
    DriverBinding(const DriverBinding&) = delete;
    DriverBinding& operator=(const DriverBinding&) = delete;

    // Checks the driver file in `directory`, installs and starts it (whose result is not
    // needed: an already running driver serves as well) and opens the device. A file that
    // fails the check, or a service that names another file and cannot be changed, leaves
    // the device closed. Returns whether the device is open.
    bool OpenDriver(const std::string& directory);
    // The port card's base the driver is to admit at its next load (0: none).
    void SetExtraPortBase(std::uint16_t base) { extraPortBase_ = base; }
    // Closes the device, then stops and deletes the service. Does nothing unless OpenDriver
    // was called.
    void CloseDriver();

    bool IsOpen() const { return device_ != nullptr; }
    bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t* bytesReturned) override;
    std::uint32_t LastError() const override { return device_ ? device_->LastError() : 0; }

    // While the device is not open: one log line saying why and what to do (where the driver
    // file was looked for, when it was missing or refused), given once, then empty. Empty
    // whenever the device is open.
    LogLine TakeNotOpenNotice();

  private:
    ServiceManager& scm_;
    DeviceOpener& opener_;
    FileCheck checkFile_;
    std::unique_ptr<DriverChannel> device_;
    bool opened_ = false;  // OpenDriver called, CloseDriver not yet
    bool noticeGiven_ = false;
    std::uint16_t extraPortBase_ = 0;
    BindingFailure failure_;
    std::string driverPath_;
};

// Start-up: on a system whose kernel keeps user programs from the ports (`ntFamily`), sets
// the engine's use-driver flag and opens the driver from the program's directory, telling it
// the engine's extra port base; elsewhere
// does nothing at all. Returns whether the engine is in driver mode. The flag stays set even
// when the open fails: every port access then fails and the first run says why.
bool BindDriverAtStartup(bool ntFamily, IspProgrammer& engine, DriverBinding& binding,
                         const std::string& directory);

}  // namespace velkor
