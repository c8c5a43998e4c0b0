// Prints the engine's log line by line as it is appended, and a progress bar on a terminal.
#pragma once

#include <mutex>
#include <ostream>
#include <string>

#include "engine/engine_seams.h"
#include "engine/isp_programmer.h"

namespace velkor::cli {

class LogPrinter : public EngineNotifier {
  public:
    LogPrinter(const IspProgrammer& engine, std::ostream& out, std::ostream* bar)
        : engine_(engine), out_(out), bar_(bar) {}
    void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    // Prints whatever was appended without a notification (a quiet append is followed by a
    // posted one anyway, but the end of a command flushes it too).
    void Flush();

  private:
    void PrintNewText();
    void ClearBar();

    const IspProgrammer& engine_;
    std::ostream& out_;
    std::ostream* bar_;  // null: no bar
    std::mutex mutex_;
    std::string printed_;
    bool barShown_ = false;
};

}  // namespace velkor::cli
