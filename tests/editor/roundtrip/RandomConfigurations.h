// Random configurations for the round-trip tests, each made from a seed so that a failure can
// be reproduced: valid files as a plant engineer or another tool may write them (every item
// kind and type, odd but legal names, comments and settings, optional settings left out, extra
// blanks in type texts), and configurations built through Quillmar's core operations with
// random dialog fields.
#pragma once

#include "editor/EditorState.h"
#include "fileformat/ConfigFormat.h"

#include <cstdint>
#include <string>

namespace vorn::test {

// The text of a file the servers load without skipping anything.
std::string randomConfigurationFile(format::ServerKind kind, uint32_t seed);

// Units, branches and items added as the dialogs add them (their checks refusing what they
// refuse); returns how many items the core accepted.
size_t buildRandomConfiguration(editor::EditorState& state, format::ServerKind kind, uint32_t seed);

} // namespace vorn::test
