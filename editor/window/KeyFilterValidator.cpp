#include "KeyFilterValidator.h"

#include <QLineEdit>
#include <algorithm>

namespace vorn::editor {

KeyFilterValidator::KeyFilterValidator(int (*filter)(int), QLineEdit* box)
    : QValidator(box), filter_(filter), box_(box), before_(box->text()) {}

// The box validates its whole new text after each change. What changed is the part between
// the text both versions begin with and the text both end with: only that part is filtered,
// so what was already in the box stays as it was.
QValidator::State KeyFilterValidator::validate(QString& input, int& position) const {
    const QString& before = before_;
    const qsizetype shorter = std::min(before.size(), input.size());
    qsizetype head = 0;
    while (head < shorter && before.at(head) == input.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head &&
           before.at(before.size() - 1 - tail) == input.at(input.size() - 1 - tail))
        ++tail;

    QString kept = input.left(head);
    int cursor = position;
    for (qsizetype at = head; at < input.size() - tail; ++at) {
        const char16_t c = input.at(at).unicode();
        if (c >= 32 && c < 127 && filter_(c) != 0)
            kept += input.at(at);
        else if (at < position)
            --cursor;
    }
    kept += input.right(tail);
    input = kept;
    position = std::clamp(cursor, 0, static_cast<int>(input.size()));
    before_ = input;
    return Acceptable;
}

void KeyFilterValidator::setTextUnfiltered(const QString& text) {
    box_->setValidator(nullptr);
    box_->setText(text);
    box_->setValidator(this);
    before_ = box_->text();
}

void setFilteredBoxText(QLineEdit& box, const QString& text) {
    auto* filter = dynamic_cast<KeyFilterValidator*>(const_cast<QValidator*>(box.validator()));
    if (filter)
        filter->setTextUnfiltered(text);
    else
        box.setText(text);
}

} // namespace vorn::editor
