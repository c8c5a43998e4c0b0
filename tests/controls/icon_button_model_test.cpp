#include "controls/icon_button_model.h"

#include <gtest/gtest.h>

namespace velkor::controls {
namespace {

TEST(IconButtonModelTest, PushButtonShowsItsFirstIconAndARaisedEdgeOnlyWhileHovered) {
    IconButtonState push;
    EXPECT_EQ(ShownIcon(push, true), 2);
    EXPECT_EQ(Edge(push), ButtonEdge::None);
    push.hovered = true;
    EXPECT_EQ(ShownIcon(push, true), 1);
    EXPECT_EQ(Edge(push), ButtonEdge::Raised);
    push.border = false;
    EXPECT_EQ(Edge(push), ButtonEdge::None);
    push.beingPressed = true;
    EXPECT_EQ(Edge(push), ButtonEdge::None);
    push.border = true;
    EXPECT_EQ(Edge(push), ButtonEdge::Sunken);
    push.flat = false;
    EXPECT_EQ(Edge(push), ButtonEdge::ShadowFrame);
    push.beingPressed = false;
    EXPECT_EQ(Edge(push), ButtonEdge::Raised3D);
}

TEST(IconButtonModelTest, CheckBoxShowsItsFirstIconWhenCheckedWhateverTheHover) {
    IconButtonState box;
    box.checkBoxMode = true;
    box.hovered = true;
    EXPECT_EQ(ShownIcon(box, true), 2);
    EXPECT_EQ(ShownIcon(box, false), 1);  // no second icon: the first stands in
    box.checked = true;
    EXPECT_EQ(ShownIcon(box, true), 1);
    EXPECT_EQ(Edge(box), ButtonEdge::Sunken);
    box.checked = false;
    box.beingPressed = true;  // drawn pressed while the click is under way
    EXPECT_EQ(ShownIcon(box, true), 1);
}

}  // namespace
}  // namespace velkor::controls
