// quillmar_csv: tag lists in and out of a configuration as CSV, for scripts, with the checks of
// Quillmar's import. Needs no display.
//
//   quillmar_csv --export-csv OUT.csv [--from UNIT[/BRANCH]] CONFIG
//   quillmar_csv --import-csv IN.csv --into UNIT[/BRANCH] CONFIG
//
// An import saves CONFIG only when every row is good; otherwise it prints a line per refused
// row to stderr and leaves the file as it was. Exit 0 on success, 1 when a file is refused or
// cannot be written, 2 for a wrong command line.
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/EditorState.h"
#include "editor/TagCsvImport.h"
#include "platform/AtomicFile.h"

#include <cstdio>
#include <map>
#include <string>

using namespace vorn::editor;

namespace {

constexpr const char* kUsage =
    "usage: %s --export-csv OUT.csv [--from UNIT[/BRANCH]] CONFIG\n"
    "       %s --import-csv IN.csv --into UNIT[/BRANCH] CONFIG\n"
    "An import saves CONFIG only when every row of IN.csv is good; each refused row is\n"
    "printed. Exit 0 on success, 1 when a file is refused or cannot be written, 2 for a\n"
    "wrong command line.\n";

// "Unit/Branch/Sub" as a tree key ("Unit.Branch.Sub"); empty for the whole configuration.
TreeNode* nodeOf(EditorState& state, const std::string& place) {
    if (place.empty())
        return state.tree.root();
    std::string key = place;
    for (char& c : key)
        if (c == '/')
            c = '.';
    return state.tree.find(key);
}

bool open(EditorState& state, const std::string& config) {
    state.startConfiguration(config);
    return ImportXML(state, config);
}

int exportCsv(const std::string& csv, const std::string& from, const std::string& config) {
    EditorState state;
    if (!open(state, config))
        return 1;
    const TreeNode* node = nodeOf(state, from);
    if (!node || (node->tag != kTagConfig && node->tag != kTagPlc && node->tag != kTagBranch)) {
        std::fprintf(stderr, "%s: no unit or branch %s\n", config.c_str(), from.c_str());
        return 1;
    }
    if (auto problem =
            vorn::writeFileAtomically(csv, exportTagCsv(state, *node), vorn::kSharedFileMode)) {
        std::fprintf(stderr, "%s: %s\n", csv.c_str(), problem->c_str());
        return 1;
    }
    return 0;
}

int importCsv(const std::string& csv, const std::string& into, const std::string& config) {
    EditorState state;
    if (!open(state, config))
        return 1;
    TreeNode* node = nodeOf(state, into);
    if (!node || (node->tag != kTagPlc && node->tag != kTagBranch)) {
        std::fprintf(stderr, "%s: no unit or branch %s\n", config.c_str(), into.c_str());
        return 1;
    }
    const TagCsvPlan plan = planTagCsvFile(state, *node, csv);
    if (!plan.problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", csv.c_str(), plan.problem.c_str());
        return 1;
    }
    for (const RowPlan& row : plan.rows)
        if (row.outcome == RowOutcome::refused)
            std::fprintf(stderr, "%s: row %d: %s%s%s\n", csv.c_str(), row.row, row.column.c_str(),
                         row.column.empty() ? "" : ": ", row.reason.c_str());
    std::printf("%s\n", planSummary(plan).c_str());
    if (plan.refusals > 0)
        return 1;
    applyTagCsv(state, plan);
    return CreateXML(state, config) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> options;
    std::string config;
    for (int at = 1; at < argc; ++at) {
        const std::string word = argv[at];
        if (word.starts_with("--") && at + 1 < argc)
            options[word] = argv[++at];
        else if (!word.starts_with("--") && config.empty())
            config = word;
        else
            config.clear(), options.clear(), at = argc;
    }
    const bool exporting = options.count("--export-csv") != 0;
    const bool importing = options.count("--import-csv") != 0 && options.count("--into") != 0;
    const size_t expected = exporting ? 1 + options.count("--from") : 2;
    if (config.empty() || exporting == importing || options.size() != expected) {
        std::fprintf(stderr, kUsage, argv[0], argv[0]);
        return 2;
    }
    if (exporting)
        return exportCsv(options["--export-csv"], options["--from"], config);
    return importCsv(options["--import-csv"], options["--into"], config);
}
