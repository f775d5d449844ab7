#include "platform/qt/QtMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vorn;

namespace {

struct SeenBox {
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    int buttons = 0;
};

// Once the box is up, notes what it shows and presses `press`.
void answerNextBox(SeenBox& seen, QMessageBox::StandardButton press) {
    QTimer::singleShot(50, [&seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return answerNextBox(seen, press);
        seen = {box->text(), box->windowTitle(), box->icon(), box->parentWidget(),
                static_cast<int>(box->buttons().size())};
        box->button(press)->click();
    });
}

} // namespace

TEST(QtMessageBox, ShowsARealBoxOwnedByTheWindowAndReturnsTheButtonPressed) {
    QMainWindow owner;
    owner.show();
    QtMessageBox boxes;
    SeenBox seen;
    answerNextBox(seen, QMessageBox::No);
    EXPECT_EQ(boxes.show(&owner, "Overwrite?", "Quillmar", MessageIcon::question,
                         MessageButtons::yesNoCancel),
              MessageAnswer::no);
    EXPECT_EQ(seen.text, "Overwrite?");
    EXPECT_EQ(seen.caption, "Quillmar");
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.parent, &owner);
    EXPECT_EQ(seen.buttons, 3);

    answerNextBox(seen, QMessageBox::Ok);
    EXPECT_EQ(boxes.show(nullptr, "No ModBus PLC configured. OPC Server being closed.",
                         "OPC ModBus Server", MessageIcon::warning, MessageButtons::ok),
              MessageAnswer::ok);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, 1);
}
