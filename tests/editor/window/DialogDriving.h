// Driving a dialog's controls by their object names, as a user types, picks and presses.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace vorn::editor::test {

// The control `name` of `dialog`; a missing one fails the test and gives null.
template <class T> T* child(QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

inline void press(QWidget& dialog, const char* button) {
    child<QPushButton>(dialog, button)->click();
}

// Empties the text box `field` and types `text` key by key, through its filters.
inline void type(QWidget& dialog, const char* field, const QString& text) {
    QLineEdit* line = child<QLineEdit>(dialog, field);
    line->clear();
    QTest::keyClicks(line, text);
}

inline void pick(QWidget& dialog, const char* list, const QString& entry) {
    QComboBox* combo = child<QComboBox>(dialog, list);
    const int index = combo->findText(entry);
    ASSERT_GE(index, 0) << list << ": " << entry.toStdString();
    combo->setCurrentIndex(index);
}

} // namespace vorn::editor::test
