// A recording stand-in for a front end's option dialog: it keeps each control's state the way
// a window would (radio groups from the dialog's template, sliders clamped to their range) and
// records message boxes and how the dialog ended.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/option_dialog_presenter.h"

namespace velkor::test {

class FakeDialogView : public OptionDialogView {
  public:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };
    struct Slider {
        int minimum = 0;
        int maximum = 100;  // a fresh trackbar's range
        int tickFrequency = 1;
        int position = 0;
    };

    explicit FakeDialogView(const DialogTemplate& dialog) {
        for (const ControlTemplate& c : dialog.controls) {
            if (c.id == kIdStatic) continue;
            if (c.kind == ControlKind::RadioButton) group[c.id] = c.radioGroup;
            if (c.kind == ControlKind::Slider) sliders[c.id] = {};
            visible[c.id] = !c.hidden;
            text[c.id] = c.text;
        }
    }

    void CheckRadio(int id) override {
        for (auto& [other, g] : group) {
            if (g == group.at(id)) checked[other] = other == id;
        }
    }
    bool IsChecked(int id) const override {
        auto it = checked.find(id);
        return it != checked.end() && it->second;
    }
    void SetText(int id, const std::string& t) override { text.at(id) = t; }
    std::string Text(int id) const override { return text.at(id); }
    void SetVisible(int id, bool v) override { visible.at(id) = v; }
    void SetSliderRange(int id, int minimum, int maximum, int tickFrequency) override {
        Slider& s = sliders.at(id);
        s.minimum = minimum;
        s.maximum = maximum;
        s.tickFrequency = tickFrequency;
        s.position = std::clamp(s.position, minimum, maximum);
    }
    void SetSliderPosition(int id, int position) override {
        Slider& s = sliders.at(id);
        s.position = std::clamp(position, s.minimum, s.maximum);
    }
    int SliderPosition(int id) const override { return sliders.at(id).position; }
    void ShowMessage(const std::string& t, const std::string& caption, MessageIcon icon) override {
        messages.push_back({t, caption, icon});
    }
    void EndDialog(bool accepted) override { ended = accepted; }

    // A click as the user makes it: a radio button checks itself before its command.
    void Click(OptionDialogPresenter& presenter, int id) {
        if (group.count(id) != 0) CheckRadio(id);
        presenter.OnCommand(id);
    }

    std::map<int, int> group;
    std::map<int, bool> checked;
    std::map<int, std::string> text;
    std::map<int, bool> visible;
    std::map<int, Slider> sliders;
    std::vector<Message> messages;
    std::optional<bool> ended;
};

}  // namespace velkor::test
