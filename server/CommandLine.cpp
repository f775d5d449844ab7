#include "CommandLine.h"

#include <algorithm>
#include <cctype>

namespace vorn {

ServerSwitch parseServerSwitch(const std::string& text) {
    if (text.empty() || (text[0] != '-' && text[0] != '/'))
        return ServerSwitch::none;
    std::string word = text.substr(1);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (word == "REGSERVER")
        return ServerSwitch::regServer;
    if (word == "UNREGSERVER")
        return ServerSwitch::unregServer;
    if (word == "EMBEDDING" || word == "EMBEDDED")
        return ServerSwitch::embedding;
    if (word == "CTT")
        return ServerSwitch::testTool;
    return ServerSwitch::none;
}

std::string textAfterProgram(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text.push_back(' ');
        text += argv[i];
    }
    return text;
}

} // namespace vorn
