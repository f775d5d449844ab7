// Tag lists as CSV: what an export writes, and what an import's plan and its one step make of
// files from spreadsheets, good, bad and not tag lists at all.
#include "ChildProcess.h"
#include "ScratchDir.h"
#include "TestConfigs.h"
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/CsvText.h"
#include "editor/EditorError.h"
#include "editor/ModelInsert.h"
#include "editor/TagCsvImport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <random>

using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

const std::string kHeader =
    "Path,Name,Address,ModbusType,DataType,Bit,Elements,Access,Comment,ByteOrder,RawLow,"
    "RawHigh,EuLow,EuHigh,Units\r\n";

// The Tarnvale sample, with a scaled meter and a comment a spreadsheet has to quote, and an
// empty unit P3 to import into.
void buildPlant(EditorState& state) {
    buildTarnvaleRoundTrip(state);
    TreeNode& p1 = *state.tree.find("P1");
    auto meter = item("P1", "Power", "holding register:32 bit float", 300, "READ", 0, 0,
                      "kW, \"net\"\nafter losses");
    meter->sByteOrder = "CDAB";
    meter->sRawLow = "0";
    meter->sRawHigh = "27648";
    meter->sEuLow = "-1.5";
    meter->sEuHigh = "250";
    meter->sUnits = "kW";
    addItem(state, p1, meter);
    addDevice(state, tcpDevice("P3", "127.0.0.3", 3, 1000, 502));
}

// An item's settings without its key, to compare items under different units.
std::string settingsOf(const clsItem& item) {
    return item.sName + "|" + item.sComment + "|" + std::to_string(item.nAddress) + "|" +
           item.sDataType + "|" + std::to_string(item.nBitNumber) + "|" +
           std::to_string(item.nElements) + "|" + item.sAccessRight + "|" + item.sByteOrder + "|" +
           item.sRawLow + "|" + item.sRawHigh + "|" + item.sEuLow + "|" + item.sEuHigh + "|" +
           item.sUnits;
}

// The settings of the items below `unit`, in the order of the tree, each with its key below the
// unit.
std::vector<std::string> itemsBelow(const EditorState& state, const std::string& unit) {
    std::vector<std::string> found;
    std::vector<const TreeNode*> open{state.tree.find(unit)};
    while (!open.empty()) {
        const TreeNode* node = open.back();
        open.pop_back();
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child)
            open.push_back(*child);
        if (node->tag == kTagItem)
            found.push_back(node->key.substr(unit.size()) + "=" +
                            settingsOf(state.items.item(node->key)));
    }
    return found;
}

TagCsvPlan planFor(const EditorState& state, const std::string& target, const std::string& csv) {
    return planTagCsv(state, *state.tree.find(target), csv);
}

std::string goodRow(int n) {
    return ",Tag_" + std::to_string(n) + "," + std::to_string(n * 2) +
           ",holding register,signed 32 bit,,,READWRITE,row " + std::to_string(n) + ",,,,,,\r\n";
}

} // namespace

TEST(TagCsv, ExportThenImportIntoAnEmptyUnitGivesTheSameItemsAndTheSameCsv) {
    EditorState state;
    buildPlant(state);
    const std::string csv = exportTagCsv(state, *state.tree.find("P1"));
    ASSERT_TRUE(csv.starts_with(std::string(kUtf8Bom) + kHeader)) << csv.substr(0, 200);
    // The branch path, a bit only where it applies, quoting of the comment, order and scaling.
    EXPECT_NE(csv.find("\r\nPumps,T1,100,holding register,boolean,5,,READWRITE,"
                       "holding register boolean,,,,,,\r\n"),
              std::string::npos);
    EXPECT_NE(csv.find("\r\nPumps/Valves,States,8,coil,boolean array,,16,READ,"
                       "valve states & <alarms>,,,,,,\r\n"),
              std::string::npos);
    EXPECT_NE(csv.find("\r\n,Power,300,holding register,32 bit float,,,READ,"
                       "\"kW, \"\"net\"\"\nafter losses\",CDAB,0,27648,-1.5,250,kW\r\n"),
              std::string::npos)
        << csv;

    const TagCsvPlan plan = planFor(state, "P3", csv);
    ASSERT_EQ(plan.problem, "");
    EXPECT_EQ(plan.refusals, 0u) << previewOf(plan.rows[previewOrder(plan)[0]]).detail;
    EXPECT_EQ(plan.additions, itemsBelow(state, "P1").size());
    EXPECT_EQ(applyTagCsv(state, plan), plan.additions);

    EXPECT_EQ(itemsBelow(state, "P3"), itemsBelow(state, "P1"));
    EXPECT_TRUE(state.branches.contains("P3.Pumps.Valves"));
    EXPECT_EQ(exportTagCsv(state, *state.tree.find("P3")), csv);
}

