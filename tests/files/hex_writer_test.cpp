#include "files/hex_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/files/settings_test_support.h"

namespace velkor {
namespace {

using testing::FailingOps;
using testing::ReadBytes;
using testing::SettingsScratch;

// A read-back saved over an earlier one: a write that fails half way keeps the earlier file
// whole instead of leaving the first part of the new one.
TEST(SaveIntelHexFile, AFailedWriteKeepsTheFileThatWasThere) {
    SettingsScratch dir;
    const std::string path = dir / "back.hex";
    const std::vector<std::uint8_t> small = {1, 2, 3};
    ASSERT_EQ(SaveIntelHexFile(path, small), "");
    const std::string before = ReadBytes(path);
    EXPECT_EQ(before, ":03000000010203F7\r\n:00000001FF\r\n");

    const std::vector<std::uint8_t> big(8192, 0x5A);
    FailingOps ops(FailingOps::Step::kWrite, 1000);
    EXPECT_NE(SaveIntelHexFile(path, big, ops).find("cannot write " + path), std::string::npos);
    EXPECT_EQ(ReadBytes(path), before);
}

}  // namespace
}  // namespace velkor
