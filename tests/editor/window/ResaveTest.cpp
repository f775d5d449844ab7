// Files written before a setting existed, and the example files, opened in the window and saved
// again come out byte for byte as they went in: Quillmar writes a setting only where it differs
// from its default.
#include "TestConfigs.h"
#include "WindowRig.h"
#include "editor/EditorSession.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

// The example files are kept with LF line ends in the repository; Quillmar ends its lines
// with CR LF.
std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r'))
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

TEST(QuillmarResave, ExamplesAndFilesFromBeforeReSaveByteForByte) {
    const std::string examples = std::string(VORN_SOURCE_DIR) + "/examples/";
    const std::string older = std::string(EDITOR_TEST_DATA) + "/";
    for (const std::string& source :
         {older + "roundtrip_tarnvale.xml", older + "roundtrip_rennick.xml",
          examples + "Tarnvale.xml", examples + "Rennick.xml", examples + "EnergyMeter.xml",
          examples + "Drive.xml"}) {
        SCOPED_TRACE(source);
        WindowRig rig;
        const std::string copy = rig.dir.file("opened.xml");
        std::filesystem::copy_file(source, copy);
        rig.open(copy);
        ASSERT_TRUE(rig.window->session().state().configOpen)
            << ::testing::PrintToString(rig.messages());
        const std::string saved = rig.dir.file("saved.xml");
        rig.saveAs(saved);
        EXPECT_TRUE(rig.messages().empty()) << ::testing::PrintToString(rig.messages());
        EXPECT_EQ(readFile(saved), withCrLf(readFile(source)));
    }
}
