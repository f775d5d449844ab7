// The main window's controls follow its size: geometry and font scale with it, from the
// values they had first, so going back restores them exactly.
#include "WindowRig.h"

#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

struct Layout {
    QRect geometry;
    double fontSize;
    bool operator==(const Layout&) const = default;
};

std::map<QString, Layout> layoutOf(frmEditing& window) {
    std::map<QString, Layout> layout;
    for (const char* name : {"TreeView1", "ListView1", "pnlImpStat", "lblLabel", "pnlPercent"}) {
        auto* control = window.findChild<QWidget*>(name);
        layout[name] = {control->geometry(), control->font().pointSizeF()};
    }
    return layout;
}

void resizeTo(frmEditing& window, int width, int height) {
    window.resize(width, height);
    QTRY_COMPARE_WITH_TIMEOUT(window.size(), QSize(width, height), 2000);
    settle(20);
}

} // namespace

TEST(QuillmarResize, DoublingDoublesEveryControlAndGoingBackRestoresTheStartUpLayout) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    settle(20);
    const QSize start = window.size();
    const auto initial = layoutOf(window);

    resizeTo(window, start.width() * 2, start.height() * 2);
    const auto doubled = layoutOf(window);
    for (const auto& [name, before] : initial) {
        const Layout& after = doubled.at(name);
        EXPECT_EQ(after.geometry, QRect(before.geometry.x() * 2, before.geometry.y() * 2,
                                        before.geometry.width() * 2, before.geometry.height() * 2))
            << name.toStdString();
        EXPECT_DOUBLE_EQ(after.fontSize, before.fontSize * 2) << name.toStdString();
    }

    resizeTo(window, start.width(), start.height());
    EXPECT_EQ(layoutOf(window), initial);

    // Wider only: positions and widths follow, heights and fonts do not.
    resizeTo(window, start.width() * 2, start.height());
    for (const auto& [name, after] : layoutOf(window)) {
        EXPECT_EQ(after.geometry.width(), initial.at(name).geometry.width() * 2);
        EXPECT_EQ(after.geometry.height(), initial.at(name).geometry.height());
        EXPECT_DOUBLE_EQ(after.fontSize, initial.at(name).fontSize) << name.toStdString();
    }
    resizeTo(window, start.width(), start.height());

    // Minimised and restored: nothing moves.
    window.showMinimized();
    settle(50);
    window.showNormal();
    settle(50);
    EXPECT_EQ(layoutOf(window), initial);
}

// Shrinking scales fonts down to 8 pt and no further (a font designed smaller stays as it was);
// growing back restores them.
TEST(QuillmarResize, ASmallWindowKeepsItsFontsAtAReadableMinimum) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    settle(20);
    const QSize start = window.size();
    const auto initial = layoutOf(window);
    for (const QSize small : {QSize(520, 380), QSize(260, 190)}) {
        resizeTo(window, small.width(), small.height());
        for (const auto& [name, after] : layoutOf(window)) {
            const double designed = initial.at(name).fontSize;
            EXPECT_GE(after.fontSize, std::min(designed, kMinimumFontPoints))
                << name.toStdString() << " at " << small.width() << " x " << small.height();
            EXPECT_LE(after.fontSize, designed) << name.toStdString();
        }
    }
    resizeTo(window, start.width(), start.height());
    EXPECT_EQ(layoutOf(window), initial);
}
