// Opening a configuration of 100,000 items in the window: the time it takes, the progress bar
// moving, and a close asked for meanwhile waiting until the import has ended. Runs in the
// sanitizer build too.
#include "TestConfigs.h"
#include "WindowRig.h"
#include "editor/ConfigExport.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <gtest/gtest.h>
#include <set>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

TEST(QuillmarLargeFile, OpeningAHundredThousandItemsShowsProgressAndDefersAClose) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    const std::string path = rig.dir.file("large.xml");
    {
        EditorState large;
        buildLargeConfiguration(large, 100);
        ASSERT_TRUE(CreateXML(large, path));
    }

    std::set<int> shownValues;
    int redraws = 0;
    QObject::connect(window.progressBar(), &QProgressBar::valueChanged, [&](int value) {
        shownValues.insert(value);
        ++redraws;
    });
    bool importingAtClose = false;
    bool visibleAfterClose = false;
    QTimer::singleShot(200, &window, [&] {
        importingAtClose = window.session().importing();
        window.close();
        visibleAfterClose = window.isVisible();
    });

    QElapsedTimer clock;
    clock.start();
    rig.open(path);
    const qint64 elapsed = clock.elapsed();
    std::printf("open of 100,000 items in the window: %lld ms, progress redrawn %d times\n",
                static_cast<long long>(elapsed), redraws);
    RecordProperty("open_ms", static_cast<int>(elapsed));

    // The close came during the import and did not end it.
    EXPECT_TRUE(importingAtClose);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.session().state().items.size(), 100000u);
    EXPECT_EQ(window.session().state().itemCounter, 100001);
    EXPECT_TRUE(rig.messages().empty());
    int shownItems = 0;
    for (QTreeWidgetItemIterator it(window.tree()); *it; ++it)
        ++shownItems;
    EXPECT_EQ(shownItems, 2 + 10 + 100 + 1000 + 100000);

    // The progress bar moved, at most once per 50 ms.
    EXPECT_GE(shownValues.size(), 2u);
    EXPECT_LE(redraws, elapsed / frmEditing::kProgressIntervalMs + 2);

    // The deferred close happens once the window handles events again.
    settle(100);
    EXPECT_FALSE(window.isVisible());
}
