// The open and save-as dialogs of the main window, behind an interface so tests can answer
// them. An empty result means the dialog was cancelled.
#pragma once

#include <string>

class QWidget;

namespace vorn::editor {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::string openFile(QWidget* owner, const std::string& title,
                                 const std::string& filter) = 0;
    virtual std::string saveFile(QWidget* owner, const std::string& title,
                                 const std::string& filter, const std::string& proposedPath) = 0;
};

// Qt's own file dialogs.
class QtFileDialogs : public FileDialogs {
public:
    std::string openFile(QWidget* owner, const std::string& title,
                         const std::string& filter) override;
    std::string saveFile(QWidget* owner, const std::string& title, const std::string& filter,
                         const std::string& proposedPath) override;
};

} // namespace vorn::editor
