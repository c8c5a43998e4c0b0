// Toolkit-free state rules of the owner-drawn icon button: when it draws pressed, which of
// its two icons it shows and which border it gets.
#pragma once

namespace velkor::controls {

struct IconButtonState {
    bool checkBoxMode = false;
    bool checked = false;
    bool beingPressed = false;  // the mouse button is down over it
    bool hovered = false;
    bool flat = true;
    bool border = true;
};

enum class ButtonEdge { None, Raised, Sunken, ShadowFrame, Raised3D };

// Check-box mode: checked or being pressed; push mode: being pressed.
constexpr bool DrawsPressed(const IconButtonState& s) {
    return s.checkBoxMode ? (s.checked || s.beingPressed) : s.beingPressed;
}

// Icon 1 when (check-box mode and pressed) or (push mode and (pressed or hovered)), else
// icon 2 when there is one, else icon 1. Returns 1 or 2.
constexpr int ShownIcon(const IconButtonState& s, bool hasIcon2) {
    const bool pressed = DrawsPressed(s);
    const bool first = s.checkBoxMode ? pressed : (pressed || s.hovered);
    return (first || !hasIcon2) ? 1 : 2;
}

constexpr ButtonEdge Edge(const IconButtonState& s) {
    if (DrawsPressed(s)) {
        if (s.flat) return s.border ? ButtonEdge::Sunken : ButtonEdge::None;
        return ButtonEdge::ShadowFrame;
    }
    if (!s.flat) return ButtonEdge::Raised3D;
    return (s.hovered && s.border) ? ButtonEdge::Raised : ButtonEdge::None;
}

}  // namespace velkor::controls
