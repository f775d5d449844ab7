#include "ConfigSummary.h"

namespace vorn {
namespace {

std::string counted(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

std::string ConfigSummary::describe(const char* program) const {
    std::string line = std::string(program) + ": ";
    if (path.empty())
        return line + "no configuration file loaded, " + counted(devices, "device", "devices");
    line += "configuration " + path;
    if (!parsed)
        return line + " not loaded (see the CFG line above), " +
               counted(devices, "device", "devices");
    line += ": " + counted(devices, "device", "devices") + ", " + counted(tags, "tag", "tags") +
            ", " + counted(skipped, "element", "elements") + " skipped, " +
            counted(warnings, "warning", "warnings");
    if (skipped + warnings > 0)
        line += " (CFG lines above)";
    return line;
}

} // namespace vorn
