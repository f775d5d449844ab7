// The servers' long options, read before the one-switch command line: "--help", "--version",
// "--config PATH" and "--check-config [PATH]". A command line that does not start with "--"
// is left to the switch of the original servers ("-Embedding", "/regserver", ...).
#pragma once

#include <string>

namespace vorn {

struct LongOption {
    enum class Kind { none, help, version, config, checkConfig, refused };
    Kind kind = Kind::none;
    std::string path; // config, checkConfig (empty: the usual search)
    std::string text; // refused: what was not understood
};

LongOption parseLongOption(int argc, char** argv);

// The usage text printed by "--help" and after a refused option.
std::string usageText(const char* programName);

// Exit codes of the command line.
constexpr int kExitUsage = 2;

} // namespace vorn
