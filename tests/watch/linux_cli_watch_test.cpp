// velkorisp-cli program --watch as a user runs it: a separate process on the simulated bench,
// its flash file rewritten beside it, its output read as it comes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "tests/watch/watch_files.h"

namespace velkor::test {
namespace {

using namespace std::chrono_literals;

// The program with stdout and stderr on one pipe.
class CliProcess {
  public:
    explicit CliProcess(std::vector<std::string> args) {
        int fds[2];
        EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            std::vector<char*> argv{const_cast<char*>(VELKOR_CLI_PATH)};
            for (std::string& a : args) argv.push_back(a.data());
            char lang[] = "--lang", zh[] = "zh";  // the log lines read below are Chinese
            argv.push_back(lang);
            argv.push_back(zh);
            argv.push_back(nullptr);
            execv(VELKOR_CLI_PATH, argv.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~CliProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }
    // Reads until `text` has appeared `count` times in all output so far (at most two minutes:
    // a sanitizer build runs the simulated chip many times slower).
    bool WaitFor(const std::string& text, int count = 1) {
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (Occurrences(text) < count) {
            pollfd fd{out_, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char buffer[4096];
            const ssize_t got = read(out_, buffer, sizeof buffer);
            if (got <= 0) return Occurrences(text) >= count;
            output_.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }
    int Occurrences(const std::string& text) const {
        int n = 0;
        for (std::size_t at = output_.find(text); at != std::string::npos;
             at = output_.find(text, at + 1))
            ++n;
        return n;
    }
    void Signal(int signal) { kill(pid_, signal); }
    // Waits for the end (at most two minutes); the exit status, or -1.
    int Wait() {
        WaitFor("\x01never\x01");  // reads the rest of the output until the pipe closes
        int status = 0;
        if (waitpid(pid_, &status, 0) != pid_) return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Output() const { return output_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    std::string output_;
};

std::vector<std::uint8_t> ReadBinary(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

constexpr const char* kOk = ": ok\n";
constexpr const char* kRefused = "not programmed, waiting for the next change";

TEST(CliWatch, FollowsThreeRewritesAndNeverProgramsADamagedFile) {
    ScratchDir dir;
    const std::string flash = dir.File("app.hex");
    WriteInPlace(flash, IntelHex(Firmware(1024, 10)));
    CliProcess cli({"program", "--backend", "sim", "-p", "mega8", "-f", flash, "--watch-runs", "3",
                    "--no-progress", "--sim-dump", dir.File("dump")});
    ASSERT_TRUE(cli.WaitFor("watching")) << cli.Output();
    ASSERT_EQ(cli.Occurrences(kOk), 1);

    ReplaceFileAtOnce(flash, IntelHex(Firmware(1024, 11)), 1);
    ASSERT_TRUE(cli.WaitFor(kOk, 2)) << cli.Output();

    // A build stopped inside a line: reported, not programmed; then its finished file.
    const std::string second = IntelHex(Firmware(1024, 12));
    ReplaceFileAtOnce(flash, second.substr(0, second.size() / 2 + 7), 2);
    ASSERT_TRUE(cli.WaitFor(kRefused)) << cli.Output();
    ReplaceFileAtOnce(flash, second, 3);
    ASSERT_TRUE(cli.WaitFor(kOk, 3)) << cli.Output();

    // A tool that writes the file in two steps 50 ms apart: one run, on the whole file.
    const std::vector<std::uint8_t> last = Firmware(1024, 13);
    const std::string third = IntelHex(last);
    std::ofstream(flash, std::ios::binary | std::ios::trunc) << third.substr(0, third.size() / 3);
    std::this_thread::sleep_for(50ms);
    std::ofstream(flash, std::ios::binary | std::ios::app) << third.substr(third.size() / 3);

    EXPECT_EQ(cli.Wait(), 0) << cli.Output();
    EXPECT_EQ(cli.Occurrences(kOk), 4) << cli.Output();
    EXPECT_EQ(cli.Occurrences(kRefused), 1) << cli.Output();
    const std::vector<std::uint8_t> chip = ReadBinary(dir.File("dump/flash.bin"));
    ASSERT_GE(chip.size(), last.size());
    EXPECT_TRUE(std::equal(last.begin(), last.end(), chip.begin()));
}

TEST(CliWatch, SigtermEndsTheWatchAfterTheRunThatIsGoing) {
    ScratchDir dir;
    const std::string flash = dir.File("app.hex");
    WriteInPlace(flash, IntelHex(Firmware(1024, 20)));
    CliProcess cli({"program", "--backend", "sim", "-p", "mega8", "-f", flash, "--watch",
                    "--no-progress", "--sim-dump", dir.File("dump")});
    ASSERT_TRUE(cli.WaitFor("watching")) << cli.Output();
    const std::vector<std::uint8_t> next = Firmware(1024, 21);
    ReplaceFileAtOnce(flash, IntelHex(next), 1);
    ASSERT_TRUE(cli.WaitFor("写入中...", 2)) << cli.Output();
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0) << cli.Output();
    // The run went on to its end and released the cable ("退出"); the dump shows its image.
    EXPECT_EQ(cli.Occurrences(kOk), 2) << cli.Output();
    EXPECT_EQ(cli.Occurrences("退出"), 2) << cli.Output();
    const std::vector<std::uint8_t> chip = ReadBinary(dir.File("dump/flash.bin"));
    ASSERT_GE(chip.size(), next.size());
    EXPECT_TRUE(std::equal(next.begin(), next.end(), chip.begin()));

    // Without a run going, SIGINT ends it at once.
    CliProcess idle(
        {"program", "--backend", "sim", "-p", "mega8", "-f", flash, "--watch", "--no-progress"});
    ASSERT_TRUE(idle.WaitFor("watching")) << idle.Output();
    idle.Signal(SIGINT);
    EXPECT_EQ(idle.Wait(), 0) << idle.Output();
}

// `make clean` and a new build: the folder goes, the watch says so in the log and waits above
// it, and the file the build writes into the new folder is programmed once.
TEST(CliWatch, AFileInTheFolderAMakeCleanRemovedAndABuildMadeAgainIsProgrammedOnce) {
    ScratchDir dir;
    const std::string build = dir.File("build/");
    std::filesystem::create_directory(build);
    const std::string flash = build + "app.hex";
    WriteInPlace(flash, IntelHex(Firmware(1024, 30)));
    CliProcess cli({"program", "--backend", "sim", "-p", "mega8", "-f", flash, "--watch",
                    "--no-progress", "--sim-dump", dir.File("dump")});
    ASSERT_TRUE(cli.WaitFor("watching")) << cli.Output();
    std::filesystem::remove_all(build);
    ASSERT_TRUE(cli.WaitFor("hex文件所在的文件夹 " + build + " 已被删除; 正在监视 " + dir.Path()))
        << cli.Output();
    std::filesystem::create_directory(build);
    const std::vector<std::uint8_t> next = Firmware(1024, 31);
    std::ofstream(flash, std::ios::binary) << IntelHex(next);  // as cp writes it
    ASSERT_TRUE(cli.WaitFor(kOk, 2)) << cli.Output();
    std::this_thread::sleep_for(600ms);  // past the stability wait: nothing more to come
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0) << cli.Output();
    EXPECT_EQ(cli.Occurrences(kOk), 2) << cli.Output();
    const std::vector<std::uint8_t> chip = ReadBinary(dir.File("dump/flash.bin"));
    ASSERT_GE(chip.size(), next.size());
    EXPECT_TRUE(std::equal(next.begin(), next.end(), chip.begin()));
}

// A complete file its writer has closed is taken at once: two builds 150 ms apart, within one
// stability wait, are two runs. A file still open for writing waits: half of it is never
// programmed, however long its writer holds it.
TEST(CliWatch, AClosedCompleteFileRunsAtOnceAndAHalfWrittenOneNever) {
    ScratchDir dir;
    const std::string flash = dir.File("app.hex");
    WriteInPlace(flash, IntelHex(Firmware(1024, 40)));
    CliProcess cli({"program", "--backend", "sim", "-p", "mega8", "-f", flash, "--watch",
                    "--no-progress", "--sim-dump", dir.File("dump")});
    ASSERT_TRUE(cli.WaitFor("watching")) << cli.Output();
    std::ofstream(flash, std::ios::binary | std::ios::trunc) << IntelHex(Firmware(1024, 41));
    std::this_thread::sleep_for(150ms);
    std::ofstream(flash, std::ios::binary | std::ios::trunc) << IntelHex(Firmware(1024, 42));
    ASSERT_TRUE(cli.WaitFor(kOk, 3)) << cli.Output();

    const std::vector<std::uint8_t> last = Firmware(1024, 43);
    const std::string text = IntelHex(last);
    {
        std::ofstream writer(flash, std::ios::binary | std::ios::trunc);
        writer << text.substr(0, text.size() / 2) << std::flush;
        ASSERT_TRUE(cli.WaitFor(kRefused)) << cli.Output();
        EXPECT_EQ(cli.Occurrences(kOk), 3) << cli.Output();
        writer << text.substr(text.size() / 2);
    }
    ASSERT_TRUE(cli.WaitFor(kOk, 4)) << cli.Output();
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0) << cli.Output();
    const std::vector<std::uint8_t> chip = ReadBinary(dir.File("dump/flash.bin"));
    ASSERT_GE(chip.size(), last.size());
    EXPECT_TRUE(std::equal(last.begin(), last.end(), chip.begin()));
}

// The simulated chip runs this many times slower under a sanitizer; the signal test slows its
// clock by as much less, so that one page takes about the same time everywhere.
#if defined(__SANITIZE_THREAD__)
constexpr int kSlowdown = 100;
#elif defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 10;
#else
constexpr int kSlowdown = 1;
#endif

// Ctrl+C or SIGTERM during a slow one-shot run, or a second signal during a watch's run: the
// run stops at its page, releases the cable ("退出" ends the log), the chip is dumped, and the
// exit status is the shell's for the first signal.
TEST(CliSignal, AStoppedRunReleasesTheCableWritesItsLastLinesAndEndsAsTheSignalSays) {
    struct Case {
        bool watch;
        std::vector<int> signals;
        int status;
        const char* name;
    };
    for (const Case& c :
         {Case{false, {SIGINT}, 130, "SIGINT"}, Case{false, {SIGTERM}, 143, "SIGTERM"},
          Case{true, {SIGTERM, SIGINT}, 143, "SIGTERM"}}) {
        SCOPED_TRACE(std::string(c.name) + (c.watch ? " with --watch" : ""));
        ScratchDir dir;
        const std::string flash = dir.File("app.hex");
        WriteInPlace(flash, IntelHex(Firmware(4096, 50)));
        std::vector<std::string> args{"program",
                                      "--backend",
                                      "sim",
                                      "-p",
                                      "mega8",
                                      "-f",
                                      flash,
                                      "--speed",
                                      std::to_string(20000 / kSlowdown),
                                      "--no-progress",
                                      "--sim-dump",
                                      dir.File("dump")};
        if (c.watch) args.push_back("--watch");
        CliProcess cli(args);
        ASSERT_TRUE(cli.WaitFor("写入中...")) << cli.Output();
        for (int signal : c.signals) {
            cli.Signal(signal);
            std::this_thread::sleep_for(200ms);
        }
        const auto signalled = std::chrono::steady_clock::now();
        EXPECT_EQ(cli.Wait(), c.status) << cli.Output();
        // At this speed the whole write takes over a minute; one page, a fraction of a second.
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, 10s);
        std::string lastLogLine;
        std::istringstream lines(cli.Output());
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("velkorisp-cli:", 0) != 0) lastLogLine = line;
        }
        EXPECT_EQ(lastLogLine, "退出") << cli.Output();
        EXPECT_EQ(cli.Occurrences("已按要求中止, 操作未完成."), 1) << cli.Output();
        EXPECT_EQ(cli.Occurrences(std::string("velkorisp-cli: stopped by ") + c.name), 1)
            << cli.Output();
        EXPECT_EQ(ReadBinary(dir.File("dump/flash.bin")).size(), 8192u);
    }
}

}  // namespace
}  // namespace velkor::test
