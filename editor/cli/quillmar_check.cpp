// quillmar_check: opens a configuration as the editor does, for scripts and tests. Lists what
// it found, or re-saves it as the window's Save writes it (without touching the registry).
// Errors go to stderr in the editor's standard form; the exit code is then 1. Needs no
// display.
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/EditorState.h"

#include <cstdio>
#include <string>

using namespace vorn::editor;

namespace {

constexpr const char* kUsage = "usage: %s [--check] FILE      list what Quillmar opens from FILE\n"
                               "       %s --resave IN OUT     open IN and save it to OUT as "
                               "Quillmar's Save does\n"
                               "       %s --help              this text\n"
                               "Exit 0 on success, 1 when the file is refused or cannot be "
                               "written, 2 for a wrong command line.\n";

void printUsage(std::FILE* to, const char* program) {
    std::fprintf(to, kUsage, program, program, program);
}

int list(const std::string& path) {
    EditorState state;
    state.startConfiguration(path);
    if (!ImportXML(state, path))
        return 1;
    std::printf("server %s: %zu modbus types, %zu devices, %zu branches, %zu items\n",
                state.serverKind.c_str(), state.modbusTypes.size(), state.devices.size(),
                state.branches.size(), state.items.size());
    for (const auto& [key, type] : state.modbusTypes)
        std::printf("type %s read %d write %d single %d\n", key.c_str(), type->getReadCode(),
                    type->getWriteCode(), type->getSingleWrCode());
    for (const auto& [key, device] : state.devices)
        std::printf("device %s id %d\n", key.c_str(), device->getUI());
    for (const auto& [key, item] : state.items)
        std::printf("item %s address %d type %s access %s\n", key.c_str(), item->nAddress,
                    item->sDataType.c_str(), item->sAccessRight.c_str());
    return 0;
}

int resave(const std::string& in, const std::string& out) {
    EditorState state;
    state.startConfiguration(in);
    if (!ImportXML(state, in) || !CreateXML(state, out))
        return 1;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (argc == 2 && first == "--help") {
        printUsage(stdout, argv[0]);
        return 0;
    }
    if (argc == 4 && first == "--resave")
        return resave(argv[2], argv[3]);
    if (argc == 3 && first == "--check")
        return list(argv[2]);
    if (argc == 2 && !first.starts_with("--"))
        return list(first);
    printUsage(stderr, argv[0]);
    return 2;
}
