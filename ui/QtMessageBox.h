// Message boxes on a display: a modal QMessageBox owned by the given window. Call on the GUI
// thread; the owner passed to show() is a QWidget* (or null).
#pragma once

#include "platform/MessageBox.h"

namespace vorn::ui {

class QtMessageBox : public MessageBoxService {
public:
    MessageAnswer show(void* owner, const std::string& text, const std::string& caption,
                       MessageIcon icon, MessageButtons buttons) override;
};

} // namespace vorn::ui
