#include "ui/CommStatusDialog.h"

#include "ConfigFiles.h"
#include "GuiTestRig.h"
#include "toolkit/SODaSCache.h"

#include <QPushButton>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <map>

using namespace vorn;
using namespace vorn::test;
using vorn::ui::CommStatusDialog;

namespace {

using Rows = std::map<std::string, std::pair<std::string, std::string>>; // name: value, quality
using Texts = std::vector<std::string>;

Rows rowsOf(const CommStatusDialog& dialog) {
    Rows rows;
    const QTreeWidget& list = *dialog.tagList();
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list.topLevelItem(i);
        rows[row->text(0).toStdString()] = {row->text(1).toStdString(), row->text(2).toStdString()};
    }
    return rows;
}

Texts rowNames(const CommStatusDialog& dialog) {
    Texts names;
    for (int i = 0; i < dialog.tagList()->topLevelItemCount(); ++i)
        names.push_back(dialog.tagList()->topLevelItem(i)->text(0).toStdString());
    return names;
}

void select(CommStatusDialog& dialog, const std::string& text) {
    QTreeWidgetItem* item = findItem(*dialog.networkTree(), text);
    ASSERT_NE(item, nullptr) << text;
    dialog.networkTree()->setCurrentItem(item);
}

void pressRefresh(CommStatusDialog& dialog) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == "&Refresh")
            return QTest::mouseClick(button, Qt::LeftButton);
    FAIL() << "no Refresh button";
}

SOCmnPointer<SODaSItem> activate(EngineRig& rig, SODaSGroup& group, const std::string& id) {
    auto item = rig.client().addItem(group, id);
    rig.client().setActive(*item, true);
    return item;
}

} // namespace

TEST(CommStatusDialog, BlocksAreLabelledAndTagsShowTheirValuesAndQualities) {
    EngineRig rig;
    startPlant(rig);
    CommStatusDialog dialog(*rig.engine(), rig.queues());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Communication Status");
    QTreeWidget& tree = *dialog.networkTree();
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), "PLCs Network");
    EXPECT_TRUE(tree.topLevelItem(0)->isExpanded());
    EXPECT_EQ(childTexts(*tree.topLevelItem(0)), Texts{"P1"});
    EXPECT_EQ(childTexts(*findItem(tree, "P1")),
              (Texts{"COIL0-LEN2", "HREG100-LEN10", "INPUT0-LEN16"}));
    EXPECT_EQ(dialog.tagList()->headerItem()->text(0), "Tag Name");
    EXPECT_EQ(dialog.tagList()->headerItem()->text(1), "Value");
    EXPECT_EQ(dialog.tagList()->headerItem()->text(2), "Quality");

    const std::string good = qualityText(Quality::kGood);
    select(dialog, "HREG100-LEN10");
    EXPECT_EQ(rowsOf(dialog), (Rows{{"Level", {"1.500000", good}}, {"Spare", {"0", good}}}));
    select(dialog, "COIL0-LEN2");
    EXPECT_EQ(rowsOf(dialog), (Rows{{"Run", {"TRUE", good}}, {"Stop", {"FALSE", good}}}));
    select(dialog, "INPUT0-LEN16");
    EXPECT_EQ(rowsOf(dialog), (Rows{{"Inputs", {"[..]", good}}}));

    select(dialog, "P1");
    EXPECT_TRUE(rowsOf(dialog).empty()) << "a device shows no tags";
    select(dialog, "HREG100-LEN10");
    EXPECT_EQ(rowsOf(dialog).size(), 2u);
    select(dialog, "PLCs Network");
    EXPECT_TRUE(rowsOf(dialog).empty()) << "the root shows no tags";
    pressRefresh(dialog);
    EXPECT_TRUE(rowsOf(dialog).empty()) << "refresh without a block keeps the list empty";
}

// Polling per connection: each connection's worker has its own engine; the dialog shows the
// devices and blocks of all of them and lists the tags of any worker's block.
TEST(CommStatusDialog, EveryWorkersDevicesAndBlocksAreShown) {
    EngineRig first;
    startPlant(first);
    EngineRig second;
    SimDevice& sim = second.addSimulator({"--unit", "1", "--set", "hr:7=42"});
    second.start("", plcFor(sim, "Kiln", tagElement("Heat", "HREGISTER VT_I2", "7")));
    auto group = second.client().addGroup("kiln", 100);
    auto heat = activate(second, *group, "Kiln.Heat");
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return second.client().readFromCache("Kiln.Heat").quality == Quality::kGood; },
        5000));

    CommStatusDialog dialog({{first.engine(), &first.queues().engineLock()},
                             {second.engine(), &second.queues().engineLock()}});
    QTreeWidget& tree = *dialog.networkTree();
    EXPECT_EQ(childTexts(*tree.topLevelItem(0)), (Texts{"Kiln", "P1"}));
    EXPECT_EQ(childTexts(*findItem(tree, "Kiln")), Texts{"HREG7-LEN1"});
    EXPECT_EQ(childTexts(*findItem(tree, "P1")),
              (Texts{"COIL0-LEN2", "HREG100-LEN10", "INPUT0-LEN16"}));

    const std::string good = qualityText(Quality::kGood);
    select(dialog, "HREG7-LEN1");
    EXPECT_EQ(rowsOf(dialog), (Rows{{"Heat", {"42", good}}}));
    select(dialog, "COIL0-LEN2");
    EXPECT_EQ(rowsOf(dialog), (Rows{{"Run", {"TRUE", good}}, {"Stop", {"FALSE", good}}}));

    // The second worker's block goes when its tag leaves; refresh drops it from the tree.
    select(dialog, "HREG7-LEN1");
    second.client().setActive(*heat, false);
    ASSERT_TRUE(EngineRig::eventually([&] { return second.pollBlocks().empty(); }, 3000));
    pressRefresh(dialog);
    EXPECT_TRUE(childTexts(*findItem(tree, "Kiln")).empty());
    EXPECT_TRUE(rowsOf(dialog).empty());
    EXPECT_EQ(childTexts(*findItem(tree, "P1")).size(), 3u);
}

