// The tag list commands of the main window: a file of a thousand good rows and five bad ones
// previewed and imported in one step, cancelled without a change, and files that are no tag
// list refused with a message.
#include "DialogDriving.h"
#include "TestConfigs.h"
#include "WindowRig.h"
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/ModelInsert.h"
#include "editor/window/frmCsvPreview.h"
#include "fileformat/ConfigFormat.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QLabel>
#include <QTableView>
#include <QTreeWidgetItem>
#include <fstream>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

// Unit U with one item, and an empty unit V; saved and opened in the window.
void openPlant(WindowRig& rig) {
    EditorState state;
    startNew(state, vorn::format::kTarnvaleName);
    addModbusType(state, modbusType("holding register", 3, 16, 6));
    TreeNode& u = addDevice(state, tcpDevice("U", "127.0.0.1", 1, 1000, 502));
    addItem(state, u, item(u.key, "Speed", "holding register:signed 16 bit", 10));
    addDevice(state, tcpDevice("V", "127.0.0.2", 2, 1000, 502));
    const std::string path = rig.dir.file("plant.xml");
    ASSERT_TRUE(CreateXML(state, path));
    rig.open(path);
}

std::string writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A thousand good rows in the branch Line, and after rows 100, 200, 300, 400 and 500 of them a
// bad one: address 70000, an unknown type, a bit on a float, a name with a blank, a name given
// twice.
std::string thousandAndFiveBad() {
    std::string csv = "Path,Name,Address,ModbusType,DataType,Bit,Elements,Access,Comment\r\n";
    const char* bad[] = {"Line,Far,70000,holding register,signed 16 bit,,,READ,\r\n",
                         "Line,Odd,5,holding register,signed 12 bit,,,READ,\r\n",
                         "Line,Flow,6,holding register,32 bit float,3,,READ,\r\n",
                         "Line,Pump Speed,7,holding register,signed 16 bit,,,READ,\r\n",
                         "Line,Tag_7,8,holding register,signed 16 bit,,,READ,\r\n"};
    for (int n = 0; n < 1000; ++n) {
        csv += "Line,Tag_" + std::to_string(n) + "," + std::to_string(n) +
               ",holding register,signed 16 bit,,,READWRITE,\r\n";
        if (n % 100 == 0 && n > 0 && n <= 500)
            csv += bad[n / 100 - 1];
    }
    return csv;
}

// Runs Import Tags from CSV on `key` with `csv`; `act` gets the preview when it comes up.
bool importThroughPreview(WindowRig& rig, const std::string& key, const std::string& csv,
                          std::function<void(frmCsvPreview&)> act) {
    bool seen = false;
    whenModal<frmCsvPreview>(act, &seen);
    rig.clickNode(key);
    rig.dialogs.queue(csv);
    rig.window->action("mnuImportCsv")->trigger();
    return seen;
}

QStringList previewRow(frmCsvPreview& preview, int row) {
    QAbstractItemModel* model = preview.rows()->model();
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(row, column).data().toString();
    return cells;
}

size_t itemsBelow(const TreeNode& node) {
    size_t count = 0;
    for (const TreeNode* child : node.children)
        count += child->tag == kTagItem ? 1 : itemsBelow(*child);
    return count;
}

} // namespace

