#include "LongOptions.h"

#include "fileformat/SerialPorts.h"
#include "modbus/rtu/CommLogSettings.h"
#include "platform/Registry.h"
#include "server/ServerIdentity.h"

#include <cstring>

namespace vorn {

namespace {

// "--check-config [--probe] [PATH]"; none when the rest is something else.
LongOption checkConfigOption(int argc, char** argv) {
    LongOption option{LongOption::Kind::checkConfig, {}, false, {}};
    int paths = 0;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--probe") == 0 && !option.probe)
            option.probe = true;
        else if (++paths == 1)
            option.path = argv[i];
        else
            return {};
    }
    return option;
}

} // namespace

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
        option = {LongOption::Kind::config, argv[2], false, {}};
    else if (name == "--check-config" && extra <= 2)
        option = checkConfigOption(argc, argv);
    if (option.kind == LongOption::Kind::none) {
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
           "  --check-config --probe [PATH]\n"
           "                           the same, then contact each device once: "
           "print the\n"
           "                           blocks it refuses as a whole (read tag by "
           "tag) and\n"
           "                           the devices that do not answer (same exit "
           "code)\n"
           "  --version                print the version and end\n"
           "  --help                   print this text and end\n"
           "\n"
           "Environment: VORN_REGISTRY (registry file), VORN_TRACE "
           "(error|warning|info|debug),\n"
           "VORN_HEADLESS=1 (no window).\n";
}

} // namespace vorn

namespace vorn {

std::string registryHelpText(ServerKind kind) {
    const bool serial = kind == ServerKind::rennick;
    std::string text = "\nRegistry file: " + Registry::defaultPath() +
                       "\n  ($VORN_REGISTRY if set, else the installed registry, else\n"
                       "  ~/.config/VornAutomation/registry.ini)\n"
                       "Values read under [" +
                       std::string(profileOf(kind).registryKey) +
                       "]:\n"
                       "  ConfigFile        the configuration file (Quillmar writes it)\n"
                       "  OpcUaPort         the OPC UA port (default " +
                       std::to_string(identityOf(kind).defaultOpcUaPort) +
                       "; 0 takes any free one)\n"
                       "  PollingMode       single (default) or perConnection\n"
                       "  SecurityPolicies  the endpoints offered, e.g. "
                       "None,Basic256Sha256-SignAndEncrypt\n"
                       "  PkiFolder         the certificates' folder\n"
                       "  AllowAnonymous    0 refuses anonymous sessions\n"
                       "  AnonymousRole     read, or readwrite (default)\n"
                       "  Users\\NAME        the accounts (made with vorn-users)\n";
    if (serial)
        text += std::string("  ") + modbus::kCommLogValue +
                "           1 writes the communication log Log.err, 0 (default) does not\n"
                "  " +
                modbus::kCommLogFolderValue +
                "     the log's folder (default $LOGS_DIRECTORY; installed /var/log/vorn;\n"
                "                    else beside the program)\n"
                "and under [" +
                format::kRennickPortsRegistryKey +
                "]:\n"
                "  COMn              the device of port COMn (default /dev/ttyS<n-1>)\n";
    return text;
}

} // namespace vorn