TEST(TagCsv, FiveBadRowsAmongAThousandAreRefusedWithRowAndReasonAndTheRestAdded) {
    EditorState state;
    buildPlant(state);
    std::string csv = kHeader;
    for (int n = 0; n < 1000; ++n) {
        csv += goodRow(n);
        if (n == 100)
            csv += ",Far,70000,holding register,signed 16 bit,,,READ,,,,,,,\r\n";
        if (n == 200)
            csv += ",Odd,5,holding register,signed 12 bit,,,READ,,,,,,,\r\n";
        if (n == 300)
            csv += ",Flow,6,holding register,32 bit float,3,,READ,,,,,,,\r\n";
        if (n == 400)
            csv += ",Pump Speed,7,holding register,signed 16 bit,,,READ,,,,,,,\r\n";
        if (n == 500)
            csv += ",Tag_7,8,holding register,signed 16 bit,,,READ,,,,,,,\r\n";
    }
    const size_t itemsBefore = state.items.size();
    const TagCsvPlan plan = planFor(state, "P3", csv);
    ASSERT_EQ(plan.problem, "");
    EXPECT_EQ(plan.additions, 1000u);
    ASSERT_EQ(plan.refusals, 5u);
    EXPECT_EQ(state.items.size(), itemsBefore) << "the plan changed the configuration";

    // Header is row 1, Tag_0 row 2: the bad row after Tag_n is row n + 3, plus one for each
    // bad row above it.
    std::vector<std::string> shown;
    for (size_t at : previewOrder(plan)) {
        const RowPreview row = previewOf(plan.rows[at]);
        if (row.result == "refused")
            shown.push_back(row.row + " " + row.column + ": " + row.detail);
    }
    const std::vector<std::string> expected{
        "Row 103 Address: Memory address field is not valid. It must be between 0 and 65535.",
        "Row 204 DataType: \"signed 12 bit\" is not a data type of holding register.",
        "Row 305 Bit: A bit number applies only to booleans in registers, not to 32 bit float.",
        "Row 406 Name: Character ( ) not acceptable in string Pump Speed.",
        "Row 507 Name: The name appears already in row 9.",
    };
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(planSummary(plan), "1000 rows will add items, 0 will replace items of the same "
                                 "name, 5 are refused.");

    EXPECT_EQ(applyTagCsv(state, plan), 1000u);
    EXPECT_EQ(state.items.size(), itemsBefore + 1000);
    EXPECT_EQ(state.tree.find("P3")->children.size(), 1000u);
    EXPECT_EQ(state.items.item("P3.Tag_999").nAddress, 1998);
}

TEST(TagCsv, AnItemOfTheSameNameIsReplacedInItsPlaceAndAStalePlanChangesNothing) {
    EditorState state;
    buildPlant(state);
    const std::string csv = kHeader +
                            ",Level,44,holding register,signed 16 bit,,,WRITE,new,,,,,,\r\n" +
                            "Pumps,T1,,holding register,boolean,3,,READ,,,,,,,\r\n" +
                            "Pumps,Valves,1,coil,boolean,,,READ,,,,,,,\r\n" +
                            "Pumps/T2/Deeper,X,1,coil,boolean,,,READ,,,,,,,\r\n";
    const TagCsvPlan plan = planFor(state, "P1", csv);
    ASSERT_EQ(plan.rows.size(), 4u);
    EXPECT_EQ(plan.rows[0].outcome, RowOutcome::replace);
    EXPECT_EQ(previewOf(plan.rows[0]).result, "will replace an item of that name");
    EXPECT_EQ(plan.rows[1].reason, "Memory address field is empty.");
    EXPECT_EQ(plan.rows[2].reason, "Name already existing. Please use a different name.");
    EXPECT_EQ(plan.rows[3].column, "Path");

    // The configuration changed between the preview and the import: nothing is applied.
    EditorState changed;
    buildPlant(changed);
    const TagCsvPlan fresh = planFor(changed, "P3", kHeader + goodRow(1) + goodRow(2));
    addItem(changed, *changed.tree.find("P3"),
            item("P3", "Tag_2", "holding register:signed 16 bit", 0));
    const size_t before = changed.items.size();
    EXPECT_THROW(applyTagCsv(changed, fresh), EditorError);
    EXPECT_EQ(changed.items.size(), before);
    // An item took the name of a branch the plan makes.
    const TagCsvPlan withBranch = planFor(changed, "P3", kHeader + goodRow(3) + "Sub" + goodRow(4));
    addItem(changed, *changed.tree.find("P3"), item("P3", "Sub", "coil:boolean", 0));
    EXPECT_THROW(applyTagCsv(changed, withBranch), EditorError);
    EXPECT_EQ(changed.items.size(), before + 1);

    const std::vector<std::string> order = [&] {
        std::vector<std::string> keys;
        for (const auto& [key, object] : state.items)
            keys.push_back(key);
        return keys;
    }();
    EXPECT_EQ(applyTagCsv(state, plan), 1u);
    std::vector<std::string> after;
    for (const auto& [key, object] : state.items)
        after.push_back(key);
    EXPECT_EQ(after, order);
    EXPECT_EQ(state.items.item("P1.Level").nAddress, 44);
    EXPECT_EQ(state.items.item("P1.Level").sComment, "new");
}

