// The XML examples of a Markdown document (docs/configuration.md), each as the whole file a
// server or Quillmar reads, for the tests that keep the documentation true.
#pragma once

#include "ConfigFiles.h"
#include "fileformat/ConfigFormat.h"

#include <sstream>
#include <string>
#include <vector>

namespace vorn::test {

struct Snippet {
    size_t line; // of the opening fence in the document
    bool warns;
    std::string text;
};

// The fenced blocks whose info string is "xml" or "xml warns".
inline std::vector<Snippet> xmlSnippets(const std::string& markdown) {
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

// A snippet as a whole file: complete files as they are, DATATYPE rows, devices and tag
// content inside a file of the fitting server kind.
inline std::string wholeFile(const std::string& snippet, format::ServerKind& kind) {
    const size_t start = snippet.find('<');
    const std::string head = start == std::string::npos ? std::string() : snippet.substr(start, 12);
    kind = format::ServerKind::tarnvale;
    if (head.rfind("<?xml", 0) == 0 || head.rfind("<VornModBus", 0) == 0) {
        if (snippet.find("<VornModBusRTUCfg>") != std::string::npos)
            kind = format::ServerKind::rennick;
        return snippet;
    }
    if (head.rfind("<DATATYPE", 0) == 0)
        return tcpConfig(snippet,
                         tcpDevice("P1", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "0")));
    if (head.rfind("<PLC>", 0) == 0) {
        kind = format::ServerKind::rennick;
        return rtuConfig(editorDatatypeRows(), snippet);
    }
    if (head.rfind("<PLC ", 0) == 0)
        return tcpConfig(editorDatatypeRows(), snippet);
    return tcpConfig(editorDatatypeRows(), tcpDevice("P1", "127.0.0.1", snippet));
}

} // namespace vorn::test
