#include "engine/program_worker.h"

namespace velkor {

bool ProgramWorker::Start(IspProgrammer& engine) {
    if (engine.Running()) return false;
    Join();
    thread_ = std::thread([this, &engine] {
        result_.store(engine.ProgramCommand(), std::memory_order_release);
        if (engine.ownerWindow != nullptr) engine.ownerWindow->PostMessage(WM_ISP_LOG, 1, 0);
    });
    return true;
}

void ProgramWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace velkor
