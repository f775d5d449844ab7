#include "LongOptions.h"

#include <cstring>

namespace vorn {

LongOption parseLongOption(int argc, char** argv) {
    LongOption option;
    if (argc < 2 || std::strncmp(argv[1], "--", 2) != 0)
        return option;
    const std::string name = argv[1];
    const int extra = argc - 2;
    if (name == "--help" && extra == 0)
        option.kind = LongOption::Kind::help;
    else if (name == "--version" && extra == 0)
        option.kind = LongOption::Kind::version;
    else if (name == "--config" && extra == 1 && argv[2][0] != '\0')
        option = {LongOption::Kind::config, argv[2], {}};
    else if (name == "--check-config" && extra <= 1)
        option = {LongOption::Kind::checkConfig, extra ? argv[2] : "", {}};
    else {
        option.kind = LongOption::Kind::refused;
        for (int i = 1; i < argc; ++i)
            option.text += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    return option;
}

std::string usageText(const char* programName) {
    const std::string p = programName;
    return "Usage: " + p +
           " [SWITCH | OPTION]\n"
           "\n"
           "Switches (the whole text after the program name is one switch):\n"
           "  -RegServer, /regserver   write the registration records and end\n"
           "  -UnregServer             remove them and end\n"
           "  -Embedding               started on demand: end when the last "
           "client leaves\n"
           "  -ctt                     test-tool timing\n"
           "\n"
           "Options:\n"
           "  --config PATH            read this configuration file instead of "
           "the one\n"
           "                           beside the program or in the registry\n"
           "  --check-config [PATH]    load the configuration as the server "
           "would, print\n"
           "                           every skipped element and a summary, and "
           "end\n"
           "                           (exit 0 when nothing was skipped, else 1)\n"
           "  --version                print the version and end\n"
           "  --help                   print this text and end\n"
           "\n"
           "Environment: VORN_REGISTRY (registry file), VORN_TRACE "
           "(error|warning|info|debug),\n"
           "VORN_HEADLESS=1 (no window).\n";
}

} // namespace vorn
