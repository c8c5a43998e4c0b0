// The seam to the operating system's service control manager, with exactly the calls the
// driver binding makes. Windows implements it with the SCM functions; tests with a fake that
// records every call.
#pragma once

#include <cstdint>
#include <string>

namespace velkor {

// Windows error codes the binding tells apart.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kErrorServiceNotActive = 1062;
constexpr std::uint32_t kErrorServiceExists = 1073;

// Access masks asked of the manager and of the service.
constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF;

// Everything CreateServiceA is given. Load order group, tag, dependencies, account and
// password are always none.
struct ServiceRegistration {
    std::string name;
    std::string displayName;
    std::uint32_t access = kServiceAllAccess;
    std::uint32_t serviceType = 1;   // SERVICE_KERNEL_DRIVER
    std::uint32_t startType = 3;     // SERVICE_DEMAND_START
    std::uint32_t errorControl = 1;  // SERVICE_ERROR_NORMAL
    std::string binaryPath;
};

class ServiceManager {
  public:
    // An open manager or service handle; kNoHandle when a call failed.
    using Handle = std::uintptr_t;
    static constexpr Handle kNoHandle = 0;

    virtual ~ServiceManager() = default;
    // The local machine's default service database.
    virtual Handle OpenManager(std::uint32_t access) = 0;
    virtual Handle Create(Handle manager, const ServiceRegistration& registration) = 0;
    virtual Handle Open(Handle manager, const std::string& name, std::uint32_t access) = 0;
    virtual bool Start(Handle service) = 0;  // no arguments
    virtual bool Stop(Handle service) = 0;   // ControlService(SERVICE_CONTROL_STOP)
    virtual bool Delete(Handle service) = 0;
    virtual void Close(Handle handle) = 0;
    // The driver file an existing service names (its configuration's binary path).
    virtual bool QueryBinaryPath(Handle service, std::string* path) = 0;
    // Makes the service name another driver file, every other setting unchanged.
    virtual bool SetBinaryPath(Handle service, const std::string& path) = 0;
    // Sets a number value in the service's own registry key, where the driver reads its
    // configuration when it loads. False (with LastError) when it could not be written.
    virtual bool SetValue(const std::string& name, const std::string& valueName,
                          std::uint32_t value) = 0;
    // The error of the last failed call.
    virtual std::uint32_t LastError() = 0;
};

}  // namespace velkor
