#include "driverclient/driver_binding.h"

#include <cstdio>

#include "engine/isp_programmer.h"

namespace velkor {

std::string ProgramDirectory(const std::string& executablePath) {
    const std::size_t separator = executablePath.find_last_of("\\/");
    if (separator == std::string::npos) {
        // A bare drive ("C:name") still names its drive.
        const std::size_t colon = executablePath.find(':');
        return colon == std::string::npos ? std::string() : executablePath.substr(0, colon + 1);
    }
    return executablePath.substr(0, separator + 1);
}

std::string DriverFilePath(const std::string& directory) {
    return directory + "\\" + kDriverFileName;
}

bool SameDriverPath(const std::string& a, const std::string& b) {
    auto normal = [](const std::string& path) {
        std::string text = path.rfind("\\??\\", 0) == 0 ? path.substr(4) : path;
        std::string out;
        for (char c : text) {
            if (c == '/') c = '\\';
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c == '\\' && !out.empty() && out.back() == '\\') continue;
            out += c;
        }
        return out;
    };
    return normal(a) == normal(b);
}

int InstallDriver(ServiceManager& scm, const std::string& driverPath, const std::string& name,
                  BindingFailure* failure, std::uint16_t extraPortBase) {
    BindingFailure ignored;
    BindingFailure& fail = failure != nullptr ? *failure : ignored;
    fail = {};
    const ServiceManager::Handle manager = scm.OpenManager(kScManagerAllAccess);
    if (manager == ServiceManager::kNoHandle) {
        fail = {BindingFailure::Step::kOpenManager, scm.LastError()};
        return 0;
    }
    ServiceRegistration registration;
    registration.name = name;
    registration.displayName = name;
    registration.binaryPath = driverPath;
    ServiceManager::Handle service = scm.Create(manager, registration);
    bool reused = false;
    if (service == ServiceManager::kNoHandle) {
        reused = true;
        const std::uint32_t error = scm.LastError();
        if (error != kErrorServiceExists) {
            fail = {BindingFailure::Step::kCreateService, error};
            scm.Close(manager);
            return 0;
        }
        // Left over from a run that did not remove it, or registered by someone else.
        service = scm.Open(manager, name, kServiceAllAccess);
        if (service == ServiceManager::kNoHandle) {
            fail = {BindingFailure::Step::kOpenService, scm.LastError()};
            scm.Close(manager);
            return 0;
        }
        // Started as it is, it would load whatever file it names, which nobody checked: it is
        // made to name the file that was checked, or nothing is started.
        std::string named;
        bool ours = scm.QueryBinaryPath(service, &named) && SameDriverPath(named, driverPath);
        if (!ours) {
            const bool stopped = scm.Stop(service) || scm.LastError() == kErrorServiceNotActive;
            ours = stopped && scm.SetBinaryPath(service, driverPath);
        }
        if (!ours) {
            fail = {BindingFailure::Step::kOtherImage, scm.LastError()};
            fail.servicePath = named;
            scm.Close(service);
            scm.Close(manager);
            return 0;
        }
    }
    // Not written, the card's ports stay closed and the search reports it as missing, which
    // is the truth as far as the driver goes.
    if (extraPortBase != 0 || reused) (void)scm.SetValue(name, kDriverPortBaseValue, extraPortBase);
    const bool started = scm.Start(service);
    if (!started) {
        // Another instance may have started it already; its device serves us as well.
        const std::uint32_t error = scm.LastError();
        if (error != kErrorServiceAlreadyRunning)
            fail = {BindingFailure::Step::kStartService, error};
    }
    scm.Close(service);
    scm.Close(manager);
    return started ? 1 : 0;
}

int RemoveDriver(ServiceManager& scm, const std::string& name) {
    const ServiceManager::Handle manager = scm.OpenManager(kScManagerAllAccess);
    if (manager == ServiceManager::kNoHandle) return 0;
    const ServiceManager::Handle service = scm.Open(manager, name, kServiceAllAccess);
    if (service == ServiceManager::kNoHandle) {
        scm.Close(manager);
        return 0;
    }
    // A driver that will not stop must stay registered: deleting it would leave a running
    // driver that no later start can reach by name. One that never started (its file was
    // missing, say) is deleted all the same: kept, it would be reused unchanged by every
    // later start, still naming the file that failed.
    const bool stopped = scm.Stop(service) || scm.LastError() == kErrorServiceNotActive;
    const int result = stopped && scm.Delete(service) ? 1 : 0;
    scm.Close(service);
    scm.Close(manager);
    return result;
}

