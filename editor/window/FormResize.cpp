#include "FormResize.h"

#include <QWidget>
#include <vector>

namespace vorn::editor {
namespace {

constexpr const char* kContainerProperty = "vornResizeContainer";

// The controls of the area: its named child widgets, and those of the panels among them.
void collectControls(QWidget& parent, std::vector<QWidget*>& controls) {
    for (QObject* child : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->objectName().isEmpty() || widget->isWindow())
            continue;
        controls.push_back(widget);
        if (widget->property(kContainerProperty).toBool())
            collectControls(*widget, controls);
    }
}

ControlGeometry geometryOf(const QWidget& widget) {
    const QRect box = widget.geometry();
    ControlGeometry geometry{box.x(), box.y(), box.width(), box.height(), std::nullopt};
    if (widget.font().pointSizeF() > 0)
        geometry.fontSize = widget.font().pointSizeF();
    return geometry;
}

void apply(QWidget& widget, const ControlGeometry& geometry) {
    widget.setGeometry(geometry.left, geometry.top, std::max(0, geometry.width),
                       std::max(0, geometry.height));
    if (geometry.fontSize && *geometry.fontSize > 0) {
        QFont font = widget.font();
        font.setPointSizeF(*geometry.fontSize);
        widget.setFont(font);
    }
}

void resizeControl(clsResizeForm& record, QWidget& control, const SizeChange& change) {
    const std::string name = control.objectName().toStdString();
    clsResizeControl* remembered = record.GetControl(clsResizeControl::controlKey(name, ""));
    if (!remembered) {
        clsResizeControl fresh;
        fresh.Ctrl_Name = name;
        fresh.Tag = geometryTag(record.Form_Width, record.Form_Height, geometryOf(control));
        record.SetControl(fresh);
        remembered = record.GetControl(fresh.key());
    }
    // A record that does not read back leaves its control as it is.
    if (std::optional<ControlGeometry> recorded = geometryOfTag(remembered->Tag))
        apply(control, scaledGeometry(*recorded, change));
}

} // namespace

void setResizeContainer(QWidget& widget) {
    widget.setProperty(kContainerProperty, true);
}

void ResizeForm(ResizeRecords& records, QWidget& form, QWidget& area, int designHeight,
                int designWidth) {
    if (form.isMinimized())
        return;
    const std::string formName = form.objectName().toStdString();
    if (formName.empty())
        return;
    std::shared_ptr<clsResizeForm> record = records.find(formName);
    if (!record) {
        record = std::make_shared<clsResizeForm>();
        record->Form_Name = formName;
        const bool designed = designWidth >= 1 && designHeight >= 1;
        record->Form_Width = designed ? designWidth : form.width();
        record->Form_Height = designed ? designHeight : form.height();
        records.add(formName, record);
    }

    std::vector<QWidget*> controls;
    collectControls(area, controls);
    const SizeChange change =
        sizeChange(record->Form_Width, record->Form_Height, form.width(), form.height());
    for (QWidget* control : controls) {
        try {
            resizeControl(*record, *control, change);
        } catch (const std::exception&) {
            // Resizing is cosmetic: a control it cannot handle keeps its state.
        }
    }
}

} // namespace vorn::editor
