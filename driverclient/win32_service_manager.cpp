#include "driverclient/win32_service_manager.h"

#include <windows.h>

#include <string>
#include <vector>

namespace velkor {
namespace {

// The program holds its paths in UTF-8; the "A" calls would read them in the ANSI code page,
// so a program folder named outside it would register a driver file that is not there.
std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

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
    return Own(CreateServiceW(Sc(manager), Wide(r.name).c_str(), Wide(r.displayName).c_str(),
                              r.access, r.serviceType, r.startType, r.errorControl,
                              Wide(r.binaryPath).c_str(), nullptr, nullptr, nullptr, nullptr,
                              nullptr));
}

ServiceManager::Handle Win32ServiceManager::Open(Handle manager, const std::string& name,
                                                 std::uint32_t access) {
    return Own(OpenServiceW(Sc(manager), Wide(name).c_str(), access));
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

bool Win32ServiceManager::QueryBinaryPath(Handle service, std::string* path) {
    DWORD needed = 0;
    QueryServiceConfigW(Sc(service), nullptr, 0, &needed);
    if (needed == 0) return false;
    std::vector<unsigned char> storage(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(storage.data());
    if (!QueryServiceConfigW(Sc(service), config, needed, &needed)) return false;
    path->clear();
    const wchar_t* wide = config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : L"";
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length > 1) {
        path->resize(static_cast<std::size_t>(length - 1));
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, path->data(), length, nullptr, nullptr);
    }
    return true;
}

bool Win32ServiceManager::SetBinaryPath(Handle service, const std::string& path) {
    return ChangeServiceConfigW(Sc(service), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                SERVICE_NO_CHANGE, Wide(path).c_str(), nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr) != FALSE;
}

bool Win32ServiceManager::SetValue(const std::string& name, const std::string& valueName,
                                   std::uint32_t value) {
    const std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + name;
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        const DWORD data = value;
        status = RegSetValueExA(key, valueName.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&data), sizeof data);
        RegCloseKey(key);
    }
    SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

std::uint32_t Win32ServiceManager::LastError() {
    return GetLastError();
}

}  // namespace velkor
