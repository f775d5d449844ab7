#include "frmAdvanced.h"

#include "DialogButtons.h"
#include "editor/EditorError.h"
#include "platform/MessageBox.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vorn::editor {

frmAdvanced::frmAdvanced(const DeviceAdvanced& settings, const std::string& serverKind,
                         QWidget* parent)
    : QDialog(parent), settings_(settings), serverKind_(serverKind) {
    setWindowTitle("Advanced Unit Settings");
    setModal(true);
    auto* form = new QFormLayout;
    for (const AdvancedSetting& setting : DeviceAdvanced::settingsFor(serverKind)) {
        auto* line = new QLineEdit(QString::fromStdString(settings.text(setting.name)), this);
        line->setObjectName(QString::fromStdString(setting.name));
        form->addRow(QString::fromStdString(setting.title), line);
        lines_[setting.name] = line;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(okCancelRow(*this, "Cancel", [this] { apply(); }));
}

void frmAdvanced::apply() {
    std::map<std::string, std::string> typed;
    for (const auto& [name, line] : lines_)
        typed[name] = line->text().toStdString();
    DeviceAdvanced checked = settings_;
    if (auto problem = checked.setFromDialog(typed, serverKind_)) {
        showMessage(*problem, kEditorCaption, MessageIcon::none, MessageButtons::ok, this);
        return;
    }
    settings_ = checked;
    accept();
}

} // namespace vorn::editor
