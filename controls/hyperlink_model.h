// Toolkit-free parts of the hyperlink label and the link button: which colour the label's
// text takes, and the message shown when a link cannot be opened.
#pragma once

#include <cstdint>
#include <string>

namespace velkor::controls {

// Result of opening a link: above 32 is success; 32 and below are the shell's error codes
// (2 file not found, 3 path not found, 31 no associated application, ...).
constexpr int kLinkOpened = 33;
constexpr bool LinkOpenSucceeded(int code) {
    return code > 32;
}

// "Unable to open hyperlink:\n\n" followed by the reason for the code.
std::string LinkOpenFailureMessage(int code);

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(Rgb, Rgb) = default;
};

struct HyperlinkColours {
    Rgb link{0, 0, 238};
    Rgb visited{85, 26, 139};
    Rgb hover{255, 0, 0};
};

// The colours the main window gives its four labels.
constexpr HyperlinkColours kMainWindowLinkColours{{51, 51, 51}, {0, 0, 0}, {204, 0, 0}};

// Hover wins over visited, visited over the plain link colour.
constexpr Rgb HyperlinkTextColour(const HyperlinkColours& c, bool hovered, bool visited) {
    return hovered ? c.hover : visited ? c.visited : c.link;
}

}  // namespace velkor::controls
