// The option dialogs as data and as a small view interface. Each dialog is a template (caption,
// size in dialog units, controls with their ids, kinds, texts and places) that a front end
// builds its window from, and a presenter that fills the controls from the engine, reacts to
// clicks and writes the engine back on OK. The front end only builds, shows and forwards: a
// click on a button or radio button is OnCommand(id), the close box and Escape are OnCancel().
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/dialog_units.h"

namespace velkor {

// Control ids of the option dialogs. The Win32 ones keep their system values.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdStatic = -1;  // group boxes and labels, never addressed
constexpr int kIdAccept = 1001;
constexpr int kIdDiscard = 1002;

enum class ControlKind {
    GroupBox,
    Label,
    RadioButton,   // radio buttons of one radioGroup exclude each other
    ReadOnlyEdit,  // shows a value, cannot be edited
    NumericEdit,   // the numeric edit field with its "Con&vert" context menu
    PushButton,
    DefaultButton,  // the push button Enter presses
    Slider,         // horizontal, with ticks below
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;  // UTF-8
    DialogRect rect;   // dialog units
    int radioGroup = 0;
    bool hidden = false;
};

struct DialogTemplate {
    int resourceId;
    const char* caption;  // UTF-8
    int width;            // dialog units
    int height;
    const char* fontFace;
    int fontPoints;
    std::span<const ControlTemplate> controls;
};

enum class MessageIcon { Stop };

class OptionDialogView {
  public:
    virtual ~OptionDialogView() = default;

    // Checks this radio button and clears the others of its group.
    virtual void CheckRadio(int id) = 0;
    virtual bool IsChecked(int id) const = 0;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual std::string Text(int id) const = 0;
    virtual void SetVisible(int id, bool visible) = 0;
    virtual void SetSliderRange(int id, int minimum, int maximum, int tickFrequency) = 0;
    virtual void SetSliderPosition(int id, int position) = 0;
    virtual int SliderPosition(int id) const = 0;
    // Modal: returns when the user has dismissed the box.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) = 0;
    // Closes the dialog; its modal run returns whether it was accepted.
    virtual void EndDialog(bool accepted) = 0;
};

}  // namespace velkor
