// The configuration reference's examples and the example files open in Quillmar's core and
// re-save to files the servers serve the same way.
#include "DocumentSnippets.h"
#include "ScratchDir.h"
#include "ServedPlant.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

void expectServedTheSameAfterResave(format::ServerKind kind, const std::string& text) {
    const ServedPlant before = servedPlant(kind, text);
    const Resaved resaved = resavedByEditor(text);
    ASSERT_TRUE(resaved.saved) << ::testing::PrintToString(resaved.messages);
    const ServedPlant after = servedPlant(kind, resaved.text);
    EXPECT_FALSE(before.tags.empty());
    EXPECT_EQ(firstDifference(before.devices, after.devices), "");
    EXPECT_EQ(firstDifference(before.tags, after.tags), "");
}

} // namespace

TEST(DocumentsResave, EveryXmlExampleOfTheReferenceIsServedTheSameAfterASave) {
    const std::string reference =
        contentsOf(std::string(VORN_SOURCE_DIR) + "/docs/configuration.md");
    const std::vector<Snippet> snippets = xmlSnippets(reference);
    ASSERT_GE(snippets.size(), 8u);
    for (const Snippet& snippet : snippets) {
        SCOPED_TRACE("docs/configuration.md line " + std::to_string(snippet.line));
        format::ServerKind kind;
        const std::string file = wholeFile(snippet.text, kind);
        expectServedTheSameAfterResave(kind, file);
    }
}

TEST(DocumentsResave, TheExampleFilesAreServedTheSameAfterASave) {
    struct Example {
        const char* name;
        format::ServerKind kind;
    };
    for (const Example& example : {Example{"Tarnvale.xml", format::ServerKind::tarnvale},
                                   Example{"Rennick.xml", format::ServerKind::rennick},
                                   Example{"EnergyMeter.xml", format::ServerKind::tarnvale},
                                   Example{"Drive.xml", format::ServerKind::rennick}}) {
        SCOPED_TRACE(example.name);
        expectServedTheSameAfterResave(
            example.kind, contentsOf(std::string(VORN_SOURCE_DIR) + "/examples/" + example.name));
    }
}
