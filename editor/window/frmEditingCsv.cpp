// The main window's tag list commands: "Export Tags to CSV..." writes the items below the
// selected unit or branch (or the whole configuration); "Import Tags from CSV..." reads a file
// into the selected unit or branch after the preview, in one step. The rules live in the core
// (TagCsv.h, TagCsvImport.h).
#include "FileDialogs.h"
#include "editor/CommandHandler.h"
#include "editor/EditorError.h"
#include "editor/TagCsvImport.h"
#include "frmCsvPreview.h"
#include "frmEditing.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProgressBar>

namespace vorn::editor {
namespace {

const char* const kCsvFilter = "tag lists (*.csv)";

bool holdsItems(const TreeNode* node) {
    return node && (node->tag == kTagPlc || node->tag == kTagBranch);
}

} // namespace

void frmEditing::exportTagsToCsv() {
    runHandler("mnuExportCsv_Click", [this] {
        EditorState& state = session_.state();
        TreeNode* selected = state.tree.selected();
        const TreeNode* node = holdsItems(selected) ? selected : state.tree.root();
        if (!node)
            return;
        const QString folder =
            QFileInfo(QString::fromStdString(session_.currentPath())).absolutePath();
        const std::string name = node == state.tree.root() ? "Tags" : node->text;
        const std::string path = dialogs_.saveFile(this, "Export Tags to CSV", kCsvFilter,
                                                   (folder + "/").toStdString() + name + ".csv");
        if (path.empty())
            return;
        if (auto problem = writeFileAtomically(path, exportTagCsv(state, *node), kSharedFileMode))
            showMessage(*problem, kEditorCaption, MessageIcon::warning, MessageButtons::ok, this);
    });
}

void frmEditing::importTagsFromCsv() {
    runHandler("mnuImportCsv_Click", [this] {
        EditorState& state = session_.state();
        TreeNode* target = state.tree.selected();
        if (!holdsItems(target))
            return;
        const std::string path = dialogs_.openFile(this, "Import Tags from CSV", kCsvFilter);
        if (path.empty())
            return;
        const TagCsvPlan plan = planTagCsvFile(state, *target, path);
        if (!plan.problem.empty()) {
            showMessage(plan.problem, kEditorCaption, MessageIcon::warning, MessageButtons::ok,
                        this);
            return;
        }
        {
            frmCsvPreview preview(plan, this);
            if (preview.exec() != QDialog::Accepted)
                return;
        }
        // The bar is drawn, but no events are handled while the items go in: nothing else may
        // change the configuration in the middle of the step.
        pnlPercent_->setValue(0);
        pnlImpStat_->show();
        pnlImpStat_->raise();
        auto showProgress = std::move(state.progressChanged);
        qint64 lastPaint = QDateTime::currentMSecsSinceEpoch();
        state.progressChanged = [this, &lastPaint](int percent) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (now - lastPaint < kProgressIntervalMs)
                return;
            lastPaint = now;
            pnlPercent_->setValue(percent);
            pnlPercent_->repaint();
        };
        struct Restore {
            EditorState& state;
            std::function<void(int)> progress;
            QWidget* panel;
            ~Restore() {
                state.progressChanged = std::move(progress);
                panel->hide();
            }
        } restore{state, std::move(showProgress), pnlImpStat_};
        const std::string targetKey = target->key;
        applyTagCsv(state, plan);
        configurationChanged();
        if (TreeNode* node = state.tree.find(targetKey))
            session_.nodeClick(*node);
    });
}

} // namespace vorn::editor
