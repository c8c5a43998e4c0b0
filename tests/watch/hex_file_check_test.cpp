#include <gtest/gtest.h>

#include "tests/watch/watch_files.h"
#include "watch/auto_program.h"

namespace velkor::test {
namespace {

TEST(CheckHexFile, OnlyAFileWithItsEndRecordIsComplete) {
    ScratchDir dir;
    const std::string path = dir.File("app.hex");
    const std::string text = IntelHex(Firmware(64, 9));  // four data records and the end
    WriteInPlace(path, text);
    EXPECT_EQ(CheckHexFile(path).state, HexFileState::kComplete);

    // Stopped between two lines: every line reads, the end is missing.
    const std::size_t secondLine = text.find('\n') + 1;
    ReplaceFileAtOnce(path, text.substr(0, secondLine), 1);
    EXPECT_EQ(CheckHexFile(path).state, HexFileState::kUnfinished);
    ReplaceFileAtOnce(path, "", 2);
    EXPECT_EQ(CheckHexFile(path).state, HexFileState::kUnfinished);

    // Stopped inside the second line.
    ReplaceFileAtOnce(path, text.substr(0, secondLine + 20), 3);
    const HexFileCheck cut = CheckHexFile(path);
    EXPECT_EQ(cut.state, HexFileState::kFaulty);
    EXPECT_EQ(cut.faultyLine, 2);

    ReplaceFileAtOnce(path, "S1130000000102030405060708090A0B0C0D0E0F74\nS9030000FC\n", 4);
    EXPECT_EQ(CheckHexFile(path).state, HexFileState::kComplete);
    ReplaceFileAtOnce(path, "S1130000000102030405060708090A0B0C0D0E0F74\n", 5);
    EXPECT_EQ(CheckHexFile(path).state, HexFileState::kUnfinished);

    EXPECT_EQ(CheckHexFile(dir.File("missing.hex")).state, HexFileState::kUnreadable);
}

}  // namespace
}  // namespace velkor::test
