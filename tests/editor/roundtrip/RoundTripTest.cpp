// The differential round trip: random valid configurations are served the same before and
// after Quillmar's core opens and saves them, and configurations built through the core's
// operations are served whole, without a skipped element or a CFG warning.
#include "RandomConfigurations.h"
#include "ServedPlant.h"
#include "editor/ConfigExport.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

constexpr uint32_t kConfigurationsPerKind = 200;

class RoundTrip : public ::testing::TestWithParam<format::ServerKind> {};

} // namespace

TEST_P(RoundTrip, RandomFilesAreServedTheSameAfterTheEditorSavesThem) {
    size_t tags = 0;
    for (uint32_t seed = 1; seed <= kConfigurationsPerKind; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string text = randomConfigurationFile(GetParam(), seed);
        const ServedPlant before = servedPlant(GetParam(), text);
        ASSERT_EQ(before.skipped, 0u) << ::testing::PrintToString(before.traces) << text;
        const Resaved resaved = resavedByEditor(text);
        ASSERT_TRUE(resaved.saved) << ::testing::PrintToString(resaved.messages) << text;
        EXPECT_TRUE(resaved.messages.empty()) << ::testing::PrintToString(resaved.messages);
        const ServedPlant after = servedPlant(GetParam(), resaved.text);
        ASSERT_EQ(firstDifference(before.devices, after.devices), "") << text;
        ASSERT_EQ(firstDifference(before.tags, after.tags), "") << text;
        // Saving the saved file again changes nothing.
        ASSERT_EQ(resavedByEditor(resaved.text).text, resaved.text);
        tags += before.tags.size();
    }
    // Every item kind and type many times over.
    EXPECT_GT(tags, 10 * kConfigurationsPerKind);
    RecordProperty("tags", static_cast<int>(tags));
}

TEST_P(RoundTrip, ConfigurationsBuiltThroughTheEditorLoadWholeWithoutWarnings) {
    for (uint32_t seed = 1; seed <= kConfigurationsPerKind; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        editor::EditorState state;
        ScriptedMessageBox boxes; // the dialogs' refusals of random fields
        ScopedMessageBoxes installed(boxes);
        const size_t items = buildRandomConfiguration(state, GetParam(), seed);
        const std::string text = editor::configurationText(state);
        const ServedPlant served = servedPlant(GetParam(), text);
        ASSERT_EQ(served.skipped, 0u) << ::testing::PrintToString(served.traces) << text;
        ASSERT_EQ(served.warnings, 0u) << ::testing::PrintToString(served.traces) << text;
        ASSERT_EQ(served.tags.size(), items) << text;
        ASSERT_EQ(served.devices.size(), state.devices.size()) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(BothServers, RoundTrip,
                         ::testing::Values(format::ServerKind::tarnvale,
                                           format::ServerKind::rennick),
                         [](const auto& info) { return std::string(format::nameOf(info.param)); });
