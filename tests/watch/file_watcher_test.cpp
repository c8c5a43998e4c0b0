#include "watch/file_watcher.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/watch/watch_files.h"

namespace velkor::test {
namespace {

using namespace std::chrono_literals;

// Each case ends with a marker change of the watched file's time: the watcher handles its
// directory's changes in order, so a notification the case's own change should not have caused
// would arrive before the marker's and show in the final count.
class FileWatcherFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("app.hex");
        WriteInPlace(path_, ":00000001FF\n");
        SetWriteTime(path_, 100);
        id_ = watcher_.AddWatch(path_, &sink_);
        ASSERT_EQ(id_, 1);
    }
    // Waits until `expected` notifications came, then checks the marker adds exactly one.
    void ExpectNotifications(int expected) {
        EXPECT_EQ(sink_.WaitFor(expected), expected);
        // Lets the case's own events be handled first, so that none of them reads the marker's
        // time (the marker must be seen through its own change alone).
        std::this_thread::sleep_for(100ms);
        SetWriteTime(path_, 900 + marker_++);
        EXPECT_EQ(sink_.WaitFor(expected + 1), expected + 1);
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(sink_.Count(), expected + 1);
    }

    ScratchDir dir_;
    std::string path_;
    FileWatcher watcher_;
    CountingSink sink_;
    int id_ = 0;
    int marker_ = 0;
};

TEST_F(FileWatcherFiles, RewriteAndTouchGiveOneEachAndTheSameTimeAgainGivesNone) {
    WriteInPlace(path_, ":00000001FF\r\n");
    EXPECT_EQ(sink_.WaitFor(1), 1);
    std::this_thread::sleep_for(100ms);
#ifdef _WIN32
    SetWriteTime(path_, 150);
#else
    // Both times set through the path, as cp -p and archivers do: inotify reports this as an
    // attribute change, unlike a write of the file or a change of its last-write time alone.
    const timespec times[2] = {{5, 0}, {150, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path_.c_str(), times, 0), 0);
#endif
    EXPECT_EQ(sink_.WaitFor(2), 2);
    SetWriteTime(path_, 200);  // a save with a new time, then one with the same time
    EXPECT_EQ(sink_.WaitFor(3), 3);
    SetWriteTime(path_, 200);
    ExpectNotifications(3);
}

TEST_F(FileWatcherFiles, AnotherFileOfTheDirectoryGivesNone) {
    WriteInPlace(dir_.File("other.hex"), "x");
    WriteInPlace(dir_.File("app.hex.bak"), "y");
    std::filesystem::create_directory(dir_.File("sub"));
    ExpectNotifications(0);
}

TEST_F(FileWatcherFiles, DeletedFileGivesNoneUntilItComesBack) {
    std::filesystem::remove(path_);
    std::this_thread::sleep_for(100ms);  // lets the deletion be handled on its own
    EXPECT_EQ(sink_.Count(), 0);
    ReplaceFileAtOnce(path_, ":00000001FF\n", 300);  // comes back in one step, with a new time
    ExpectNotifications(1);
}

TEST_F(FileWatcherFiles, RenameOverTheFileGivesOne) {
    // How editors and linkers save: write a new file beside it, then rename it over.
    ReplaceFileAtOnce(path_, ":0400000001020304F2\n:00000001FF\n", 400);
    ExpectNotifications(1);
}

// A coarse clock (a kernel tick, FAT's two seconds) gives two saves close together the same
// time; the second file renamed into place is still another file, and is reported.
TEST_F(FileWatcherFiles, AFileRenamedOverItWithTheSameTimeGivesOne) {
    ReplaceFileAtOnce(path_, ":0400000001020304F2\n:00000001FF\n", 400);
    EXPECT_EQ(sink_.WaitFor(1), 1);
    std::this_thread::sleep_for(100ms);
    ReplaceFileAtOnce(path_, ":0400000005060708E2\n:00000001FF\n", 400);
    ExpectNotifications(2);
}

TEST_F(FileWatcherFiles, DirectoryEntryReportsEveryChangeBesideTheFileWatch) {
    CountingSink directorySink;
    EXPECT_EQ(watcher_.AddWatch(dir_.Path(), &directorySink), 2);
    WriteInPlace(dir_.File("other.hex"), "x");
    EXPECT_GE(directorySink.WaitFor(1), 1);
    // Removing the directory watch keeps the file's watch and its directory's notification.
    watcher_.RemoveWatch(2);
    EXPECT_TRUE(watcher_.ThreadRunning());
    ExpectNotifications(0);
}

