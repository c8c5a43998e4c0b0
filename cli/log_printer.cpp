#include "cli/log_printer.h"

namespace velkor::cli {

void LogPrinter::OnLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    PrintNewText();
}

void LogPrinter::OnProgress(int percent) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (bar_ == nullptr) return;
    const int filled = percent * 40 / 100;
    *bar_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
          << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "%"
          << std::flush;
    barShown_ = true;
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
    // Only what was appended since the last print: a long run costs in proportion to its lines.
    // An emptied log (a new run) gives its whole new text.
    const LogDelta fresh = station_.LogSince(printed_);
    if (fresh.text.empty()) return;
    ClearBar();
    // The log keeps Windows line ends; a terminal wants only the line feed.
    std::string clean;
    clean.reserve(fresh.text.size());
    for (char c : fresh.text) {
        if (c != '\r') clean += c;
    }
    out_ << clean << std::flush;
}

}  // namespace velkor::cli
