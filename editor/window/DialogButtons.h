// The row of buttons closing the editor's property dialogs: "Ok" (cmdOk, the default button)
// and the cancel button (cmdCancel, captioned as each dialog names it).
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QHBoxLayout;

namespace vorn::editor {

// Ok runs `onOk`; the cancel button rejects `dialog`. The row is right-aligned.
QHBoxLayout* okCancelRow(QDialog& dialog, const QString& cancelCaption, std::function<void()> onOk);

} // namespace vorn::editor
