#include "FileDialogs.h"

#include <QFileDialog>

namespace vorn::editor {

std::string QtFileDialogs::openFile(QWidget* owner, const std::string& title,
                                    const std::string& filter) {
    return QFileDialog::getOpenFileName(owner, QString::fromStdString(title), QString(),
                                        QString::fromStdString(filter))
        .toStdString();
}

std::string QtFileDialogs::saveFile(QWidget* owner, const std::string& title,
                                    const std::string& filter, const std::string& proposedPath) {
    // The dialog's own question guards an existing file; the editor asks none of its own here.
    return QFileDialog::getSaveFileName(owner, QString::fromStdString(title),
                                        QString::fromStdString(proposedPath),
                                        QString::fromStdString(filter))
        .toStdString();
}

} // namespace vorn::editor
