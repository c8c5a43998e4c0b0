// Installing, opening and removing the driver against a recording service manager: the
// registration values, the order of calls, what an earlier run's leftovers and a running
// driver change, and the one line a user gets when the device stays closed.
#include "driverclient/driver_binding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/isp_programmer.h"
#include "fake_service_manager.h"
#include "tests/support/engine_edit.h"

namespace velkor::test {
namespace {

using Log = std::vector<std::string>;

constexpr const char* kDirectory = "C:\\VelkorISP\\";
constexpr const char* kDriverPath = "C:\\VelkorISP\\\\Tarnel.sys";

class Binding : public ::testing::Test {
  protected:
    FakeServiceManager scm_;
    FakeDeviceOpener device_{scm_.log};
    DriverFileVerdict verdict_;  // what the file check finds: the program's own driver
    DriverBinding::FileCheck file_ = [this](const std::string& path) {
        scm_.log.push_back("CheckFile " + path);
        return verdict_;
    };
};

TEST(DriverPaths, DriverFileSitsBesideTheProgram) {
    EXPECT_EQ(ProgramDirectory("C:\\VelkorISP\\VelkorISP.exe"), kDirectory);
    EXPECT_EQ(ProgramDirectory("Z:\\work\\bin/velkorisp-cli.exe"), "Z:\\work\\bin/");
    EXPECT_EQ(ProgramDirectory("C:VelkorISP.exe"), "C:");
    EXPECT_EQ(ProgramDirectory("VelkorISP.exe"), "");
    EXPECT_EQ(DriverFilePath(kDirectory), kDriverPath);
}

TEST_F(Binding, FreshInstallRegistersAKernelDriverOnDemandAndStartsIt) {
    EXPECT_EQ(InstallDriver(scm_, kDriverPath, "Tarnel"), 1);
    EXPECT_EQ(scm_.log, (Log{"OpenManager F003F", "Create Tarnel on manager", "Start service",
                             "Close service", "Close manager"}));
    ASSERT_EQ(scm_.registrations.size(), 1u);
    const ServiceRegistration& r = scm_.registrations[0];
    EXPECT_EQ(r.name, "Tarnel");
    EXPECT_EQ(r.displayName, "Tarnel");
    EXPECT_EQ(r.access, 0xF01FFu);
    EXPECT_EQ(r.serviceType, 1u);
    EXPECT_EQ(r.startType, 3u);
    EXPECT_EQ(r.errorControl, 1u);
    EXPECT_EQ(r.binaryPath, kDriverPath);
    EXPECT_EQ(scm_.openHandles, 0);
}

TEST_F(Binding, LeftoverRegistrationIsOpenedAndStarted) {
    scm_.failures["Create"] = kErrorServiceExists;
    DriverBinding binding(scm_, device_, file_);
    EXPECT_TRUE(binding.OpenDriver(kDirectory));
    EXPECT_EQ(scm_.log, (Log{std::string("CheckFile ") + kDriverPath, "OpenManager F003F",
                             "Create Tarnel on manager", "Open Tarnel F01FF on manager",
                             "QueryPath service", "SetValue Tarnel PortBase 0", "Start service",
                             "Close service", "Close manager", "OpenDevice"}));
    EXPECT_TRUE(binding.TakeNotOpenNotice().Empty());
}

// The driver learns a port card's base from its service key, written before it loads; a
// registration left over from an earlier run is told again, so a card no longer configured
// is not admitted.
TEST_F(Binding, TheEnginesCardBaseIsWrittenForTheDriverBeforeItStarts) {
    IspProgrammer engine;
    Edit(engine)->extraPortBase = 0xD010;
    DriverBinding binding(scm_, device_, file_);
    EXPECT_TRUE(BindDriverAtStartup(true, engine, binding, kDirectory));
    EXPECT_EQ(scm_.log, (Log{std::string("CheckFile ") + kDriverPath, "OpenManager F003F",
                             "Create Tarnel on manager", "SetValue Tarnel PortBase D010",
                             "Start service", "Close service", "Close manager", "OpenDevice"}));
}

TEST_F(Binding, RunningDriverServesThoughItsStartFails) {
    scm_.failures["Create"] = kErrorServiceExists;
    scm_.failures["Start"] = kErrorServiceAlreadyRunning;
    EXPECT_EQ(InstallDriver(scm_, kDriverPath, "Tarnel"), 0);
    scm_.log.clear();
    DriverBinding binding(scm_, device_, file_);
    EXPECT_TRUE(binding.OpenDriver(kDirectory));
    std::uint8_t buffer[8] = {};
    std::uint32_t returned = 99;
    EXPECT_TRUE(binding.Control(0xF0003C00u, buffer, 8, &returned));
    EXPECT_TRUE(binding.TakeNotOpenNotice().Empty());
    EXPECT_EQ(scm_.openHandles, 0);
}

TEST_F(Binding, FailuresCloseWhatWasOpenedAndStopEarly) {
    scm_.failures["Create"] = kErrorAccessDenied;  // not "exists": no reuse is tried
    EXPECT_EQ(InstallDriver(scm_, kDriverPath, "Tarnel"), 0);
    EXPECT_EQ(scm_.log, (Log{"OpenManager F003F", "Create Tarnel on manager", "Close manager"}));

    scm_.log.clear();
    scm_.failures["Create"] = kErrorServiceExists;
    scm_.failures["Open"] = kErrorAccessDenied;
    EXPECT_EQ(InstallDriver(scm_, kDriverPath, "Tarnel"), 0);
    EXPECT_EQ(scm_.log, (Log{"OpenManager F003F", "Create Tarnel on manager",
                             "Open Tarnel F01FF on manager", "Close manager"}));
    EXPECT_EQ(scm_.openHandles, 0);
}

TEST_F(Binding, WithoutRightsTheFirstRunSaysWhyOnceAndEveryCallFails) {
    scm_.failures["OpenManager"] = kErrorAccessDenied;
    device_.available = false;
    device_.error = kErrorFileNotFound;
    DriverBinding binding(scm_, device_, file_);
    EXPECT_FALSE(binding.OpenDriver(kDirectory));
    EXPECT_EQ(scm_.log,
              (Log{std::string("CheckFile ") + kDriverPath, "OpenManager F003F", "OpenDevice"}));

    std::uint8_t buffer[8] = {};
    std::uint32_t returned = 99;
    EXPECT_FALSE(binding.Control(0xF0003C00u, buffer, 8, &returned));
    EXPECT_EQ(returned, 0u);

    // The reason is the first step that failed (the rights), not its consequence.
    const std::string notice = Render(binding.TakeNotOpenNotice(), Language::kZh);
    EXPECT_NE(notice.find("权限"), std::string::npos) << notice;
    EXPECT_NE(notice.find("(错误 5)"), std::string::npos) << notice;
    EXPECT_NE(notice.find("管理员身份运行"), std::string::npos) << notice;
    EXPECT_NE(notice.find("Tarnel.sys"), std::string::npos) << notice;
    EXPECT_EQ(notice.substr(notice.size() - 2), "\r\n");
    EXPECT_TRUE(binding.TakeNotOpenNotice().Empty());
}

TEST_F(Binding, MissingDriverFileIsNamedInTheNotice) {
    scm_.failures["Start"] = kErrorFileNotFound;
    device_.available = false;
    DriverBinding binding(scm_, device_, file_);
    EXPECT_FALSE(binding.OpenDriver(kDirectory));
    EXPECT_NE(Render(binding.TakeNotOpenNotice(), Language::kZh)
                  .find("找不到驱动文件 Tarnel.sys (错误 2)"),
              std::string::npos);
}

// A driver file that is missing, unreadable or not the one the program was built with goes
// nowhere near the service manager or the device, and the notice says which file it was.
TEST_F(Binding, ADriverFileThatFailsTheCheckIsNeitherRegisteredNorOpened) {
    using State = DriverFileVerdict::State;
    const struct {
        State state;
        const char* says;
    } cases[] = {{State::kMissing, "The driver file C:\\VelkorISP\\\\Tarnel.sys was not found"},
                 {State::kUnreadable, "could not be read (Permission denied)"},
                 {State::kChanged,
                  "is not the Tarnel.sys this program was built with (SHA-256 "
                  "0123abcd)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        scm_.log.clear();
        verdict_ = {c.state, c.state == State::kChanged ? "0123abcd" : "", "Permission denied"};
        DriverBinding binding(scm_, device_, file_);
        EXPECT_FALSE(binding.OpenDriver(kDirectory));
        EXPECT_EQ(scm_.log, Log{std::string("CheckFile ") + kDriverPath});
        const std::string notice = Render(binding.TakeNotOpenNotice(), Language::kEn);
        EXPECT_NE(notice.find(c.says), std::string::npos) << notice;
    }
}

// A registration naming another file is stopped and pointed at the checked file before it
// starts; without the right to change it nothing starts and no device of it is used.
TEST_F(Binding, AServiceNamingAnotherFileIsReRegisteredOrRefused) {
    EXPECT_TRUE(SameDriverPath("\\??\\c:/velkorisp/tarnel.sys", kDriverPath));
    EXPECT_FALSE(SameDriverPath("C:\\Temp\\Tarnel.sys", kDriverPath));
    scm_.failures["Create"] = kErrorServiceExists;
    scm_.failures["Stop"] = kErrorServiceNotActive;
    scm_.registeredPath = "C:\\Users\\Public\\Tarnel.sys";
    {
        DriverBinding binding(scm_, device_, file_);
        EXPECT_TRUE(binding.OpenDriver(kDirectory));
        EXPECT_EQ(std::vector<std::string>(scm_.log.begin() + 4, scm_.log.begin() + 8),
                  (Log{"QueryPath service", "Stop service", "SetPath service",
                       "SetValue Tarnel PortBase 0"}));
        EXPECT_EQ(scm_.registeredPath, kDriverPath);
    }
    scm_.registeredPath = "C:\\Users\\Public\\Tarnel.sys";
    scm_.failures["SetPath"] = kErrorAccessDenied;
    scm_.log.clear();
    DriverBinding binding(scm_, device_, file_);
    EXPECT_FALSE(binding.OpenDriver(kDirectory));
    EXPECT_EQ(std::count(scm_.log.begin(), scm_.log.end(), "Start service"), 0);
    EXPECT_EQ(std::count(scm_.log.begin(), scm_.log.end(), "OpenDevice"), 0);
    EXPECT_EQ(scm_.openHandles, 0);
    const std::string notice = Render(binding.TakeNotOpenNotice(), Language::kEn);
    EXPECT_NE(notice.find("names another file, C:\\Users\\Public\\Tarnel.sys, and could not be "
                          "changed to C:\\VelkorISP\\\\Tarnel.sys (error 5)"),
              std::string::npos)
        << notice;
}

TEST_F(Binding, ASecondProgramHearsTheDriverIsInUse) {
    device_.available = false;
    device_.error = kErrorSharingViolation;
    DriverBinding binding(scm_, device_, file_);
    EXPECT_FALSE(binding.OpenDriver(kDirectory));
    EXPECT_EQ(binding.TakeNotOpenNotice(), LogLine(Msg::kDriverInUse));
}

TEST_F(Binding, RemoveDeletesOnlyAStoppedService) {
    EXPECT_EQ(RemoveDriver(scm_, "Tarnel"), 1);
    EXPECT_EQ(scm_.log, (Log{"OpenManager F003F", "Open Tarnel F01FF on manager", "Stop service",
                             "Delete service", "Close service", "Close manager"}));

    scm_.log.clear();
    scm_.failures["Stop"] = kErrorServiceNotActive;  // it never started: nothing runs
    EXPECT_EQ(RemoveDriver(scm_, "Tarnel"), 1);
    EXPECT_EQ(scm_.log, (Log{"OpenManager F003F", "Open Tarnel F01FF on manager", "Stop service",
                             "Delete service", "Close service", "Close manager"}));

    scm_.log.clear();
    scm_.failures["Stop"] = 1061;  // running, but cannot take the stop now
    EXPECT_EQ(RemoveDriver(scm_, "Tarnel"), 0);
    EXPECT_EQ(scm_.log, (Log{"OpenManager F003F", "Open Tarnel F01FF on manager", "Stop service",
                             "Close service", "Close manager"}));

    scm_.log.clear();
    scm_.failures["Open"] = 1060;  // no such service
    EXPECT_EQ(RemoveDriver(scm_, "Tarnel"), 0);
    EXPECT_EQ(scm_.log,
              (Log{"OpenManager F003F", "Open Tarnel F01FF on manager", "Close manager"}));
    EXPECT_EQ(scm_.openHandles, 0);
}

TEST_F(Binding, CloseShutsTheDeviceBeforeRemovingTheServiceAndOnlyOnce) {
    {
        DriverBinding binding(scm_, device_, file_);
        binding.OpenDriver(kDirectory);
        scm_.log.clear();
        binding.CloseDriver();
        EXPECT_EQ(scm_.log,
                  (Log{"CloseDevice", "OpenManager F003F", "Open Tarnel F01FF on manager",
                       "Stop service", "Delete service", "Close service", "Close manager"}));
        scm_.log.clear();
        binding.CloseDriver();
    }
    EXPECT_EQ(scm_.log, Log{});  // neither the second close nor the destructor repeats it

    {
        DriverBinding binding(scm_, device_, file_);
        binding.OpenDriver(kDirectory);
        scm_.log.clear();
    }
    // A binding left open is closed when it goes away.
    EXPECT_EQ(scm_.log.front(), "CloseDevice");
    EXPECT_EQ(scm_.log.size(), 7u);
}

TEST_F(Binding, StartupBindsOnlyOnTheNtFamily) {
    IspProgrammer engine;
    DriverBinding binding(scm_, device_, file_);
    EXPECT_FALSE(BindDriverAtStartup(false, engine, binding, kDirectory));
    EXPECT_EQ(engine.UsesDriver(), 0u);
    EXPECT_EQ(scm_.log, Log{});
    EXPECT_TRUE(binding.TakeNotOpenNotice().Empty());

    device_.available = false;
    EXPECT_TRUE(BindDriverAtStartup(true, engine, binding, kDirectory));
    // The flag stays set though the device did not open: the first run says why.
    EXPECT_EQ(engine.UsesDriver(), 1u);
    EXPECT_FALSE(binding.IsOpen());
    EXPECT_FALSE(binding.TakeNotOpenNotice().Empty());
}

}  // namespace
}  // namespace velkor::test
