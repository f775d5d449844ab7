// Quillmar, the configuration editor of the Tarnvale and Rennick servers.
#include "editor/ProductInfo.h"
#include "editor/window/FileDialogs.h"
#include "editor/window/frmEditing.h"
#include "platform/InstalledLayout.h"
#include "platform/ProgramPath.h"
#include "platform/Registry.h"
#include "platform/qt/QtMessageBox.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// Answers read before any window exists, so that they work without a display.
void printHelp() {
    std::printf("Usage: Quillmar [--help | --version]\n"
                "\n"
                "%s. Opens its window; a saved configuration's path is stored as\n"
                "ConfigFile under [SOFTWARE\\VornAutomation\\Tarnvale] or [...\\Rennick] in the\n"
                "registry file, where the server finds it.\n"
                "\n"
                "Registry file: %s\n"
                "  ($VORN_REGISTRY if set, else the installed registry, else\n"
                "  ~/.config/VornAutomation/registry.ini)\n"
                "Needs a display (DISPLAY or WAYLAND_DISPLAY).\n",
                vorn::editor::kFileDescription, vorn::Registry::defaultPath().c_str());
}

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        printHelp();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", vorn::editor::kProductName, vorn::editor::productVersion().c_str());
        return 0;
    }
    if (!hasDisplay()) {
        std::fprintf(stderr, "Quillmar: no display (DISPLAY or WAYLAND_DISPLAY is not set); "
                             "Quillmar --help tells what it does\n");
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(vorn::editor::kProductName);
    QApplication::setOrganizationName(vorn::editor::kCompanyName);
    QApplication::setApplicationVersion(QString::fromStdString(vorn::editor::productVersion()));

    vorn::QtMessageBox boxes;
    vorn::ScopedMessageBoxes useBoxes(boxes);
    vorn::editor::QtFileDialogs dialogs;
    // New configurations are proposed beside the program, or, installed, in the plant folder
    // the services' registry names (the program's folder is read-only there).
    const std::string newFileFolder = vorn::installedPlantFolder().value_or(
        std::filesystem::path(vorn::programPath()).parent_path().string());
    vorn::editor::frmEditing window(dialogs, newFileFolder, vorn::Registry());
    window.show();
    return application.exec();
}
