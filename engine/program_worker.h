// The Program command's worker: runs the sequence on a thread of its own so the window stays
// responsive, then tells the owner window that the run has ended (WM_ISP_LOG, wParam 1).
#pragma once

#include <atomic>
#include <thread>

#include "engine/isp_programmer.h"

namespace velkor {

class ProgramWorker {
  public:
    ProgramWorker() = default;
    ~ProgramWorker() { Join(); }
    ProgramWorker(const ProgramWorker&) = delete;
    ProgramWorker& operator=(const ProgramWorker&) = delete;

    // Starts a run; false (and nothing started) while the engine serves another one.
    bool Start(IspProgrammer& engine);
    // Waits for the run started last, if any.
    void Join();
    // The result of the run that ended last (kEngineBusy if the engine refused it). It is
    // stored before the end message is posted, so the handler of that message (on any
    // thread) and a caller after Join see the new value; while a run is going it still
    // holds the previous run's result (kSeqDone before the first run).
    int LastResult() const { return result_.load(std::memory_order_acquire); }

  private:
    std::thread thread_;
    // Written on the worker, read on the caller's thread.
    std::atomic<int> result_{kSeqDone};
};

}  // namespace velkor
