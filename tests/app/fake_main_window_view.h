// A main window that records what the presenter shows, answers its questions from the test,
// and a notifier that queues the engine's messages until the test delivers them, as the
// window's thread would.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window_presenter.h"
#include "app/main_window_view.h"
#include "engine/engine_seams.h"

namespace velkor::test {

class FakeMainWindowView : public MainWindowView {
  public:
    struct List {
        std::vector<std::string> items;
        int selection = -1;
    };

    void SetText(int id, const std::string& text) override { texts[id] = text; }
    void SetVisible(int id, bool visible) override { hidden[id] = !visible; }
    void SetEnabled(int id, bool enabled) override { disabled[id] = !enabled; }
    void SetChecked(int id, bool checked) override { checked_[id] = checked; }
    bool IsChecked(int id) const override {
        auto it = checked_.find(id);
        return it != checked_.end() && it->second;
    }
    void SetListItems(int id, const std::vector<std::string>& items, int selection) override {
        lists[id] = {items, selection};
    }
    void SetLinkTarget(int id, const std::string& target) override { links[id] = target; }
    void ShowLog(const std::string& text) override { log = text; }
    void StatusText(const std::string& text) override { statusText = text; }
    void StatusBar(int litColumns) override { statusBar = litColumns; }
    void StatusStartScroll(int) override { scrolling = true; }
    void StatusStopScroll() override { scrolling = false; }
    void SetIcon(int iconId) override { icon = iconId; }
    void SetTitle(const std::string& text) override { title = text; }
    std::optional<std::string> ChooseFile(const FileChoice& choice) override {
        Modal();
        lastChoice = choice;
        return nextFile;
    }
    std::optional<std::string> ChooseSaveFile(const SaveChoice& choice) override {
        Modal();
        lastSave = choice;
        return nextSaveFile;
    }
    bool Confirm(const std::string& text, const std::string&) override {
        Modal();
        questions.push_back(text);
        return confirmAnswer;
    }
    void ShowAbout(const std::string&) override {
        Modal();
        ++abouts;
    }
    void ShowOptionDialog(int menuId) override {
        Modal();
        dialogs.push_back(menuId);
    }
    void EndDialog(bool accepted) override { ends.push_back(accepted); }

    // Test side: a click on a box as the toolkit delivers it.
    void Check(int id, bool on) { checked_[id] = on; }
    bool Hidden(int id) const { return hidden.count(id) != 0 && hidden.at(id); }
    bool Disabled(int id) const { return disabled.count(id) != 0 && disabled.at(id); }

    std::map<int, std::string> texts;
    std::map<int, bool> hidden;
    std::map<int, bool> disabled;
    std::map<int, List> lists;
    std::map<int, std::string> links;
    std::string log;
    std::string statusText;
    int statusBar = -1;
    bool scrolling = false;
    int icon = 0;
    std::string title;
    std::optional<std::string> nextFile;
    std::optional<FileChoice> lastChoice;
    std::optional<std::string> nextSaveFile;
    std::optional<SaveChoice> lastSave;
    bool confirmAnswer = false;
    std::vector<std::string> questions;
    int abouts = 0;
    std::vector<int> dialogs;
    std::vector<bool> ends;
    // Runs inside every modal dialog, as events its nested loop delivers.
    std::function<void()> whileModal;

  private:
    void Modal() {
        if (whileModal) whileModal();
    }
    std::map<int, bool> checked_;
};

// The engine's messages wait here, posted from any thread, until Deliver() hands them to the
// presenter on the test's thread.
class QueuedNotifier : public EngineNotifier {
  public:
    struct Message {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({message, wParam, lParam});
        if (message == WM_ISP_LOG && wParam != 0) ++runsEnded_;
        posted_.notify_all();
    }

    // Delivers every message queued so far.
    void Deliver(MainWindowPresenter& presenter) {
        for (;;) {
            Message m;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty()) return;
                m = queue_.front();
                queue_.pop_front();
            }
            presenter.OnEngineMessage(m.message, m.wParam, m.lParam);
        }
    }

    // Waits until the worker has posted the end of its run, then delivers everything.
    void FinishRun(MainWindowPresenter& presenter) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            posted_.wait(lock, [&] { return runsEnded_ > delivered_; });
            ++delivered_;
        }
        Deliver(presenter);
    }

    int RunsEnded() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return runsEnded_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Message> queue_;
    int runsEnded_ = 0;
    int delivered_ = 0;
};

}  // namespace velkor::test