TEST(QuillmarCsv, ThePreviewShowsTheFiveBadRowsAndImportingAddsExactlyTheThousandGoodOnes) {
    WindowRig rig;
    openPlant(rig);
    const std::string csv = writeFile(rig.dir.file("map.csv"), thousandAndFiveBad());

    // Cancel: nothing changes, and the configuration still counts as saved.
    const size_t before = rig.window->session().state().items.size();
    EXPECT_TRUE(importThroughPreview(rig, "V", csv,
                                     [](frmCsvPreview& preview) { press(preview, "cmdCancel"); }));
    EXPECT_EQ(rig.window->session().state().items.size(), before);
    EXPECT_EQ(rig.window->session().state().tree.find("V.Line"), nullptr);
    EXPECT_TRUE(rig.window->session().state().configSaved);

    std::vector<QStringList> refused;
    QString summary;
    EXPECT_TRUE(importThroughPreview(rig, "V", csv, [&](frmCsvPreview& preview) {
        summary = preview.summary()->text();
        for (int row = 0; row < 6; ++row)
            refused.push_back(previewRow(preview, row));
        press(preview, "cmdImport");
    }));
    EXPECT_EQ(summary, "1000 rows will add items, 0 will replace items of the same name, 5 are "
                       "refused.");
    const std::vector<QStringList> expected{
        {"Row 103", "refused", "Address",
         "Memory address field is not valid. It must be between 0 and 65535."},
        {"Row 204", "refused", "DataType",
         "\"signed 12 bit\" is not a data type of holding register."},
        {"Row 305", "refused", "Bit",
         "A bit number applies only to booleans in registers, not to 32 bit float."},
        {"Row 406", "refused", "Name", "Character ( ) not acceptable in string Pump Speed."},
        {"Row 507", "refused", "Name", "The name appears already in row 9."},
        {"Row 2", "will add", "", "Line/Tag_0"},
    };
    EXPECT_EQ(refused, expected);

    // One step: the collections, the tree and the list agree.
    const EditorState& state = rig.window->session().state();
    EXPECT_EQ(state.items.size(), before + 1000);
    const TreeNode* line = state.tree.find("V.Line");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(itemsBelow(*line), 1000u);
    EXPECT_EQ(rig.window->itemOf(line)->childCount(), 1000);
    rig.clickNode("V.Line");
    EXPECT_EQ(rig.listRows().size(), 1000);
    EXPECT_FALSE(state.configSaved);

    // Saving writes exactly the previewed items.
    const std::string saved = rig.dir.file("saved.xml");
    rig.saveAs(saved);
    EditorState reopened;
    reopened.startConfiguration(saved);
    ASSERT_TRUE(ImportXML(reopened, saved));
    EXPECT_EQ(reopened.items.size(), before + 1000);
    EXPECT_EQ(reopened.items.item("V.Line.Tag_999").nAddress, 999);
    EXPECT_FALSE(reopened.items.contains("V.Line.Far"));
}

TEST(QuillmarCsv, AFileThatIsNoTagListGivesAMessageAndChangesNothing) {
    WindowRig rig;
    openPlant(rig);
    std::string noise(256 * 1024, '\0');
    unsigned seed = 30;
    for (char& c : noise)
        c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    const std::string header = "Path,Name,Address,ModbusType,DataType,Access\r\n";
    const std::string large = rig.dir.file("large.csv");
    {
        std::ofstream file(large, std::ios::binary);
        file << header;
        file.seekp(50 * 1024 * 1024 - 1);
        file.put('\n');
    }
    const std::vector<std::pair<std::string, std::string>> files{
        {writeFile(rig.dir.file("noise.csv"), noise), "The file "},
        {writeFile(rig.dir.file("empty.csv"), ""), "The file is empty"},
        {writeFile(rig.dir.file("header.csv"), header), "The file holds a header but no tag rows."},
        {large, "The file " + large + " holds 50 MB; a tag list may hold at most 16 MB."},
    };
    const size_t before = rig.window->session().state().items.size();
    for (const auto& [path, message] : files) {
        rig.boxes.clear();
        bool previewed = false;
        EXPECT_FALSE(importThroughPreview(rig, "V", path, [&](frmCsvPreview& preview) {
            previewed = true;
            press(preview, "cmdCancel");
        })) << path;
        ASSERT_EQ(rig.messages().size(), 1u) << path;
        EXPECT_TRUE(rig.messages().front().starts_with(message)) << rig.messages().front();
        EXPECT_EQ(rig.window->session().state().items.size(), before);
        EXPECT_TRUE(rig.window->session().state().configSaved);
    }
}
