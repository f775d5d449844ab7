// Resizing a form's controls with the form: each control's geometry and font are remembered
// the first time and scaled from those values by the change of the form's size against its
// reference size.
#pragma once

#include "editor/ResizeRecords.h"

class QWidget;

namespace vorn::editor {

// Marks `widget` as a container whose own child controls are resized too (a panel); the
// inner widgets of other controls (scroll bars, views) are left to their control.
void setResizeContainer(QWidget& widget);

// Scales every control of `area` (the form's central area) for `form`'s current size. The
// reference size is the design size when it is at least 1, else the form's size at the first
// call. A minimised form is left alone; a control that cannot take a value keeps it.
void ResizeForm(ResizeRecords& records, QWidget& form, QWidget& area, int designHeight,
                int designWidth);

} // namespace vorn::editor
