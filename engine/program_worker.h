// The Program command's worker: runs the sequence on a thread of its own so the window stays
// responsive, then tells the owner window that the run has ended (WM_ISP_LOG, wParam 1).
#pragma once

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
    // The result of the run that ended last (kEngineBusy if it was refused).
    int LastResult() const { return result_; }

  private:
    std::thread thread_;
    int result_ = 0;
};

}  // namespace velkor