TEST(FileWatcher, IdsCountUpAndTheLastRemovalEndsTheThread) {
    ScratchDir a, b;
    WriteInPlace(a.File("one.hex"), "1");
    WriteInPlace(b.File("two.hex"), "2");
    FileWatcher watcher;
    CountingSink sink;
    EXPECT_FALSE(watcher.ThreadRunning());
    EXPECT_EQ(watcher.AddWatch(a.File("missing.hex"), &sink), 0);  // nothing to read: no watch
    EXPECT_EQ(watcher.AddWatch("", &sink), 0);
    EXPECT_FALSE(watcher.ThreadRunning());

    EXPECT_EQ(watcher.AddWatch(a.File("one.hex"), &sink), 1);
    EXPECT_EQ(watcher.AddWatch(b.File("two.hex"), &sink), 2);
    EXPECT_EQ(watcher.AddWatch(a.File("one.hex"), &sink), 3);
    watcher.RemoveWatch(0);
    watcher.RemoveWatch(99);
    watcher.RemoveWatch(1);
    watcher.RemoveWatch(2);
    EXPECT_TRUE(watcher.ThreadRunning());
    // Watch 3 still has its directory's notification although watch 1 shared and left it.
    SetWriteTime(a.File("one.hex"), 10);
    EXPECT_EQ(sink.WaitFor(1), 1);
    watcher.RemoveWatch(3);
    EXPECT_FALSE(watcher.ThreadRunning());

    // One directory under two names shares the platform's notification; leaving one name
    // keeps the other watched.
    EXPECT_EQ(watcher.AddWatch(a.File("one.hex"), &sink), 4);
    EXPECT_EQ(watcher.AddWatch(a.Path() + "./one.hex", &sink), 5);
    watcher.RemoveWatch(4);
    SetWriteTime(a.File("one.hex"), 11);
    EXPECT_EQ(sink.WaitFor(2), 2);
    watcher.RemoveWatch(5);

    // A later watch starts a new thread, and ids are not reused.
    EXPECT_EQ(watcher.AddWatch(b.File("two.hex"), &sink), 6);
    EXPECT_TRUE(watcher.ThreadRunning());
    SetWriteTime(b.File("two.hex"), 20);
    EXPECT_EQ(sink.WaitFor(3), 3);
}

TEST(FileWatcher, ShutdownWithAndWithoutAWatchEndsTheThread) {
    const auto started = std::chrono::steady_clock::now();
    { FileWatcher idle; }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);

    ScratchDir dir;
    WriteInPlace(dir.File("app.hex"), "1");
    CountingSink sink;
    auto watcher = std::make_unique<FileWatcher>();
    ASSERT_EQ(watcher->AddWatch(dir.File("app.hex"), &sink), 1);
    watcher.reset();  // would hang or leave the thread running on a lost wake-up
    SetWriteTime(dir.File("app.hex"), 5);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(sink.Count(), 0);
}

TEST(FileWatcher, AWatchAddedWhileTheLastRemovalStopsTheThreadKeepsAThread) {
    ScratchDir dir;
    WriteInPlace(dir.File("app.hex"), "1");
    FileWatcher watcher;
    for (int round = 0; round < 200; ++round) {
        const int old = watcher.AddWatch(dir.File("app.hex"), nullptr);
        int added = 0;
        std::thread remover([&] { watcher.RemoveWatch(old); });
        std::thread adder([&] { added = watcher.AddWatch(dir.File("app.hex"), nullptr); });
        remover.join();
        adder.join();
        ASSERT_NE(added, 0);
        ASSERT_TRUE(watcher.ThreadRunning()) << "round " << round;
        watcher.RemoveWatch(added);
    }
}

#ifndef _WIN32
// A directory whose notification cannot be created (here: one the notifier refuses), and one
// that goes away while watched: each is reported, and the other directories stay watched.
class RefusingNotifier : public ChangeNotifier {
  public:
    RefusingNotifier(std::string refused)
        : refused_(std::move(refused)), real_(MakePlatformChangeNotifier()) {}
    int Watch(const std::string& directory, std::string* problem) override {
        if (directory == refused_) {
            *problem = "refused";
            return -1;
        }
        return real_->Watch(directory, problem);
    }
    void Unwatch(int id) override { real_->Unwatch(id); }
    void Wake() override { real_->Wake(); }
    WaitResult Wait() override { return real_->Wait(); }
    bool ReadFileStamp(const std::string& path, FileStamp* stamp) override {
        return real_->ReadFileStamp(path, stamp);
    }

