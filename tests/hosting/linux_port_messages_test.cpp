// The Linux port paths say what they looked for and why it failed, with advice that fits
// the reason: group lp and root only where rights were missing.
#include <gtest/gtest.h>

#include <cerrno>

#include "hosting/linux_direct_port.h"
#include "hosting/linux_ppdev_port.h"

namespace velkor {
namespace {

TEST(LinuxPortMessages, PpdevNamesANodeThatIsNoParallelPort) {
    LinuxPpdevPortIo::Paths paths;
    paths.procDir = "/nonexistent";
    paths.devDir = "/nonexistent";
    paths.explicitDevices[0] = "/dev/null";
    LinuxPpdevPortIo io(paths);
    const LogLine line = io.AccessProblem();
    EXPECT_EQ(line.id, Msg::kPpdevNotParallelPort);
    const std::string text = Render(line, Language::kEn);
    EXPECT_NE(text.find("/dev/null: PPCLAIM"), std::string::npos) << text;
    EXPECT_EQ(text.find("group lp"), std::string::npos) << text;
}

int failsWith = 0;
int FailingIoperm(unsigned long, unsigned long, int) {
    errno = failsWith;
    return -1;
}

TEST(LinuxPortMessages, IopermFailureIsExplainedByItsReason) {
    const struct {
        int error;
        Msg says;
    } cases[] = {{EPERM, Msg::kDirectIopermFailed},
                 {ENOSYS, Msg::kDirectIopermUnsupported},
                 {EINVAL, Msg::kDirectIopermOther}};
    for (const auto& c : cases) {
        failsWith = c.error;
        LinuxDirectPortIo io(&FailingIoperm);
        const LogLine line = io.AccessProblem();
        EXPECT_EQ(line.id, c.says) << c.error;
        EXPECT_EQ(io.In(0x379), 0xFF);
        if (c.error != EPERM) {
            const std::string text = Render(line, Language::kEn);
            EXPECT_NE(text.find("0x378, 0x278, 0x3BC"), std::string::npos) << text;
            EXPECT_EQ(text.find("root"), std::string::npos) << text;
        }
    }
}

}  // namespace
}  // namespace velkor
