#include "EditorError.h"

#include "platform/MessageBox.h"

namespace vorn::editor {

std::string standardErrorText(int number, const std::string& description,
                              const std::string& handler) {
    return " Error n. " + std::to_string(number) + "  " + description + " in " + handler;
}

void reportError(const EditorError& error, const std::string& handler) {
    showMessage(standardErrorText(error.number(), error.description(), handler), kEditorCaption,
                MessageIcon::none, MessageButtons::ok);
}

} // namespace vorn::editor
