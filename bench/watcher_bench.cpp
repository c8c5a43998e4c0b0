// The HEX file watcher's two costs: the CPU time its thread uses while nothing changes (it
// blocks without time-out, so this should be nothing), and how soon after a rewrite of the flash
// file velkorisp-cli --watch starts the run, beyond its stability wait.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/watch_loop.h"
#include "watch/file_watcher.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

class NullSink : public velkor::WatchNotifySink {
  public:
    void PostFileWatchNotify() override {}
    void WatchProblem(const std::string&) override {}
};

void WriteHex(const std::string& path, int variant) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << ":02000000" << (variant % 2 ? "AA55" : "55AA") << "FF\n:00000001FF\n";
}

}  // namespace

int main() {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("velkor-watcher-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "app.hex").string();
    WriteHex(path, 0);

    // ---- idle: one watch, nothing changes for ten seconds ----
    {
        velkor::FileWatcher watcher;
        NullSink sink;
        const int id = watcher.AddWatch(path, &sink);
        std::this_thread::sleep_for(200ms);  // the thread has started and waits
        const double before = ProcessCpuMs();
        std::this_thread::sleep_for(10s);
        const double used = ProcessCpuMs() - before;  // this thread slept: it is the watcher's
        watcher.RemoveWatch(id);
        std::printf("idle watcher: %.3f ms CPU over 10 s (%.5f %% of one core)\n", used,
                    used / 10000.0 * 100.0);
    }

    // ---- rewrite to the start of a run, through velkorisp-cli's loop ----
    {
        constexpr int kRuns = 5;
        velkor::cli::StopSignal stop;
        std::ostringstream quiet;
        velkor::cli::WatchLoop loop(path, stop, quiet);
        std::atomic<Clock::rep> writtenAt{0};
        std::vector<double> delays;
        std::atomic<int> runs{0};
        std::thread writer([&] {
            for (int i = 1; i <= kRuns; ++i) {
                std::this_thread::sleep_for(400ms);
                writtenAt = Clock::now().time_since_epoch().count();
                WriteHex(path, i);
                while (runs.load() < i) std::this_thread::sleep_for(1ms);
            }
        });
        loop.Run(
            kRuns,
            [&](std::string_view) {
                const Clock::duration since =
                    Clock::now().time_since_epoch() - Clock::duration(writtenAt.load());
                delays.push_back(std::chrono::duration<double, std::milli>(since).count());
                ++runs;
                return 0;
            },
            0);
        writer.join();
        std::sort(delays.begin(), delays.end());
        const double wait = static_cast<double>(velkor::cli::kWatchStabilityWait.count());
        std::printf(
            "rewrite to run start: median %.1f ms, worst %.1f ms, of which the stability wait is "
            "%.0f ms: %.1f ms (median) and %.1f ms (worst) beyond it\n",
            delays[delays.size() / 2], delays.back(), wait, delays[delays.size() / 2] - wait,
            delays.back() - wait);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
