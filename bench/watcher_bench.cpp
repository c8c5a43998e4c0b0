// The HEX file watcher's two costs: the CPU time its thread uses while nothing changes (it
// blocks without time-out, so this should be nothing), and how soon velkorisp-cli --watch starts
// the run after a build tool closes the rewritten flash file (and, for a writer that keeps the
// file open, after its last write: the stability wait).
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
#include <utility>
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

    // ---- close to the start of a run, through velkorisp-cli's loop ----
    // A complete file whose writer has closed it is taken at once; one whose writer still
    // holds it open waits out the stability wait after its last write.
    auto measure = [&](int runs, bool keepOpen) {
        velkor::cli::StopSignal stop;
        std::ostringstream quiet;
        velkor::cli::WatchLoop loop(path, stop, quiet);
        std::atomic<Clock::rep> doneAt{0};
        std::atomic<int> started{0};
        std::vector<double> delays;
        std::thread writer([&] {
            for (int i = 1; i <= runs; ++i) {
                std::this_thread::sleep_for(300ms);
                if (keepOpen) {
                    std::ofstream file(path, std::ios::binary | std::ios::trunc);
                    file << ":02000000" << (i % 2 ? "AA55" : "55AA") << "FF\n:00000001FF\n"
                         << std::flush;
                    doneAt = Clock::now().time_since_epoch().count();  // the last write
                    while (started.load() < i) std::this_thread::sleep_for(1ms);
                } else {
                    WriteHex(path, i);
                    doneAt = Clock::now().time_since_epoch().count();  // closed
                    while (started.load() < i) std::this_thread::sleep_for(1ms);
                }
            }
        });
        loop.Run(
            static_cast<unsigned>(runs),
            [&](std::string_view) {
                const Clock::duration since =
                    Clock::now().time_since_epoch() - Clock::duration(doneAt.load());
                delays.push_back(std::chrono::duration<double, std::milli>(since).count());
                ++started;
                return 0;
            },
            0);
        writer.join();
        std::sort(delays.begin(), delays.end());
        return std::pair{delays[delays.size() / 2], delays.back()};
    };
    {
        const auto [median, worst] = measure(9, false);
        std::printf(
            "close to run start, complete file: median %.1f ms, worst %.1f ms (target: median "
            "<= 20 ms)\n",
            median, worst);
    }
    {
        const auto [median, worst] = measure(3, true);
        std::printf(
            "last write to run start, file still open: median %.1f ms, worst %.1f ms (the "
            "stability wait is %lld ms)\n",
            median, worst, static_cast<long long>(velkor::cli::kWatchStabilityWait.count()));
    }
    std::filesystem::remove_all(dir);
    return 0;
}