  private:
    std::string refused_;
    std::unique_ptr<ChangeNotifier> real_;
};

TEST(FileWatcher, UnwatchableAndVanishedDirectoriesLeaveTheOthersWatched) {
    ScratchDir refused, vanishing, kept;
    for (const ScratchDir* d : {&refused, &vanishing, &kept}) WriteInPlace(d->File("app.hex"), "1");
    FileWatcher watcher(std::make_unique<RefusingNotifier>(refused.Path()));
    CountingSink refusedSink, vanishingSink, keptSink;
    EXPECT_EQ(watcher.AddWatch(refused.File("app.hex"), &refusedSink), 0);
    ASSERT_EQ(refusedSink.Problems().size(), 1u);
    EXPECT_NE(refusedSink.Problems()[0].find("refused"), std::string::npos);

    const int vanishingId = watcher.AddWatch(vanishing.File("app.hex"), &vanishingSink);
    EXPECT_EQ(vanishingId, 1);
    EXPECT_EQ(watcher.AddWatch(kept.File("app.hex"), &keptSink), 2);
    std::filesystem::remove_all(vanishing.Path());
    EXPECT_TRUE(vanishingSink.WaitForProblem());

    SetWriteTime(kept.File("app.hex"), 30);
    EXPECT_EQ(keptSink.WaitFor(1), 1);
    watcher.RemoveWatch(vanishingId);
    SetWriteTime(kept.File("app.hex"), 31);
    EXPECT_EQ(keptSink.WaitFor(2), 2);
}

// `make clean` and a new build: the directory goes (removed, or renamed away, with its parent
// or alone) and comes back, a part at a time; the file written into it is reported once.
TEST(FileWatcher, AVanishedDirectoryIsWaitedForAndWatchedAgainWhenItIsBack) {
    struct Case {
        const char* folder;
        bool renamedAway;
    };
    for (const Case& c : {Case{"build/", false}, Case{"build/", true}, Case{"build/out/", false}}) {
        SCOPED_TRACE(std::string(c.folder) + (c.renamedAway ? " renamed away" : " removed"));
        ScratchDir dir;
        const std::string folder = dir.Path() + c.folder;
        std::filesystem::create_directories(folder);
        WriteInPlace(folder + "app.hex", "1");
        FileWatcher watcher;
        CountingSink sink;
        ASSERT_EQ(watcher.AddWatch(folder + "app.hex", &sink), 1);
        if (c.renamedAway) {
            std::filesystem::rename(dir.File("build"), dir.File("old"));
        } else {
            std::filesystem::remove_all(dir.File("build"));
        }
        ASSERT_TRUE(sink.WaitForProblem());
        // Removed from the inside out, the nested folder sees its parent still there at first.
        EXPECT_EQ(sink.Problems()[0].rfind(
                      "directory '" + folder + "' was removed; watching '" + dir.Path(), 0),
                  0u)
            << sink.Problems()[0];
        std::filesystem::create_directory(dir.File("build"));
        std::this_thread::sleep_for(100ms);  // an outer part first, watched on its own
        std::filesystem::create_directories(folder);
        std::this_thread::sleep_for(100ms);
        ReplaceFileAtOnce(folder + "app.hex", "2", 30);
        EXPECT_EQ(sink.WaitFor(1), 1);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(sink.Count(), 1);
        SetWriteTime(folder + "app.hex", 40);  // and watched as before
        EXPECT_EQ(sink.WaitFor(2), 2);
        EXPECT_EQ(sink.Problems().size(), 1u);
    }
}

// A writer's close, or a rename into place, says that the file is finished; a write while it
// is still open, a change of its times and another file's close do not.
TEST_F(FileWatcherFiles, TheWritersCloseAndARenameIntoPlaceAreReportedAsDone) {
    {
        std::ofstream writer(path_, std::ios::binary | std::ios::app);
        writer << ":00000001FF\n" << std::flush;
        EXPECT_EQ(sink_.WaitFor(1), 1);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(sink_.WaitForClosed(0), 0);
    }
    EXPECT_EQ(sink_.WaitForClosed(1), 1);
    ReplaceFileAtOnce(path_, ":0400000001020304F2\n:00000001FF\n", 500);
    EXPECT_EQ(sink_.WaitForClosed(2), 2);
    WriteInPlace(dir_.File("other.hex"), "x");
    ExpectNotifications(2);  // its marker sets the file's times
    EXPECT_EQ(sink_.WaitForClosed(0), 2);
}
#endif

}  // namespace
}  // namespace velkor::test
