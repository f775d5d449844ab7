// Tag list import and export: a CSV of 10,000 rows (ten branches, register and bit types, some
// with byte order and scaling) planned as the preview does, applied as the import does, and the
// unit exported again. Prints each step's time in milliseconds; the best of `runs` rounds.
// Run: tag_csv [rows] [runs]
#include "common/TagListFile.h"
#include "editor/TagCsvImport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace vorn::editor;
using vorn::bench::startPlant;
using vorn::bench::tagList;
using Clock = std::chrono::steady_clock;

namespace {

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tag_csv_bench_" + std::to_string(getpid()) + ".csv"))
                                 .string();
    std::ofstream(path, std::ios::binary) << tagList(rows);

    double preview = 1e9, import = 1e9, exportTime = 1e9;
    size_t applied = 0, refused = 0;
    for (int run = 0; run < runs; ++run) {
        EditorState state;
        startPlant(state);
        TreeNode& unit = *state.tree.find("Unit");
        Clock::time_point start = Clock::now();
        const TagCsvPlan plan = planTagCsvFile(state, unit, path);
        preview = std::min(preview, millisecondsSince(start));
        refused = plan.refusals;
        start = Clock::now();
        applied = applyTagCsv(state, plan);
        import = std::min(import, millisecondsSince(start));
        start = Clock::now();
        const std::string csv = exportTagCsv(state, unit);
        exportTime = std::min(exportTime, millisecondsSince(start));
        if (csv.size() < static_cast<size_t>(rows))
            std::fprintf(stderr, "the export is too short\n");
    }
    std::filesystem::remove(path);
    std::printf("rows %d: preview (read and check) %.0f ms, import %.0f ms, export %.0f ms; "
                "%zu items imported, %zu rows refused\n",
                rows, preview, import, exportTime, applied, refused);
    return applied == static_cast<size_t>(rows) ? 0 : 1;
}
