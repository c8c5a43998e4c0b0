#include "driverclient/win32_service_manager.h"

#include <windows.h>

namespace velkor {
namespace {

SC_HANDLE Sc(ServiceManager::Handle handle) {
    return reinterpret_cast<SC_HANDLE>(handle);
}

ServiceManager::Handle Own(SC_HANDLE handle) {
    return reinterpret_cast<ServiceManager::Handle>(handle);
}

}  // namespace

ServiceManager::Handle Win32ServiceManager::OpenManager(std::uint32_t access) {
    return Own(OpenSCManagerA(nullptr, nullptr, access));
}

ServiceManager::Handle Win32ServiceManager::Create(Handle manager, const ServiceRegistration& r) {
    return Own(CreateServiceA(Sc(manager), r.name.c_str(), r.displayName.c_str(), r.access,
                              r.serviceType, r.startType, r.errorControl, r.binaryPath.c_str(),
                              nullptr, nullptr, nullptr, nullptr, nullptr));
}

ServiceManager::Handle Win32ServiceManager::Open(Handle manager, const std::string& name,
                                                 std::uint32_t access) {
    return Own(OpenServiceA(Sc(manager), name.c_str(), access));
}

bool Win32ServiceManager::Start(Handle service) {
    return StartServiceA(Sc(service), 0, nullptr) != FALSE;
}

bool Win32ServiceManager::Stop(Handle service) {
    SERVICE_STATUS status;
    return ControlService(Sc(service), SERVICE_CONTROL_STOP, &status) != FALSE;
}

bool Win32ServiceManager::Delete(Handle service) {
    return ::DeleteService(Sc(service)) != FALSE;
}

void Win32ServiceManager::Close(Handle handle) {
    if (handle != kNoHandle) CloseServiceHandle(Sc(handle));
}

std::uint32_t Win32ServiceManager::LastError() {
    return GetLastError();
}

}  // namespace velkor
