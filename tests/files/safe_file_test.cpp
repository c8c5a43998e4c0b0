#include "files/safe_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/files/settings_test_support.h"

namespace velkor {
namespace {

using testing::FailingOps;
using testing::ReadBytes;
using testing::SettingsScratch;

TEST(SafeFile, ReplacesContentsAndKeepsPermissionsAndLinks) {
    SettingsScratch dir;
    const std::string path = dir / "velkor.ini";
    std::string error;
    ASSERT_TRUE(ReplaceFileContents(path, "first\r\n", error)) << error;
    EXPECT_EQ(ReadBytes(path), "first\r\n");

#ifndef _WIN32  // Windows has neither permission bits nor, for a plain user, symbolic links
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(ReplaceFileContents(path, "second\r\n", error)) << error;
    EXPECT_EQ(ReadBytes(path), "second\r\n");
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    const std::string link = dir / "link.ini";
    std::filesystem::create_symlink(path, link);
    ASSERT_TRUE(ReplaceFileContents(link, "third\r\n", error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(path), "third\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"link.ini", "velkor.ini"}));
#else
    ASSERT_TRUE(ReplaceFileContents(path, "second\r\n", error)) << error;
    EXPECT_EQ(ReadBytes(path), "second\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"velkor.ini"}));
#endif
}

TEST(SafeFile, AFailedStepLeavesTheOldFileAndNoLeftovers) {
    const std::string big(100000, 'x');
    for (const auto& [step, what] : {std::pair{FailingOps::Step::kWrite, "cannot write"},
                                     std::pair{FailingOps::Step::kFsync, "cannot flush"},
                                     std::pair{FailingOps::Step::kRename, "cannot rename"}}) {
        SCOPED_TRACE(what);
        SettingsScratch dir;
        const std::string path = dir / "velkor.ini";
        std::string error;
        ASSERT_TRUE(ReplaceFileContents(path, "old contents\r\n", error));
        FailingOps ops(step, 4096);  // the write step fails after the first 4 KiB
        EXPECT_FALSE(ReplaceFileContents(path, big, error, ops));
        EXPECT_NE(error.find(what), std::string::npos) << error;
        EXPECT_EQ(ReadBytes(path), "old contents\r\n");
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"velkor.ini"});
    }
}

// Every step (create the temporary, move it over the file, remove it after a failure) goes by
// the UTF-8 name, which Windows' narrow calls would read as another name.
TEST(SafeFile, ChineseNamesAreReadReplacedAndCleanedUp) {
    SettingsScratch dir;
    const std::string path = dir / "设置.ini";
    std::string bytes;
    std::string error;
    EXPECT_EQ(ReadWholeFile(path, bytes, error), FileReadStatus::kMissing);
    ASSERT_TRUE(ReplaceFileContents(path, "first\r\n", error)) << error;
    ASSERT_TRUE(ReplaceFileContents(path, "second\r\n", error)) << error;
    EXPECT_EQ(ReadWholeFile(path, bytes, error), FileReadStatus::kRead) << error;
    EXPECT_EQ(bytes, "second\r\n");

    FailingOps ops(FailingOps::Step::kRename);
    EXPECT_FALSE(ReplaceFileContents(path, "third\r\n", error, ops));
    EXPECT_EQ(ReadBytes(path), "second\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"设置.ini"});
}

// A save killed before its rename leaves "<file>.tmp-PID-N"; the next save removes those of
// processes that have ended, never one a running process (this one included) may still be
// writing, nor another file's.
TEST(SafeFile, ASaveRemovesOnlyTemporariesOfEndedProcesses) {
    SettingsScratch dir;
    const std::string path = dir / "velkor.ini";
    // No system gives out this id (Linux's largest is 4194304, Windows' are far lower).
    const std::string gone = "2147483000";
    const std::string self = std::to_string(::getpid());
    std::vector<std::string> kept = {"other.ini.tmp-" + gone + "-0", "velkor.ini",
                                     "velkor.ini.tmp-" + gone + "-x",
                                     "velkor.ini.tmp-" + self + "-7"};
#ifndef _WIN32
    kept.push_back("velkor.ini.tmp-" + std::to_string(::getppid()) + "-0");
#endif
    for (const std::string& name : kept) std::ofstream(dir / name) << "x";
    for (const std::string& name :
         {"velkor.ini.tmp-" + gone + "-0", "velkor.ini.tmp-" + gone + "-12"}) {
        std::ofstream(dir / name) << "x";
    }
    std::string error;
    ASSERT_TRUE(ReplaceFileContents(path, "new\r\n", error)) << error;
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(dir.Entries(), kept);
}

TEST(SafeFile, ReadTellsMissingFromUnreadable) {
    SettingsScratch dir;
    std::string bytes = "stale";
    std::string error;
    EXPECT_EQ(ReadWholeFile(dir / "none.ini", bytes, error), FileReadStatus::kMissing);
    EXPECT_EQ(bytes, "");
    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_EQ(ReadWholeFile(dir / "folder.ini", bytes, error), FileReadStatus::kNotRegular);
    EXPECT_NE(error.find("folder.ini"), std::string::npos);
    std::string missingDirError;
    EXPECT_FALSE(ReplaceFileContents(dir / "no/such/dir.ini", "x", missingDirError));
    EXPECT_FALSE(missingDirError.empty());
}

}  // namespace
}  // namespace velkor

namespace velkor {
namespace {

// Devices and pipes never end (or never start); a bound and a type check keep a read finite.
TEST(SafeFile, ReadsOnlyRegularFilesUpToTheBound) {
    SettingsScratch dir;
    std::string bytes;
    std::string error;
#ifndef _WIN32
    EXPECT_EQ(ReadWholeFile("/dev/zero", bytes, error), FileReadStatus::kNotRegular);
    const std::string fifo = dir / "pipe.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(fifo, bytes, error),
              FileReadStatus::kNotRegular);  // no writer: no wait
#endif
    const std::string path = dir / "big.ini";
    ASSERT_TRUE(ReplaceFileContents(path, std::string(1001, 'x'), error)) << error;
    EXPECT_EQ(ReadWholeFile(path, bytes, error, 1000), FileReadStatus::kTooLarge);
    EXPECT_EQ(bytes, "");
    EXPECT_NE(error.find("1000"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(path, bytes, error, 1001), FileReadStatus::kRead);
    EXPECT_EQ(bytes.size(), 1001u);
}

}  // namespace
}  // namespace velkor
