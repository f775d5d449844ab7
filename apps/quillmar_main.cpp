// Quillmar, the configuration editor of the Tarnvale and Rennick servers.
#include "editor/ProductInfo.h"
#include "editor/window/FileDialogs.h"
#include "editor/window/frmEditing.h"
#include "platform/ProgramPath.h"
#include "platform/qt/QtMessageBox.h"

#include <QApplication>
#include <filesystem>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(vorn::editor::kProductName);
    QApplication::setOrganizationName(vorn::editor::kCompanyName);
    QApplication::setApplicationVersion(QString::fromStdString(vorn::editor::productVersion()));

    vorn::QtMessageBox boxes;
    vorn::ScopedMessageBoxes useBoxes(boxes);
    vorn::editor::QtFileDialogs dialogs;
    const std::string programFolder =
        std::filesystem::path(vorn::programPath()).parent_path().string();
    vorn::editor::frmEditing window(dialogs, programFolder, vorn::Registry());
    window.show();
    return application.exec();
}
