#include "files/extra_settings.h"

#include <gtest/gtest.h>

#include "files/profile_file.h"

namespace velkor {
namespace {

// A file from before section EXTRA existed reads as the chip scope and a save of the default
// leaves it byte for byte; a changed scope goes to EXTRA, beside keys this program does not
// know, and reads back.
TEST(ExtraSettings, RoundTripLeavesOldFilesAloneAndKeepsUnknownKeys) {
    const std::string old =
        "[DEVICE]\r\nTYPE=0\r\nID=7\r\n[PROGCMD]\r\nVerify=1\r\n[SIMULATOR]\r\nEnabled=1\r\n";
    ProfileDocument file = ProfileDocument::FromGbk(old);
    EXPECT_EQ(ReadExtraSettings(file).verifyScope, VerifyScope::kChip);
    WriteExtraSettings(file, ExtraSettings{});
    EXPECT_EQ(file.ToGbk(), old);

    WriteExtraSettings(file, ExtraSettings{VerifyScope::kFile});
    EXPECT_EQ(file.ToGbk(), old + "[EXTRA]\r\nVerifyScope=file\r\n");

    ProfileDocument later =
        ProfileDocument::FromGbk(old + "[EXTRA]\r\nLater=x\r\nverifyscope = FILE\r\n");
    EXPECT_EQ(ReadExtraSettings(later).verifyScope, VerifyScope::kFile);
    WriteExtraSettings(later, ExtraSettings{});  // back to the default: the key says so
    EXPECT_EQ(later.ToGbk(), old + "[EXTRA]\r\nLater=x\r\nverifyscope=chip\r\n");
    EXPECT_EQ(ReadExtraSettings(later).verifyScope, VerifyScope::kChip);

    EXPECT_EQ(
        ReadExtraSettings(ProfileDocument::FromGbk("[EXTRA]\nVerifyScope=files\n")).verifyScope,
        VerifyScope::kChip);
}

}  // namespace
}  // namespace velkor
