// quillmar_check FILE: imports a configuration as the editor opens it and lists what it
// found, for scripts and tests. Errors go to stderr in the editor's standard form; the exit
// code is then 1. Needs no display.
#include "editor/ConfigImport.h"
#include "editor/EditorState.h"

#include <cstdio>
#include <string>

using namespace vorn::editor;

int main(int argc, char** argv) {
    std::string path;
    if (argc == 3 && std::string(argv[1]) == "--check")
        path = argv[2];
    else if (argc == 2)
        path = argv[1];
    else {
        std::fprintf(stderr, "usage: %s [--check] FILE\n", argv[0]);
        return 2;
    }
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
