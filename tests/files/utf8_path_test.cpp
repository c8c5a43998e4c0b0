#include "files/utf8_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <filesystem>
#include <string>

#include "tests/files/hex_test_support.h"

namespace velkor {
namespace {

// The name as the system lists it, checked without going through the unit under test.
#ifdef _WIN32
const std::filesystem::path::string_type kNative = L"固件.hex";
#else
const std::filesystem::path::string_type kNative = "固件.hex";
#endif

std::filesystem::path::string_type OnlyEntry(const std::string& dir) {
    std::filesystem::path::string_type name;
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(dir))) {
        if (!name.empty()) return {};
        name = entry.path().filename().native();
    }
    return name;
}

TEST(Utf8Path, AChineseNameIsTheFileTheSystemLists) {
    testing::ScratchDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string name = dir / "固件.hex";
    EXPECT_EQ(PathFromUtf8("固件.hex").native(), kNative);
    EXPECT_EQ(PathToUtf8(PathFromUtf8(name)), name);

    std::FILE* file = OpenFileUtf8(name, "w");
    ASSERT_NE(file, nullptr);
    std::fputs(":00000001FF\n", file);
    std::fclose(file);
    EXPECT_EQ(OnlyEntry(dir / "."), kNative);

    const int fd = OpenDescriptorUtf8(name, O_RDONLY);
    ASSERT_GE(fd, 0);
    char first = 0;
    EXPECT_EQ(::read(fd, &first, 1), 1);
    EXPECT_EQ(first, ':');
    ::close(fd);

    EXPECT_EQ(RemoveFileUtf8(name), 0);
    EXPECT_EQ(OnlyEntry(dir / "."), std::filesystem::path::string_type());
    EXPECT_EQ(OpenFileUtf8(name, "r"), nullptr);
}

#ifdef _WIN32
TEST(Utf8Path, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    EXPECT_EQ(WideFromUtf8("a\xFF"
                           "b"),
              L"a\uFFFDb");
    EXPECT_EQ(Utf8FromWide(std::wstring(L"a\xD800"
                                        "b")),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf8FromWide(WideFromUtf8("程序🚀")), "程序🚀");  // beyond the 16-bit plane too
}
#endif

}  // namespace
}  // namespace velkor