TEST(TagCsv, SemicolonsIsoLatinAndUtf8WithBomReadAlike) {
    const std::string rows = "Path;Name;Address;ModbusType;DataType;Access;Comment\r\n"
                             "Kühlung;Pumpe_1;10;Holding Register;Signed 16 Bit;read;"
                             "Pumpe für Kühlwasser, Öl\r\n"
                             ";Tuer;11;coil;boolean;READ;Tür offen\r\n";
    // ISO-8859-1: each of ä ö ü Ö as its one byte.
    std::string latin1;
    for (size_t at = 0; at < rows.size(); ++at) {
        if (static_cast<unsigned char>(rows[at]) == 0xC3)
            latin1 += static_cast<char>(0xC0 | (static_cast<unsigned char>(rows[++at]) & 0x3F));
        else
            latin1 += rows[at];
    }
    ASSERT_EQ(latin1.find('\xC3'), std::string::npos);
    std::string commas = rows;
    commas.replace(commas.find("Pumpe f"), 0, "\"");
    commas.replace(commas.find("\r\n;Tuer"), 0, "\"");
    for (char& c : commas)
        if (c == ';')
            c = ',';

    EditorState state;
    buildPlant(state);
    std::vector<std::vector<std::string>> seen;
    for (const std::string& file : {rows, latin1, std::string(kUtf8Bom) + commas}) {
        const TagCsvPlan plan = planFor(state, "P3", file);
        ASSERT_EQ(plan.problem, "");
        std::vector<std::string> items;
        for (const RowPlan& row : plan.rows)
            items.push_back(row.item ? row.item->sKey + "=" + settingsOf(*row.item) : row.reason);
        seen.push_back(items);
    }
    const std::vector<std::string> expected{
        "P3.Kühlung.Pumpe_1=Pumpe_1|Pumpe für Kühlwasser, Öl|10|holding register:signed 16 "
        "bit|0|0|READ||||||",
        "P3.Tuer=Tuer|Tür offen|11|coil:boolean|0|0|READ||||||"};
    EXPECT_EQ(seen[0], expected);
    EXPECT_EQ(seen[1], expected);
    EXPECT_EQ(seen[2], expected);
}

// Files that are no tag list are refused whole, with a message, the configuration unchanged.
TEST(TagCsv, AFileThatIsNoTagListIsRefusedWithAMessage) {
    vorn::test::ScratchDir dir;
    EditorState state;
    buildPlant(state);
    const size_t itemsBefore = state.items.size();
    const TreeNode& p3 = *state.tree.find("P3");

    std::mt19937 random(30);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    std::string quoteNeverClosed = kHeader + ",A,1,coil,boolean,,,READ,\"open\r\n" + goodRow(1);
    const std::vector<std::pair<std::string, std::string>> files{
        {noise, "The file "},
        {"", "The file is empty: a tag list needs a header row and a row per item."},
        {std::string(kUtf8Bom) + "\r\n\r\n", "The file is empty"},
        {kHeader, "The file holds a header but no tag rows."},
        {"Name;Address\r\nA;1\r\n", "The file is not a tag list: its first row must name the "
                                    "columns Name, Address, ModbusType, DataType and Access "
                                    "(missing: ModbusType, DataType, Access)."},
        {"Name,Name,Address,ModbusType,DataType,Access\r\n",
         "The header names the column Name twice."},
        {quoteNeverClosed,
         "The file cannot be read as CSV. Row 2: a quoted field is never closed."},
    };
    for (const auto& [bytes, message] : files) {
        const TagCsvPlan plan = planTagCsv(state, p3, bytes);
        EXPECT_TRUE(plan.problem.starts_with(message)) << plan.problem;
        EXPECT_TRUE(plan.rows.empty());
    }

    // 50 MB is refused before it is read (the file is sparse: it costs no disk).
    const std::string large = dir.file("large.csv");
    {
        std::ofstream file(large, std::ios::binary);
        file << kHeader;
        file.seekp(50 * 1024 * 1024 - 1);
        file.put('\n');
    }
    EXPECT_EQ(planTagCsvFile(state, p3, large).problem,
              "The file " + large + " holds 50 MB; a tag list may hold at most 16 MB.");
    EXPECT_TRUE(
        planTagCsvFile(state, p3, dir.file("missing.csv")).problem.starts_with("The file "));
    EXPECT_EQ(planTagCsv(state, *state.tree.root(), kHeader + goodRow(1)).problem,
              "Tags can only be imported into a unit or a branch.");
    EXPECT_EQ(state.items.size(), itemsBefore);
}

