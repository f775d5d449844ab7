// The system clipboard as text, for the clipboard commands.
#pragma once

#include "editor/ClipboardCommands.h"

namespace vorn::editor {

class SystemClipboard : public TextClipboard {
public:
    std::string text() override;
    void clear() override;
};

} // namespace vorn::editor
