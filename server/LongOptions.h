// The servers' long options, read before the one-switch command line: "--help", "--version",
// "--config PATH" and "--check-config [--probe] [PATH]". A command line that does not start with
// "--" is left to the switch of the original servers ("-Embedding", "/regserver", ...).
#pragma once

#include "config/ServerProfile.h"

#include <string>

namespace vorn {

struct LongOption {
    enum class Kind { none, help, version, config, checkConfig, refused };
    Kind kind = Kind::none;
    std::string path;   // config, checkConfig (empty: the usual search)
    bool probe = false; // checkConfig: contact each device once after the file check
    std::string text;   // refused: what was not understood
};

LongOption parseLongOption(int argc, char** argv);

// The usage text printed by "--help" and after a refused option.
std::string usageText(const char* programName);
// What "--help" adds: the registry file this run reads and the values the server reads in it.
std::string registryHelpText(ServerKind kind);

// Exit codes of the command line.
constexpr int kExitUsage = 2;

} // namespace vorn
