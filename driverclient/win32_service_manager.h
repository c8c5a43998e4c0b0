// The service control manager of Windows behind the binding's seam.
#pragma once

#include "driverclient/service_manager.h"

namespace velkor {

class Win32ServiceManager : public ServiceManager {
  public:
    Handle OpenManager(std::uint32_t access) override;
    Handle Create(Handle manager, const ServiceRegistration& registration) override;
    Handle Open(Handle manager, const std::string& name, std::uint32_t access) override;
    bool Start(Handle service) override;
    bool Stop(Handle service) override;
    bool Delete(Handle service) override;
    void Close(Handle handle) override;
    bool QueryBinaryPath(Handle service, std::string* path) override;
    bool SetBinaryPath(Handle service, const std::string& path) override;
    bool SetValue(const std::string& name, const std::string& valueName,
                  std::uint32_t value) override;
    std::uint32_t LastError() override;
};

}  // namespace velkor
