// The records form resizing keeps and the arithmetic that scales a control from them.
#include "editor/ResizeRecords.h"

#include "editor/EditorError.h"

#include <gtest/gtest.h>

using namespace vorn::editor;

TEST(ResizeRecords, TagsSplitAtBarsAndCarryGeometryAndFontExactly) {
    std::vector<std::string> parts;
    EXPECT_EQ(SplitTag("1|22||333", parts), 4);
    EXPECT_EQ(parts, (std::vector<std::string>{"1", "22", "", "333"}));
    EXPECT_EQ(SplitTag("", parts), 1);

    const ControlGeometry tree{0, 0, 256, 401, 8.25};
    const std::string tag = geometryTag(640, 480, tree);
    EXPECT_EQ(tag, "640|480|0|0|256|401|8.25");
    EXPECT_EQ(geometryOfTag(tag), tree);
    const ControlGeometry noFont{3, 4, 5, 6, std::nullopt};
    EXPECT_EQ(geometryOfTag(geometryTag(1, 1, noFont)), noFont);
    EXPECT_FALSE(geometryOfTag("640|480|x|0|1|1|8"));
    EXPECT_FALSE(geometryOfTag("640|480"));
}

TEST(ResizeRecords, DoublingDoublesEverythingAndTheReferenceSizeRestoresItExactly) {
    const ControlGeometry list{258, 0, 383, 401, 9.0};
    EXPECT_EQ(scaledGeometry(list, sizeChange(640, 480, 1280, 960)),
              (ControlGeometry{516, 0, 766, 802, 18.0}));
    EXPECT_EQ(scaledGeometry(list, sizeChange(640, 480, 640, 480)), list);
    // Wider only: the smaller change, none, applies to the font.
    EXPECT_EQ(scaledGeometry(list, sizeChange(640, 480, 1280, 480)),
              (ControlGeometry{516, 0, 766, 401, 9.0}));
    // Positions and sizes round down: 383 x 1.5 = 574.5.
    EXPECT_EQ(scaledGeometry(list, sizeChange(640, 480, 960, 720)).width, 574);
    // A reference size of 0 is no change at all.
    EXPECT_EQ(scaledGeometry(list, sizeChange(0, 0, 100, 100)), list);
}

TEST(ResizeRecords, AFormKeepsOneRecordPerControlKey) {
    clsResizeForm form;
    form.Form_Name = "frmEditing";
    clsResizeControl tree;
    tree.Ctrl_Name = "TreeView1";
    tree.Tag = "640|480|0|0|256|401|9";
    form.SetControl(tree);
    ASSERT_NE(form.GetControl("TreeView1_"), nullptr);
    EXPECT_EQ(form.GetControl("TreeView1_")->Tag, tree.Tag);
    EXPECT_EQ(form.GetControl("ListView1_"), nullptr);
    EXPECT_THROW(form.SetControl(tree), EditorError);
    tree.Ctrl_Index = "2";
    EXPECT_NO_THROW(form.SetControl(tree));
}
