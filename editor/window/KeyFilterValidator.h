// A text box's key filter as a validator: every character that reaches the box, typed one at
// a time or inserted at once by a paste or a drop, passes the filter or is left out. Text the
// dialog itself puts into the box (setFilteredBoxText) is taken as it is.
#pragma once

#include <QValidator>

class QLineEdit;

namespace vorn::editor {

class KeyFilterValidator : public QValidator {
public:
    // Filters what is inserted into `box`; `filter` gives the character back when the box
    // accepts it, else 0.
    KeyFilterValidator(int (*filter)(int), QLineEdit* box);
    State validate(QString& input, int& position) const override;
    // Sets the box's text without filtering it: the proposed "New Item 0" keeps its blank,
    // though a blank cannot be typed.
    void setTextUnfiltered(const QString& text);

private:
    int (*filter_)(int);
    QLineEdit* box_;
    // The box's text after the last change: the box has changed its own text already when it
    // asks for validation.
    mutable QString before_;
};

// setTextUnfiltered for a box with a KeyFilterValidator, plain setText for any other box.
void setFilteredBoxText(QLineEdit& box, const QString& text);

} // namespace vorn::editor
