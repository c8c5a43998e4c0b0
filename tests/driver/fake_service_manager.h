// A service control manager and device that record every call in one log, so that tests see
// the order of service and device calls together; each call's outcome can be scripted.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driverclient/driver_binding.h"
#include "driverclient/service_manager.h"

namespace velkor::test {

class FakeServiceManager : public ServiceManager {
  public:
    // Scripted failures: the named call fails with this error ("OpenManager", "Create",
    // "Open", "Start", "Stop", "Delete", "QueryPath", "SetPath").
    std::map<std::string, std::uint32_t> failures;
    std::vector<std::string> log;
    std::vector<ServiceRegistration> registrations;
    int openHandles = 0;
    // The file an existing registration names.
    std::string registeredPath = "C:\\VelkorISP\\\\Tarnel.sys";

    Handle OpenManager(std::uint32_t access) override {
        log.push_back("OpenManager " + Hex(access));
        return Succeed("OpenManager") ? NewHandle("manager") : kNoHandle;
    }
    Handle Create(Handle manager, const ServiceRegistration& r) override {
        log.push_back("Create " + r.name + " on " + names_[manager]);
        registrations.push_back(r);
        return Succeed("Create") ? NewHandle("service") : kNoHandle;
    }
    Handle Open(Handle manager, const std::string& name, std::uint32_t access) override {
        log.push_back("Open " + name + " " + Hex(access) + " on " + names_[manager]);
        return Succeed("Open") ? NewHandle("service") : kNoHandle;
    }
    bool Start(Handle service) override { return Call("Start", service); }
    bool Stop(Handle service) override { return Call("Stop", service); }
    bool Delete(Handle service) override { return Call("Delete", service); }
    void Close(Handle handle) override {
        log.push_back("Close " + names_[handle]);
        --openHandles;
    }
    bool QueryBinaryPath(Handle service, std::string* path) override {
        if (!Call("QueryPath", service)) return false;
        *path = registeredPath;
        return true;
    }
    bool SetBinaryPath(Handle service, const std::string& path) override {
        if (!Call("SetPath", service)) return false;
        registeredPath = path;
        return true;
    }
    bool SetValue(const std::string& name, const std::string& valueName,
                  std::uint32_t value) override {
        log.push_back("SetValue " + name + " " + valueName + " " + Hex(value));
        return Succeed("SetValue");
    }
    std::uint32_t LastError() override { return lastError_; }

  private:
    static std::string Hex(std::uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "%X", value);
        return text;
    }
    bool Succeed(const std::string& call) {
        const auto found = failures.find(call);
        if (found == failures.end()) return true;
        lastError_ = found->second;
        return false;
    }
    bool Call(const std::string& call, Handle service) {
        log.push_back(call + " " + names_[service]);
        return Succeed(call);
    }
    Handle NewHandle(const char* kind) {
        ++openHandles;
        names_[++next_] = kind;
        return next_;
    }
    std::map<Handle, std::string> names_;
    Handle next_ = 100;
    std::uint32_t lastError_ = 0;
};

// "\\.\Tarnel": opens when `available`, and logs into the manager's log.
class FakeDeviceOpener : public DeviceOpener {
  public:
    explicit FakeDeviceOpener(std::vector<std::string>& log) : log_(log) {}
    bool available = true;
    std::uint32_t error = kErrorFileNotFound;

    std::unique_ptr<DriverChannel> Open(std::uint32_t* errorOut) override {
        log_.push_back("OpenDevice");
        if (!available) {
            *errorOut = error;
            return nullptr;
        }
        return std::make_unique<Device>(log_);
    }

  private:
    class Device : public DriverChannel {
      public:
        explicit Device(std::vector<std::string>& log) : log_(log) {}
        ~Device() override { log_.push_back("CloseDevice"); }
        bool Control(std::uint32_t, std::uint8_t*, std::uint32_t,
                     std::uint32_t* bytesReturned) override {
            log_.push_back("Control");
            *bytesReturned = 0;
            return true;
        }

      private:
        std::vector<std::string>& log_;
    };
    std::vector<std::string>& log_;
};

}  // namespace velkor::test
