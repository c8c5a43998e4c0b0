#include "cli/log_printer.h"

namespace velkor::cli {

void LogPrinter::PostMessage(unsigned message, std::uintptr_t /*wParam*/, std::intptr_t lParam) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (message == WM_ISP_LOG) {
        PrintNewText();
    } else if (message == WM_ISP_PROGRESS && bar_ != nullptr) {
        const int percent = static_cast<int>(lParam);
        const int filled = percent * 40 / 100;
        *bar_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "%"
              << std::flush;
        barShown_ = true;
    }
}

void LogPrinter::Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    PrintNewText();
    ClearBar();
}

void LogPrinter::ClearBar() {
    if (barShown_ && bar_ != nullptr) {
        *bar_ << "\r" << std::string(48, ' ') << "\r" << std::flush;
        barShown_ = false;
    }
}

void LogPrinter::PrintNewText() {
    const std::string text = engine_.LogText();
    std::string fresh;
    if (text.compare(0, printed_.size(), printed_) == 0) {
        fresh = text.substr(printed_.size());
    } else {
        fresh = text;  // the log was emptied for a new run
    }
    printed_ = text;
    if (fresh.empty()) return;
    ClearBar();
    // The log keeps Windows line ends; a terminal wants only the line feed.
    std::string clean;
    clean.reserve(fresh.size());
    for (char c : fresh) {
        if (c != '\r') clean += c;
    }
    out_ << clean << std::flush;
}

}  // namespace velkor::cli
