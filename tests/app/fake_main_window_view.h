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
    void ShowLog(const std::string& text) override {
        log = text;
        ++logReplaced;
    }
    void AppendLog(const std::string& text) override { log += text; }
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
    void ShowNotice(const std::string& text, const std::string&) override {
        Modal();
        notices.push_back(text);
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
    int logReplaced = 0;  // times the whole log was shown again
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
    std::vector<std::string> notices;
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

// The station's reports wait here, made on any thread, until Deliver() hands them to the
// presenter on the test's thread, as a window's event queue does.
class QueuedNotifier : public RunObserver {
  public:
    enum class Kind { kLog, kProgress, kEnded };
    struct Report {
        Kind kind;
        int percent;
    };

    void OnLog() override { Post({Kind::kLog, 0}); }
    void OnProgress(int percent) override { Post({Kind::kProgress, percent}); }
    void OnRunEnded() override { Post({Kind::kEnded, 0}); }

    // Delivers every report queued so far.
    void Deliver(MainWindowPresenter& presenter) {
        for (;;) {
            Report r;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty()) return;
                r = queue_.front();
                queue_.pop_front();
            }
            switch (r.kind) {
                case Kind::kLog:
                    presenter.OnLog();
                    break;
                case Kind::kProgress:
                    presenter.OnProgress(r.percent);
                    break;
                case Kind::kEnded:
                    presenter.OnRunEnded();
                    break;
            }
        }
    }

    // Waits until the worker has reported the end of its run, then delivers everything.
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
    void Post(Report r) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(r);
        if (r.kind == Kind::kEnded) ++runsEnded_;
        posted_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Report> queue_;
    int runsEnded_ = 0;
    int delivered_ = 0;
};

}  // namespace velkor::test
