// What a server serves from a configuration file, in a form two loads can be compared by: every
// device with its settings and every tag with its item ID and settings, as the servers' own
// loader reads them; and the file Quillmar's core writes after opening it.
#pragma once

#include "fileformat/ConfigFormat.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace vorn::test {

struct ServedPlant {
    bool loaded = false;
    // One line per device and per tag ("device P1 address 10.0.0.1 ..."), keyed by name or
    // item ID, so that a difference reads as the setting that changed. A second device of one
    // name is "P1 #2", and its tags name it so.
    std::map<std::string, std::string> devices;
    std::map<std::string, std::string> tags;
    size_t skipped = 0;
    size_t warnings = 0;
    std::vector<std::string> traces;
};

ServedPlant servedPlant(format::ServerKind kind, const std::string& fileText);

// The first device or tag that one load serves otherwise than the other; empty when none.
std::string firstDifference(const std::map<std::string, std::string>& before,
                            const std::map<std::string, std::string>& after);

struct Resaved {
    bool opened = false;               // ImportXML accepted the file
    bool saved = false;                // CreateXML wrote it
    std::string text;                  // the file written
    std::vector<std::string> messages; // the message boxes shown on the way
};

// Opens `fileText` with Quillmar's core and saves it as the window's Save does.
Resaved resavedByEditor(const std::string& fileText);

} // namespace vorn::test
