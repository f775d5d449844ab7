// The configuration reference, loaded with the real loader so that it cannot drift from what
// the servers read: every XML example of docs/configuration.md loads without a warning (or,
// marked "xml warns", with one).
#include "ConfigFiles.h"
#include "LoadedConfig.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace vorn;
using namespace vorn::test;

namespace {

std::string sourceFile(const std::string& relative) {
    std::ifstream file(std::string(VORN_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

struct Snippet {
    size_t line; // of the opening fence in the document
    bool warns;
    std::string text;
};

// The fenced blocks whose info string is "xml" or "xml warns".
std::vector<Snippet> xmlSnippets(const std::string& markdown) {
    std::vector<Snippet> snippets;
    std::istringstream lines(markdown);
    std::string line;
    size_t number = 0;
    Snippet* open = nullptr;
    while (std::getline(lines, line)) {
        ++number;
        if (open) {
            if (line.rfind("```", 0) == 0)
                open = nullptr;
            else
                open->text += line + "\n";
        } else if (line == "```xml" || line == "```xml warns") {
            snippets.push_back({number, line == "```xml warns", {}});
            open = &snippets.back();
        }
    }
    return snippets;
}

const std::string kEditorRows = datatypeRow("INPUTSTATUS", 2, 0, 0) +
                                datatypeRow("IREGISTER", 4, 0, 0) + datatypeRow("COIL", 1, 15, 5) +
                                datatypeRow("HREGISTER", 3, 16, 6);

std::string firstElement(const std::string& text) {
    const size_t start = text.find('<');
    return start == std::string::npos ? std::string() : text.substr(start, 12);
}

// A snippet as a whole file: complete files as they are, DATATYPE rows, devices and tag
// content inside a file of the fitting server kind.
std::string wholeFile(const std::string& snippet, ServerKind& kind) {
    const std::string head = firstElement(snippet);
    kind = ServerKind::tarnvale;
    if (head.rfind("<?xml", 0) == 0 || head.rfind("<VornModBus", 0) == 0) {
        if (snippet.find("<VornModBusRTUCfg>") != std::string::npos)
            kind = ServerKind::rennick;
        return snippet;
    }
    if (head.rfind("<DATATYPE", 0) == 0)
        return tcpConfig(snippet,
                         tcpDevice("P1", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "0")));
    if (head.rfind("<PLC>", 0) == 0) {
        kind = ServerKind::rennick;
        return rtuConfig(kEditorRows, snippet);
    }
    if (head.rfind("<PLC ", 0) == 0)
        return tcpConfig(kEditorRows, snippet);
    return tcpConfig(kEditorRows, tcpDevice("P1", "127.0.0.1", snippet));
}

size_t tagCount(const SODaSNode& branch) {
    size_t count = branch.leafCount();
    for (const SOCmnPointer<SODaSNode>& child : branch.getBranches())
        count += tagCount(*child);
    return count;
}

} // namespace

TEST(Documentation, EveryXmlExampleOfTheReferenceLoadsAsItSays) {
    const std::string reference = sourceFile("docs/configuration.md");
    ASSERT_FALSE(reference.empty());
    const auto snippets = xmlSnippets(reference);
    ASSERT_GE(snippets.size(), 8u) << "the reference shows its examples in ```xml blocks";
    for (const Snippet& snippet : snippets) {
        SCOPED_TRACE("docs/configuration.md line " + std::to_string(snippet.line));
        ServerKind kind;
        const std::string file = wholeFile(snippet.text, kind);
        LoadedConfig c(kind);
        EXPECT_TRUE(c.load(file));
        EXPECT_TRUE(c.messages().empty());
        EXPECT_GE(c.devices().size(), 1u);
        EXPECT_GE(tagCount(*c.root), 1u);
        if (snippet.warns) {
            EXPECT_EQ(c.traces.size(), 1u) << "an example of a mistake gives one warning";
        } else {
            for (const std::string& line : c.traces)
                ADD_FAILURE() << line;
        }
    }
}
