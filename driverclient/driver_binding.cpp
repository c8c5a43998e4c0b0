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
        // Left over from a run that did not remove it: used as it is.
        service = scm.Open(manager, name, kServiceAllAccess);
        if (service == ServiceManager::kNoHandle) {
            fail = {BindingFailure::Step::kOpenService, scm.LastError()};
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
    (void)InstallDriver(scm_, DriverFilePath(directory), kDriverServiceName, &failure_,
                        extraPortBase_);
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
        case BindingFailure::Step::kOpenDevice:
        case BindingFailure::Step::kNone:
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
