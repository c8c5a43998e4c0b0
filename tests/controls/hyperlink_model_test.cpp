#include "controls/hyperlink_model.h"

#include <gtest/gtest.h>

namespace velkor::controls {
namespace {

TEST(HyperlinkModelTest, FailureMessageNamesTheReasonOrTheUnknownCode) {
    EXPECT_EQ(LinkOpenFailureMessage(2),
              "Unable to open hyperlink:\n\nThe specified file was not found.");
    EXPECT_EQ(LinkOpenFailureMessage(0),
              "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.");
    EXPECT_EQ(LinkOpenFailureMessage(1),
              "Unable to open hyperlink:\n\nUnknown Error (1) occurred.");
    EXPECT_EQ(LinkOpenFailureMessage(-7),
              "Unable to open hyperlink:\n\nUnknown Error (-7) occurred.");
    EXPECT_FALSE(LinkOpenSucceeded(32));
    EXPECT_TRUE(LinkOpenSucceeded(kLinkOpened));
}

TEST(HyperlinkModelTest, HoverColourWinsOverVisited) {
    const HyperlinkColours& c = kMainWindowLinkColours;
    EXPECT_EQ(HyperlinkTextColour(c, false, false), (Rgb{51, 51, 51}));
    EXPECT_EQ(HyperlinkTextColour(c, false, true), (Rgb{0, 0, 0}));
    EXPECT_EQ(HyperlinkTextColour(c, true, true), (Rgb{204, 0, 0}));
}

}  // namespace
}  // namespace velkor::controls
