// Export and import of a generated configuration of 100,000 items: 10 devices, each with 10
// branches of 10 sub-branches of 100 items. Prints the time of each step in milliseconds.
// Run: editor_io [items-per-branch]
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/EditorState.h"
#include "editor/ModelInsert.h"
#include "fileformat/ConfigFormat.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace vorn::editor;
using Clock = std::chrono::steady_clock;

namespace {

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TreeNode& addNamedBranch(EditorState& state, TreeNode& parent, const std::string& name) {
    auto branch = std::make_shared<clsBranch>();
    branch->sName = name;
    branch->sKey = parent.key + "." + name;
    return addBranch(state, parent, branch);
}

void generate(EditorState& state, int itemsPerBranch) {
    state.serverKind = vorn::format::kTarnvaleName;
    state.startConfiguration("/bench/Tarnvale.xml");
    const char* types[] = {"holding register:signed 16 bit", "holding register:32 bit float",
                           "coil:boolean", "input register:unsigned 16 bit array",
                           "holding register:string"};
    for (int d = 0; d < 10; ++d) {
        auto plc = std::make_shared<clsPLC>();
        plc->setName("Unit" + std::to_string(d));
        plc->keyFromName();
        plc->setAddress("10.0.0." + std::to_string(d + 1));
        plc->setUI(static_cast<uint8_t>(d + 1));
        plc->setTimeout(1000);
        TreeNode& device = addDevice(state, plc);
        for (int b = 0; b < 10; ++b) {
            TreeNode& line = addNamedBranch(state, device, "Line" + std::to_string(b));
            for (int s = 0; s < 10; ++s) {
                TreeNode& cell = addNamedBranch(state, line, "Cell" + std::to_string(s));
                for (int i = 0; i < itemsPerBranch; ++i) {
                    auto item = std::make_shared<clsItem>();
                    item->sName = "Tag" + std::to_string(i);
                    item->sKey = cell.key + "." + item->sName;
                    item->sComment = "generated tag " + std::to_string(i);
                    item->sDataType = types[i % 5];
                    item->nAddress = i * 2;
                    item->nElements = 4;
                    item->sAccessRight = "READWRITE";
                    addItem(state, cell, item);
                }
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    int itemsPerBranch = argc > 1 ? std::atoi(argv[1]) : 100;
    const std::string path =
        (std::filesystem::temp_directory_path() / "editor_io_bench.xml").string();

    EditorState source;
    auto start = Clock::now();
    generate(source, itemsPerBranch);
    std::printf("generate %zu items: %.0f ms\n", source.items.size(), millisecondsSince(start));

    start = Clock::now();
    if (!CreateXML(source, path))
        return 1;
    std::printf("export: %.0f ms (%ju bytes)\n", millisecondsSince(start),
                static_cast<uintmax_t>(std::filesystem::file_size(path)));

    EditorState reopened;
    reopened.startConfiguration(path);
    start = Clock::now();
    if (!ImportXML(reopened, path))
        return 1;
    std::printf("import: %.0f ms (%zu items)\n", millisecondsSince(start), reopened.items.size());
    std::filesystem::remove(path);
    return reopened.items.size() == source.items.size() ? 0 : 1;
}
