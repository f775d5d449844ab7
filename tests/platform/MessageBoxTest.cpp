#include "platform/MessageBox.h"

#include "ScopedEnv.h"

#include <gtest/gtest.h>

using namespace vorn;

TEST(MessageBox, ScriptedAnswersThenDefaultsAndRecordsEveryBox) {
    ScriptedMessageBox script;
    ScopedMessageBoxes scope(script);
    script.queueAnswer(MessageAnswer::no);
    EXPECT_EQ(showMessage("Save?", "Quillmar", MessageIcon::question, MessageButtons::yesNo),
              MessageAnswer::no);
    EXPECT_EQ(showMessage("Again?", "Quillmar", MessageIcon::question, MessageButtons::yesNo),
              MessageAnswer::yes);
    EXPECT_EQ(showMessage("Done", "Quillmar"), MessageAnswer::ok);
    auto shown = script.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[2].text, "Done");
    EXPECT_EQ(shown[2].icon, MessageIcon::warning);
}

TEST(MessageBox, HeadlessWhenAskedOrWithoutDisplay) {
    {
        vorn::test::ScopedEnv headless("VORN_HEADLESS", "1");
        vorn::test::ScopedEnv display("DISPLAY", ":99");
        EXPECT_TRUE(isHeadless());
    }
    vorn::test::ScopedEnv notForced("VORN_HEADLESS", nullptr);
    vorn::test::ScopedEnv noDisplay("DISPLAY", nullptr);
    vorn::test::ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    EXPECT_TRUE(isHeadless());
    vorn::test::ScopedEnv display("DISPLAY", ":99");
    EXPECT_FALSE(isHeadless());
}

TEST(MessageBox, StderrBoxPrintsCaptionAndTextAndGivesTheFirstButton) {
    testing::internal::CaptureStderr();
    StderrMessageBox box;
    EXPECT_EQ(box.show(nullptr, "Wrong XML file syntax: no ModBus element\n", "OPC ModBus Server",
                       MessageIcon::warning, MessageButtons::yesNoCancel),
              MessageAnswer::yes);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "OPC ModBus Server: Wrong XML file syntax: no ModBus element\n");
}
