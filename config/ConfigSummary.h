// What one load of a configuration file gave, for the line a server prints at start.
#pragma once

#include <cstddef>
#include <string>

namespace vorn {

struct ConfigSummary {
    std::string path;    // the file read; empty when none was found
    bool parsed = false; // false: missing, unreadable or not well-formed
    size_t devices = 0;
    size_t tags = 0;
    size_t skipped = 0;  // elements left out, each named in a "CFG" trace line
    size_t warnings = 0; // elements that load but may not work as meant, each in a "CFG" line

    // "Tarnvale: configuration /srv/plant/Tarnvale.xml: 2 devices, 40 tags, 1 element
    // skipped, 3 warnings (CFG lines above)".
    std::string describe(const char* program) const;
};

} // namespace vorn
