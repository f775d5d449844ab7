// Quillmar's main window: the configuration as a tree (TreeView1) and the selected node's
// contents as a list (ListView1), under the menus and the toolbar. It presents the editor
// session: the file commands, the selection, the enabled commands; the rules live in the core.
#pragma once

#include "ObjectListView.h"
#include "WindowClipboard.h"
#include "editor/EditorSession.h"
#include "editor/ResizeRecords.h"

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <unordered_map>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace vorn::editor {

class FileDialogs;
class frmFind;
class frmAbout;

class frmEditing : public QMainWindow, private SessionHost {
    Q_OBJECT

public:
    // New configurations are proposed in `programFolder`; saved paths are stored in `registry`.
    frmEditing(FileDialogs& dialogs, const std::string& programFolder, Registry registry,
               QWidget* parent = nullptr);
    ~frmEditing() override;

    EditorSession& session() { return session_; }
    QTreeWidget* tree() const { return TreeView1_; }
    ObjectListView* list() const { return ListView1_; }
    QWidget* importPanel() const { return pnlImpStat_; }
    QProgressBar* progressBar() const { return pnlPercent_; }
    QAction* action(const QString& objectName) const;
    QMenu* menu(const QString& objectName) const;
    frmFind* findDialog() const;
    frmAbout* aboutDialog() const;
    // Copy, Cut, Paste, the tree's drag and drop and the pastes from the system clipboard.
    WindowClipboard& clipboard() { return *clipboard_; }
    // The tree item showing `node`; null when there is none.
    QTreeWidgetItem* itemOf(const TreeNode* node) const;
    // Selects `node` as a click on it does, and gives the tree the focus.
    void selectNode(TreeNode& node);
    // How often the import redraws its progress at most.
    static constexpr int kProgressIntervalMs = 50;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // F2, Return and Enter on the tree edit the selected node.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // SessionHost
    std::optional<std::string> chooseServerKind() override;
    std::string chooseFileToOpen() override;
    std::string chooseFileToSaveAs(const std::string& fileName) override;
    void importStarted() override;
    void importEnded() override;
    void configurationChanged() override;
    void pathChanged() override;
    void selectionChanged() override;
    void nodeListed() override;

    void buildMenus();
    void buildToolbar();
    void buildCentralArea();
    void layOutAtStartUp();
    QAction* addCommand(QMenu* menu, const char* caption, const char* name, int group,
                        const QKeySequence& shortcut = {});
    void applyEnabling();
    void showTitle();
    void rebuildTree();
    void showImportProgress(int percent);
    void onTreeCurrentChanged(QTreeWidgetItem* item);
    void onTreeClicked(QTreeWidgetItem* item);
    void onListDoubleClicked(const QString& key);
    void editNode(TreeNode* node);
    void addUnit();
    void addModbusType();
    void addBranch();
    void addItem();
    void editItem(TreeNode& node);
    void showItemChanges(TreeNode& listed);
    void exportTagsToCsv();
    void importTagsFromCsv();
    void deleteObject();
    void showFind();
    void showAbout();
    void setListMode(ListMode mode);

    FileDialogs& dialogs_;
    EditorSession session_;
    QTreeWidget* TreeView1_ = nullptr;
    ObjectListView* ListView1_ = nullptr;
    QToolBar* Toolbar1_ = nullptr;
    QWidget* pnlImpStat_ = nullptr;
    QLabel* lblLabel_ = nullptr;
    QProgressBar* pnlPercent_ = nullptr;
    std::map<QString, QMenu*> menus_;
    std::map<QString, QAction*> actions_;
    std::multimap<int, QAction*> groupActions_;
    std::unordered_map<const TreeNode*, QTreeWidgetItem*> items_;
    QPointer<frmFind> findDialog_;
    QPointer<frmAbout> aboutDialog_;
    std::unique_ptr<WindowClipboard> clipboard_;
    ResizeRecords resizeRecords_;
    int designWidth_ = 0;
    int designHeight_ = 0;
    bool loading_ = true;        // laying out at start-up: no resize handling
    bool presenting_ = false;    // the window itself changes the tree's selection
    bool rowClickShown_ = false; // a list row click is being shown: the rows stay as they are
    bool closeAfterImport_ = false;
    QTreeWidgetItem* changedByPress_ = nullptr;
    qint64 lastProgressPaint_ = 0;
};

} // namespace vorn::editor
