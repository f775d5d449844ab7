// Message boxes on a display: a modal QMessageBox owned by the given window, whose answer is
// the button pressed. The owner passed to show() is a QWidget* (or null). Called off the GUI
// thread, it writes to stderr like a server without a display.
#pragma once

#include "platform/MessageBox.h"

namespace vorn {

class QtMessageBox : public MessageBoxService {
public:
    MessageAnswer show(void* owner, const std::string& text, const std::string& caption,
                       MessageIcon icon, MessageButtons buttons) override;
};

} // namespace vorn