DriverBinding::~DriverBinding() {
    CloseDriver();
}

bool DriverBinding::OpenDriver(const std::string& directory) {
    opened_ = true;
    noticeGiven_ = false;
    driverPath_ = DriverFilePath(directory);
    // Nothing reaches the service manager, let alone the kernel, before the file is known
    // to be the driver this program was built with.
    failure_ = {};
    failure_.file = checkFile_(driverPath_);
    if (failure_.file.state != DriverFileVerdict::State::kGood) {
        failure_.step = BindingFailure::Step::kCheckFile;
        return false;
    }
    (void)InstallDriver(scm_, driverPath_, kDriverServiceName, &failure_, extraPortBase_);
    // A service left naming another file may still run that file: no device of its is used.
    if (failure_.step == BindingFailure::Step::kOtherImage) return false;
    std::uint32_t error = 0;
    device_ = opener_.Open(&error);
    // The device opening anyway means an earlier failure did not matter (the driver ran).
    if (device_ != nullptr) {
        failure_ = {};
    } else if (failure_.step == BindingFailure::Step::kNone) {
        failure_ = {BindingFailure::Step::kOpenDevice, error};
    }
    return device_ != nullptr;
}

void DriverBinding::CloseDriver() {
    if (!opened_) return;
    opened_ = false;
    device_.reset();
    (void)RemoveDriver(scm_, kDriverServiceName);
}

bool DriverBinding::Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                            std::uint32_t* bytesReturned) {
    if (device_ == nullptr) {
        *bytesReturned = 0;
        return false;
    }
    return device_->Control(code, buffer, length, bytesReturned);
}

LogLine DriverBinding::TakeNotOpenNotice() {
    if (device_ != nullptr || noticeGiven_ || !opened_) return {};
    noticeGiven_ = true;
    switch (failure_.step) {
        case BindingFailure::Step::kCheckFile:
            switch (failure_.file.state) {
                case DriverFileVerdict::State::kMissing:
                    return {Msg::kDriverFileNotFound, {driverPath_}};
                case DriverFileVerdict::State::kUnreadable:
                    return {Msg::kDriverFileUnreadable, {driverPath_, failure_.file.reason}};
                default:
                    return {Msg::kDriverFileNotOurs, {driverPath_, failure_.file.digest}};
            }
        case BindingFailure::Step::kOtherImage:
            return {Msg::kDriverServiceOtherFile,
                    {failure_.servicePath, driverPath_, Num(failure_.error)}};
        case BindingFailure::Step::kOpenDevice:
            if (failure_.error == kErrorSharingViolation) return Msg::kDriverInUse;
            break;
        default:
            break;
    }
    Msg why = Msg::kTermDriverCannotOpenDevice;
    switch (failure_.step) {
        case BindingFailure::Step::kOpenManager:
            why = failure_.error == kErrorAccessDenied ? Msg::kTermDriverNoManagerRights
                                                       : Msg::kTermDriverNoManager;
            break;
        case BindingFailure::Step::kCreateService:
            why = Msg::kTermDriverCannotRegister;
            break;
        case BindingFailure::Step::kOpenService:
            why = Msg::kTermDriverCannotOpenService;
            break;
        case BindingFailure::Step::kStartService:
            why = failure_.error == kErrorFileNotFound ? Msg::kTermDriverFileMissing
                                                       : Msg::kTermDriverCannotStart;
            break;
        default:
            break;
    }
    return {Msg::kDriverNotOpen, {why, Num(static_cast<unsigned>(failure_.error))}};
}

bool BindDriverAtStartup(bool ntFamily, IspProgrammer& engine, DriverBinding& binding,
                         const std::string& directory) {
    if (!ntFamily) return false;
    engine.SetUseDriver(true);
    binding.SetExtraPortBase(engine.Settings().extraPortBase);
    (void)binding.OpenDriver(directory);
    return true;
}

}  // namespace velkor