// The command line: an import with refused rows names each of them, exits 1 and leaves the file
// as it was; a good one saves it; an export writes what the editor exports.
// A path that would make branches deeper than the servers load refuses its row, as the branch
// dialog refuses such a branch.
TEST(TagCsv, APathBeyondTheServersBranchDepthIsRefused) {
    EditorState state;
    buildPlant(state);
    TreeNode* level = state.tree.find("P3");
    for (int depth = 1; depth <= kMaxBranchDepth - 1; ++depth)
        level = &branch(state, *level, "L" + std::to_string(depth));
    const TagCsvPlan plan =
        planTagCsv(state, *level, kHeader + "A" + goodRow(1) + "A/B" + goodRow(2));
    ASSERT_EQ(plan.rows.size(), 2u);
    EXPECT_EQ(plan.rows[0].outcome, RowOutcome::add) << plan.rows[0].reason;
    EXPECT_EQ(plan.rows[1].outcome, RowOutcome::refused);
    EXPECT_EQ(plan.rows[1].column, "Path");
    EXPECT_EQ(plan.rows[1].reason, "Branches can be nested 64 levels deep under a unit: the "
                                   "servers load no deeper ones.");
}

TEST(TagCsvTool, ImportsOnlyWhenEveryRowIsGoodAndExportsAsTheEditorDoes) {
    vorn::test::ScratchDir dir;
    EditorState state;
    buildPlant(state);
    const std::string config = dir.file("plant.xml");
    ASSERT_TRUE(CreateXML(state, config));
    const std::string original = vorn::test::contentsOf(config);

    const std::string bad = dir.write(
        "bad.csv", kHeader + goodRow(1) + ",Far,70000,coil,boolean,,,READ,,,,,,,\r\n" + goodRow(1));
    const vorn::test::ProgramRun refused = vorn::test::runToEnd(
        QUILLMAR_CSV, {"--import-csv", bad, "--into", "P3", config}, std::chrono::seconds(60));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, bad +
                               ": row 3: Address: Memory address field is not valid. It must "
                               "be between 0 and 65535.\n" +
                               bad + ": row 4: Name: The name appears already in row 2.\n");
    EXPECT_EQ(vorn::test::contentsOf(config), original);

    const std::string good = dir.write("good.csv", kHeader + goodRow(1) + "Sub" + goodRow(2));
    const vorn::test::ProgramRun imported = vorn::test::runToEnd(
        QUILLMAR_CSV, {"--import-csv", good, "--into", "P3", config}, std::chrono::seconds(60));
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EditorState reopened;
    reopened.startConfiguration(config);
    ASSERT_TRUE(ImportXML(reopened, config));
    EXPECT_TRUE(reopened.items.contains("P3.Tag_1"));
    EXPECT_TRUE(reopened.items.contains("P3.Sub.Tag_2"));

    const std::string out = dir.file("out.csv");
    const vorn::test::ProgramRun exported =
        vorn::test::runToEnd(QUILLMAR_CSV, {"--export-csv", out, "--from", "P1/Pumps", config},
                             std::chrono::seconds(60));
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(vorn::test::contentsOf(out), exportTagCsv(reopened, *reopened.tree.find("P1.Pumps")));

    EXPECT_EQ(vorn::test::runToEnd(QUILLMAR_CSV, {"--into", "P3", config}, std::chrono::seconds(60))
                  .exitCode,
              2);
}