TEST(CommStatusDialog, DevicesAppearInNameOrderAndWithoutBlocksAsLeaves) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    const std::string tag = tagElement("T", "HREGISTER VT_I2", "1");
    rig.start("", plcFor(sim, "Zeta", tag) + plcFor(sim, "alpha", tag) + plcFor(sim, "Mike", tag) +
                      plcFor(sim, "Bravo", tag));
    CommStatusDialog dialog(*rig.engine(), rig.queues());
    const QTreeWidgetItem* root = dialog.networkTree()->topLevelItem(0);
    EXPECT_EQ(childTexts(*root), (Texts{"alpha", "Bravo", "Mike", "Zeta"}));
    for (int i = 0; i < root->childCount(); ++i)
        EXPECT_EQ(root->child(i)->childCount(), 0);
}

TEST(CommStatusDialog, RefreshFollowsActivationChangesOfTheSelectedBlock) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:100=7", "--set", "hr:105=9"});
    rig.start("", plcFor(sim, "P1",
                         tagElement("A", "HREGISTER VT_I2", "100") +
                             tagElement("B", "HREGISTER VT_I2", "105")));
    auto group = rig.client().addGroup("g", 100);
    auto a = activate(rig, *group, "P1.A");
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Texts{"HREG100-LEN1@100"}; }, 3000));
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.A").quality == Quality::kGood; }, 3000));
    CommStatusDialog dialog(*rig.engine(), rig.queues());
    dialog.show();
    select(dialog, "HREG100-LEN1");
    EXPECT_EQ(rowsOf(dialog), (Rows{{"A", {"7", qualityText(Quality::kGood)}}}));

    auto b = activate(rig, *group, "P1.B");
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Texts{"HREG100-LEN6@100"}; }, 3000))
        << testing::PrintToString(rig.pollBlocks());
    EXPECT_EQ(rowNames(dialog), Texts{"A"}) << "nothing changes before Refresh";
    pressRefresh(dialog);
    EXPECT_EQ(childTexts(*findItem(*dialog.networkTree(), "P1")), Texts{"HREG100-LEN6"});
    EXPECT_EQ(rowNames(dialog), (Texts{"A", "B"}));

    rig.client().setActive(*a, false);
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Texts{"HREG105-LEN1@100"}; }, 3000))
        << testing::PrintToString(rig.pollBlocks());
    pressRefresh(dialog);
    EXPECT_EQ(childTexts(*findItem(*dialog.networkTree(), "P1")), Texts{"HREG105-LEN1"});
    EXPECT_EQ(rowNames(dialog), Texts{"B"});

    rig.client().setActive(*b, false);
    ASSERT_TRUE(EngineRig::eventually([&] { return rig.pollBlocks().empty(); }, 3000));
    pressRefresh(dialog);
    EXPECT_TRUE(childTexts(*findItem(*dialog.networkTree(), "P1")).empty())
        << "a block that went away leaves the tree";
    EXPECT_TRUE(rowNames(dialog).empty());
}

TEST(CommStatusDialog, SelectingABlockThatWentAwayRemovesIt) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1", tagElement("A", "HREGISTER VT_I2", "100")));
    auto group = rig.client().addGroup("g", 100);
    auto a = activate(rig, *group, "P1.A");
    ASSERT_TRUE(EngineRig::eventually([&] { return rig.pollBlocks().size() == 1; }, 3000));
    CommStatusDialog dialog(*rig.engine(), rig.queues());
    dialog.show();
    ASSERT_EQ(childTexts(*findItem(*dialog.networkTree(), "P1")), Texts{"HREG100-LEN1"});

    rig.client().setActive(*a, false);
    ASSERT_TRUE(EngineRig::eventually([&] { return rig.pollBlocks().empty(); }, 3000));
    select(dialog, "HREG100-LEN1");
    EXPECT_TRUE(rowNames(dialog).empty());
    EXPECT_TRUE(processEventsUntil(
        [&] { return childTexts(*findItem(*dialog.networkTree(), "P1")).empty(); }, 1000));
}

TEST(CommStatusDialog, ADeviceOnItsBackupAddressShowsTheAddressInUse) {
    EngineRig rig;
    SimDevice& first = rig.addSimulator();
    SimDevice& second = rig.addSimulator({"--unit", "1", "--set", "hr:5=2"});
    const std::string plc =
        plcFor(first, "P1", tagElement("T", "HREGISTER VT_I2", "5"),
               " backupaddress=\"127.0.0.1\" backupport=\"" +
                   std::to_string(second.process->port()) + "\" backupafter=\"1\"");
    first.process->stop(); // the device's own address refuses connections
    rig.start("", plc);
    CommStatusDialog dialog(*rig.engine(), rig.queues());
    dialog.show();
    auto group = rig.client().addGroup("g", 100);
    activate(rig, *group, "P1.T");

    const std::string label = "P1 (using 127.0.0.1:" + std::to_string(second.process->port()) + ")";
    QTreeWidget& tree = *dialog.networkTree();
    EXPECT_TRUE(EngineRig::eventually(
        [&] {
            pressRefresh(dialog);
            return findItem(tree, label) != nullptr;
        },
        10000))
        << testing::PrintToString(childTexts(*tree.topLevelItem(0)));
    EXPECT_EQ(childTexts(*tree.topLevelItem(0)), Texts{label});
}
