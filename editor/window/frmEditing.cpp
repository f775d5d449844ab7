#include "frmEditing.h"

#include "EditorImages.h"
#include "FileDialogs.h"
#include "FormResize.h"
#include "editor/CommandHandler.h"
#include "editor/ProductInfo.h"
#include "frmAbout.h"
#include "frmBranch.h"
#include "frmFind.h"
#include "frmItems.h"
#include "frmModBus.h"
#include "frmPLC.h"
#include "frmSelect.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QToolBar>
#include <QTreeWidget>
#include <algorithm>

namespace vorn::editor {
namespace {

constexpr int kNodeRole = Qt::UserRole;
const char* const kFileFilter = "configuration files (*.xml)";

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

TreeNode* nodeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<TreeNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

// The toolbar: key, tooltip, the menu command it runs, and the key of its image where that
// differs from the button's.
struct ToolbarButton {
    const char* key;
    const char* tooltip;
    const char* command;
    const char* image;
};
const ToolbarButton kToolbarButtons[] = {
    {"new", "new config", "mnuNewCfg", nullptr},
    {"open", "open config", "mnuOpenCfg", nullptr},
    {"save", "save config", "mnuSaveCfg", nullptr},
    {"close", "close config", "mnuCloseCfg", nullptr},
    {"modbus", "add modbus type", "mnuAddMBType", nullptr},
    {"plc", "add Unit", "mnuAddPlc", nullptr},
    {"branch", "add Branch", "mnuAddBranch", nullptr},
    {"item", "add Item", "mnuAddItem", nullptr},
    {"copy", "copy", "mnuCopy", nullptr},
    {"cut", "cut", "mnuCut", nullptr},
    {"paste", "paste", "mnuPaste", nullptr},
    {"delete", "delete", "mnuDelete", nullptr},
    {"icon", "view icon", "mnuIcon", nullptr},
    {"smallicon", "view smallicon", "mnuSmallIcon", nullptr},
    {"list", "view list", "mnuList", nullptr},
    {"report", "view report", "mnuReport", nullptr},
    {"find", "", "mnuFind", nullptr},
    {"pastitem", "Replace Item Name", "mnuPasteName", "pastename"},
    {"pastcomment", "Replace Item Comment", "mnuPasteComment", "pastecomment"},
    {"exit", "exit", "mnuExit", nullptr},
};

} // namespace

frmEditing::frmEditing(FileDialogs& dialogs, const std::string& programFolder, Registry registry,
                       QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), session_(*this, programFolder, std::move(registry)) {
    runHandler("Form_Load", [this] {
        setObjectName("frmEditing");
        setWindowTitle(text(mainWindowCaption()));
        setWindowIcon(treeImage("config"));
        session_.setLargeIconKeys(listImageKeys());
        session_.state().progressChanged = [this](int percent) { showImportProgress(percent); };
        buildMenus();
        buildToolbar();
        buildCentralArea();
        layOutAtStartUp();
        applyEnabling();
    });
    loading_ = false;
}

frmEditing::~frmEditing() {
    session_.state().progressChanged = nullptr;
    if (findDialog_)
        delete findDialog_;
    if (aboutDialog_)
        delete aboutDialog_;
}

// "Quillmar - Tarnvale.xml*" while the open configuration has changes not saved.
void frmEditing::showTitle() {
    const EditorState& state = session_.state();
    QString title = text(mainWindowCaption());
    if (state.configOpen)
        title += " - " + QFileInfo(text(session_.currentPath())).fileName() + "[*]";
    setWindowTitle(title);
    setWindowModified(state.configOpen && !state.configSaved);
}

QAction* frmEditing::action(const QString& objectName) const {
    auto it = actions_.find(objectName);
    return it == actions_.end() ? nullptr : it->second;
}

frmFind* frmEditing::findDialog() const {
    return findDialog_;
}

frmAbout* frmEditing::aboutDialog() const {
    return aboutDialog_;
}

QMenu* frmEditing::menu(const QString& objectName) const {
    auto it = menus_.find(objectName);
    return it == menus_.end() ? nullptr : it->second;
}

QTreeWidgetItem* frmEditing::itemOf(const TreeNode* node) const {
    auto it = items_.find(node);
    return it == items_.end() ? nullptr : it->second;
}

QAction* frmEditing::addCommand(QMenu* menu, const char* caption, const char* name, int group,
                                const QKeySequence& shortcut) {
    QAction* command = menu->addAction(caption);
    command->setObjectName(name);
    if (!shortcut.isEmpty())
        command->setShortcut(shortcut);
    actions_[name] = command;
    if (group > 0)
        groupActions_.emplace(group, command);
    return command;
}

void frmEditing::buildMenus() {
    auto addMenu = [this](const char* caption, const char* name) {
        QMenu* created = menuBar()->addMenu(caption);
        created->setObjectName(name);
        created->menuAction()->setObjectName(name);
        menus_[name] = created;
        return created;
    };
    QMenu* file = addMenu("&File", "mnuFile");
    connect(addCommand(file, "&New Configuration", "mnuNewCfg", kGroupFile, QKeySequence("Ctrl+N")),
            &QAction::triggered, this, [this] { session_.newConfiguration(); });
    connect(
        addCommand(file, "&Open Configuration", "mnuOpenCfg", kGroupFile, QKeySequence("Ctrl+O")),
        &QAction::triggered, this, [this] { session_.openConfiguration(); });
    file->addSeparator();
    connect(addCommand(file, "&Save Configuration", "mnuSaveCfg", kGroupSaveClose,
                       QKeySequence("Ctrl+S")),
            &QAction::triggered, this, [this] { (void)session_.saveConfiguration(); });
    connect(addCommand(file, "Save Configuration &As", "mnuSaveAs", kGroupSaveClose),
            &QAction::triggered, this, [this] { (void)session_.saveConfigurationAs(); });
    file->addSeparator();
    connect(addCommand(file, "&Export Tags to CSV...", "mnuExportCsv", kGroupSaveClose),
            &QAction::triggered, this, [this] { exportTagsToCsv(); });
    connect(addCommand(file, "&Import Tags from CSV...", "mnuImportCsv", kGroupAddItem),
            &QAction::triggered, this, [this] { importTagsFromCsv(); });
    file->addSeparator();
    connect(addCommand(file, "&Close Configuration", "mnuCloseCfg", kGroupSaveClose),
            &QAction::triggered, this, [this] { session_.closeConfiguration(); });
    connect(addCommand(file, "E&xit", "mnuExit", 0), &QAction::triggered, this,
            [this] { close(); });

    QMenu* objects = addMenu("&Objects", "mnuObjects");
    connect(addCommand(objects, "&Add ModBus Type", "mnuAddMBType", kGroupAddModbusType,
                       QKeySequence("Ctrl+T")),
            &QAction::triggered, this, [this] { addModbusType(); });
    objects->addSeparator();
    connect(addCommand(objects, "Add &Unit", "mnuAddPlc", kGroupAddUnit, QKeySequence("Ctrl+P")),
            &QAction::triggered, this, [this] { addUnit(); });
    connect(
        addCommand(objects, "Add &Branch", "mnuAddBranch", kGroupAddBranch, QKeySequence("Ctrl+B")),
        &QAction::triggered, this, [this] { addBranch(); });
    connect(addCommand(objects, "Add &Item", "mnuAddItem", kGroupAddItem, QKeySequence("Ctrl+I")),
            &QAction::triggered, this, [this] { addItem(); });

    QMenu* edit = addMenu("&Edit", "mnuEdit");
    connect(addCommand(edit, "&Copy", "mnuCopy", kGroupCopy, QKeySequence("Ctrl+C")),
            &QAction::triggered, this, [this] { clipboard_->copy(); });
    connect(addCommand(edit, "Cu&t", "mnuCut", kGroupCut, QKeySequence("Ctrl+X")),
            &QAction::triggered, this, [this] { clipboard_->cut(); });
    connect(addCommand(edit, "&Paste", "mnuPaste", kGroupPaste, QKeySequence("Ctrl+V")),
            &QAction::triggered, this, [this] { clipboard_->paste(); });
    connect(
        addCommand(edit, "&Delete Object", "mnuDelete", kGroupDelete, QKeySequence(Qt::Key_Delete)),
        &QAction::triggered, this, [this] { deleteObject(); });
    edit->addSeparator();
    connect(addCommand(edit, "Paste Item names from Clipboard", "mnuPasteName", kGroupPasteNames),
            &QAction::triggered, this, [this] { clipboard_->pasteNames(); });
    connect(addCommand(edit, "Paste Item comments from Clipboard", "mnuPasteComment",
                       kGroupPasteComments),
            &QAction::triggered, this, [this] { clipboard_->pasteComments(); });

    QMenu* view = addMenu("&View", "mnuView");
    connect(addCommand(view, "&Icon", "mnuIcon", kGroupView), &QAction::triggered, this,
            [this] { setListMode(ListMode::icon); });
    connect(addCommand(view, "&SmallIcon", "mnuSmallIcon", kGroupView), &QAction::triggered, this,
            [this] { setListMode(ListMode::smallIcon); });
    connect(addCommand(view, "&List", "mnuList", kGroupView), &QAction::triggered, this,
            [this] { setListMode(ListMode::list); });
    connect(addCommand(view, "&Report", "mnuReport", kGroupView), &QAction::triggered, this,
            [this] { setListMode(ListMode::report); });

    QMenu* tools = addMenu("&Tools", "mnuTools");
    connect(addCommand(tools, "&Find", "mnuFind", kGroupFind), &QAction::triggered, this,
            [this] { showFind(); });

    // The About menu has no entries: choosing it opens the about box.
    QAction* about = menuBar()->addAction("&About");
    about->setObjectName("mnuAbout");
    actions_["mnuAbout"] = about;
    connect(about, &QAction::triggered, this, [this] { showAbout(); });
}

void frmEditing::buildToolbar() {
    Toolbar1_ = addToolBar("Toolbar1");
    Toolbar1_->setObjectName("Toolbar1");
    Toolbar1_->setMovable(false);
    Toolbar1_->setIconSize(QSize(24, 24));
    for (const ToolbarButton& button : kToolbarButtons) {
        QAction* command = action(button.command);
        // The buttons show images only; their text is their tooltip ("find" has none).
        QAction* tool = Toolbar1_->addAction(toolbarImage(button.image ? button.image : button.key),
                                             button.tooltip);
        tool->setObjectName(button.key);
        tool->setToolTip(button.tooltip);
        // A button runs exactly its menu command.
        connect(tool, &QAction::triggered, this, [command] {
            runHandler("Toolbar1_ButtonClick", [command] { command->trigger(); });
        });
        // The button belongs to its command's group.
        auto owner = std::find_if(groupActions_.begin(), groupActions_.end(),
                                  [command](const auto& entry) { return entry.second == command; });
        if (owner != groupActions_.end())
            groupActions_.emplace(owner->first, tool);
        actions_[button.key] = tool;
    }
}

void frmEditing::buildCentralArea() {
    auto* area = new QWidget(this);
    area->setObjectName("frmEditingArea");
    setCentralWidget(area);

    TreeView1_ = new QTreeWidget(area);
    TreeView1_->setObjectName("TreeView1");
    TreeView1_->setHeaderHidden(true);
    TreeView1_->setUniformRowHeights(true);
    connect(TreeView1_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { onTreeCurrentChanged(item); });
    connect(TreeView1_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { onTreeClicked(item); });
    connect(TreeView1_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { editNode(nodeOf(item)); });
    TreeView1_->installEventFilter(this);

    ListView1_ = new ObjectListView([](const std::string& key) { return listImage(key); },
                                    [](const std::string& key) { return treeImage(key); }, area);
    ListView1_->setObjectName("ListView1");
    connect(ListView1_, &ObjectListView::rowClicked, this, [this](const QString& key) {
        changedByPress_ = nullptr;
        // A row click changes what the menus offer, not the rows: refilling the list would
        // drop the selection the click made and the row a double click lands on.
        rowClickShown_ = true;
        session_.listRowClick(key.toStdString());
        rowClickShown_ = false;
    });
    connect(ListView1_, &ObjectListView::rowDoubleClicked, this,
            [this](const QString& key) { onListDoubleClicked(key); });
    connect(ListView1_, &ObjectListView::columnClicked, this,
            [this](int column) { session_.columnClick(static_cast<size_t>(column)); });

    clipboard_ = std::make_unique<WindowClipboard>(
        session_, *TreeView1_, *ListView1_,
        [](const QTreeWidgetItem* item) { return nodeOf(item); }, this);

    pnlImpStat_ = new QFrame(area);
    pnlImpStat_->setObjectName("pnlImpStat");
    static_cast<QFrame*>(pnlImpStat_)->setFrameShape(QFrame::StyledPanel);
    setResizeContainer(*pnlImpStat_);
    lblLabel_ = new QLabel("Loading File ....", pnlImpStat_);
    lblLabel_->setObjectName("lblLabel");
    pnlPercent_ = new QProgressBar(pnlImpStat_);
    pnlPercent_->setObjectName("pnlPercent");
    pnlPercent_->setRange(0, 99);
    pnlPercent_->setTextVisible(false);
}

// The window takes 0.8 of the screen; the tree 0.4 and the list 0.6 of the inner width, both
// as high as the area below the toolbar. Tree and list stay hidden until a configuration is
// shown.
void frmEditing::layOutAtStartUp() {
    const QRect screenArea = screen()->availableGeometry();
    designWidth_ = static_cast<int>(screenArea.width() * 0.8);
    designHeight_ = static_cast<int>(screenArea.height() * 0.8);
    resize(designWidth_, designHeight_);
    move(screenArea.center() - QPoint(designWidth_ / 2, designHeight_ / 2));
    layout()->activate();

    const QSize inner = centralWidget()->size();
    const int treeWidth = static_cast<int>(inner.width() * 0.4);
    const int listLeft = static_cast<int>(treeWidth * 1.01);
    const int listWidth = std::min(static_cast<int>(inner.width() * 0.6), inner.width() - listLeft);
    TreeView1_->setGeometry(0, 0, treeWidth, inner.height());
    ListView1_->setGeometry(listLeft, 0, listWidth, inner.height());
    const int panelWidth = inner.width() / 2;
    pnlImpStat_->setGeometry(inner.width() / 4, inner.height() * 2 / 5, panelWidth, 64);
    lblLabel_->setGeometry(12, 8, panelWidth - 24, 20);
    pnlPercent_->setGeometry(12, 32, panelWidth - 24, 20);
    TreeView1_->hide();
    ListView1_->hide();
    pnlImpStat_->hide();
}

void frmEditing::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (loading_)
        return;
    ResizeForm(resizeRecords_, *this, *centralWidget(), designHeight_, designWidth_);
}

bool frmEditing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TreeView1_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_F2 || key == Qt::Key_Return || key == Qt::Key_Enter) {
            editNode(nodeOf(TreeView1_->currentItem()));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmEditing::applyEnabling() {
    showTitle();
    const CommandEnabling& enabling = session_.enabling();
    for (auto& [group, command] : groupActions_)
        command->setEnabled(enabling.enabled(group));
    // The menus by their groups; Exit and About are never disabled.
    menu("mnuFile")->menuAction()->setEnabled(enabling.fileMenu());
    menu("mnuObjects")->menuAction()->setEnabled(enabling.objectsMenu());
    menu("mnuEdit")->menuAction()->setEnabled(enabling.editMenu());
    menu("mnuView")->menuAction()->setEnabled(enabling.viewMenu());
    menu("mnuTools")->menuAction()->setEnabled(enabling.toolsMenu());
    action("mnuExit")->setEnabled(true);
    action("exit")->setEnabled(true);
    action("mnuAbout")->setEnabled(true);
}

std::optional<std::string> frmEditing::chooseServerKind() {
    return frmSelect::chooseServerKind(this);
}

std::string frmEditing::chooseFileToOpen() {
    return dialogs_.openFile(this, "Open as existing configuration", kFileFilter);
}

std::string frmEditing::chooseFileToSaveAs(const std::string& fileName) {
    const QString folder = QFileInfo(text(session_.currentPath())).absolutePath();
    return dialogs_.saveFile(this, "Save configuration", kFileFilter,
                             (folder + "/" + text(fileName)).toStdString());
}

void frmEditing::importStarted() {
    closeAfterImport_ = false;
    pnlPercent_->setValue(0);
    pnlImpStat_->show();
    pnlImpStat_->raise();
    lastProgressPaint_ = QDateTime::currentMSecsSinceEpoch();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
}

void frmEditing::importEnded() {
    QApplication::restoreOverrideCursor();
    pnlImpStat_->hide();
    if (closeAfterImport_)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// The import reports every item; the bar is redrawn and events are handled at most every
// 50 ms, so a large file is not slowed down by its own progress display.
void frmEditing::showImportProgress(int percent) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastProgressPaint_ < kProgressIntervalMs)
        return;
    lastProgressPaint_ = now;
    pnlPercent_->setValue(percent);
    QApplication::processEvents();
}

void frmEditing::configurationChanged() {
    rebuildTree();
    const bool shown = session_.configurationShown();
    TreeView1_->setVisible(shown);
    ListView1_->setVisible(shown);
    if (!shown)
        ListView1_->clearListing();
}

void frmEditing::pathChanged() {
    if (QTreeWidgetItem* root = itemOf(session_.state().tree.root()))
        root->setText(0, text(session_.currentPath()));
    showTitle();
}

void frmEditing::selectionChanged() {
    if (!rowClickShown_)
        ListView1_->setListing(session_.listing());
    if (QTreeWidgetItem* item = itemOf(session_.state().tree.selected())) {
        presenting_ = true;
        TreeView1_->setCurrentItem(item);
        presenting_ = false;
    }
    applyEnabling();
}

void frmEditing::nodeListed() {
    if (ListView1_->mode() != ListMode::report)
        ListView1_->setMode(ListMode::report);
}

// The tree widget mirrors the session's tree; built detached and added at once, which is far
// quicker for large files than adding node by node.
void frmEditing::rebuildTree() {
    presenting_ = true;
    TreeView1_->clear();
    items_.clear();
    changedByPress_ = nullptr;
    const TreeNode* root = session_.state().tree.root();
    if (!root) {
        presenting_ = false;
        return;
    }
    std::vector<QTreeWidgetItem*> expanded;
    std::vector<std::pair<const TreeNode*, QTreeWidgetItem*>> pending;
    auto makeItem = [&](const TreeNode* node) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, text(node->text));
        item->setIcon(0, treeImage(node->image));
        item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
        items_[node] = item;
        if (node->expanded)
            expanded.push_back(item);
        return item;
    };
    QTreeWidgetItem* rootItem = makeItem(root);
    pending.emplace_back(root, rootItem);
    while (!pending.empty()) {
        auto [node, item] = pending.back();
        pending.pop_back();
        QList<QTreeWidgetItem*> children;
        children.reserve(static_cast<int>(node->children.size()));
        for (const TreeNode* child : node->children) {
            QTreeWidgetItem* childItem = makeItem(child);
            children << childItem;
            pending.emplace_back(child, childItem);
        }
        item->addChildren(children);
    }
    TreeView1_->addTopLevelItem(rootItem);
    for (QTreeWidgetItem* item : expanded)
        item->setExpanded(true);
    if (QTreeWidgetItem* selected = itemOf(session_.state().tree.selected()))
        TreeView1_->setCurrentItem(selected);
    presenting_ = false;
}

void frmEditing::onTreeCurrentChanged(QTreeWidgetItem* item) {
    if (presenting_ || !item)
        return;
    changedByPress_ = item;
    if (TreeNode* node = nodeOf(item))
        session_.nodeClick(*node);
}

// A click on the node already selected selects it again (after a list click changed the
// enabling); a click that changed the selection was handled when the selection changed.
void frmEditing::onTreeClicked(QTreeWidgetItem* item) {
    if (item == changedByPress_) {
        changedByPress_ = nullptr;
        return;
    }
    if (TreeNode* node = nodeOf(item))
        session_.nodeClick(*node);
}

void frmEditing::onListDoubleClicked(const QString& key) {
    runHandler("ListView1_DblClick", [&] {
        TreeNode* node = session_.state().tree.find(key.toStdString());
        QTreeWidgetItem* item = itemOf(node);
        if (!item)
            return;
        presenting_ = true;
        TreeView1_->setCurrentItem(item);
        presenting_ = false;
        session_.state().tree.select(node);
    });
    editNode(session_.state().tree.find(key.toStdString()));
}

// TreeView1_DblClick: the node's own dialog, for a Modbus type, a unit or a branch.
void frmEditing::editNode(TreeNode* node) {
    if (!node || session_.importing())
        return;
    runHandler("TreeView1_DblClick", [&] {
        if (node->tag == kTagDatatype) {
            {
                frmModBus dialog(session_, node->key, this);
                dialog.exec();
            }
            // The Modbus types folder is shown as if it had been clicked.
            if (TreeNode* folder = session_.state().tree.find(kModBusFolderKey))
                session_.nodeClick(*folder);
        } else if (node->tag == kTagPlc) {
            frmPLC dialog(session_, node, this);
            dialog.exec();
        } else if (node->tag == kTagBranch) {
            frmBranch dialog(session_, *node, true, this);
            dialog.exec();
        } else if (node->tag == kTagItem) {
            editItem(*node);
        }
    });
}

void frmEditing::addUnit() {
    runHandler("EH_mnuAddplc_Click", [this] {
        frmPLC dialog(session_, nullptr, this);
        dialog.exec();
    });
}

void frmEditing::addModbusType() {
    runHandler("mnuAddMBType_Click", [this] {
        frmModBus dialog(session_, "", this);
        dialog.exec();
    });
}

void frmEditing::addBranch() {
    runHandler("EH_mnuAddbranch_Click", [this] {
        TreeNode* selected = session_.state().tree.selected();
        if (!selected || (selected->tag != kTagPlc && selected->tag != kTagBranch))
            return;
        frmBranch dialog(session_, *selected, false, this);
        dialog.exec();
    });
}

void frmEditing::deleteObject() {
    QWidget* focus = QApplication::focusWidget();
    const bool listHasFocus = focus && (focus == ListView1_ || ListView1_->isAncestorOf(focus));
    session_.deleteObject(listHasFocus, ListView1_->selectedKeys());
}

void frmEditing::selectNode(TreeNode& node) {
    session_.nodeClick(node);
    if (QTreeWidgetItem* item = itemOf(&node))
        TreeView1_->scrollToItem(item);
    TreeView1_->setFocus();
}

void frmEditing::showFind() {
    if (!findDialog_) {
        findDialog_ = new frmFind(
            session_, [this](TreeNode& node) { selectNode(node); }, this);
        findDialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}

void frmEditing::showAbout() {
    if (!aboutDialog_) {
        aboutDialog_ = new frmAbout(this);
        aboutDialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    aboutDialog_->show();
    aboutDialog_->raise();
}

void frmEditing::setListMode(ListMode mode) {
    ListView1_->setMode(mode);
}

// Closing waits for an import to end, then asks what Exit asks; only a failed save keeps the
// window open.
void frmEditing::closeEvent(QCloseEvent* event) {
    if (session_.importing()) {
        closeAfterImport_ = true;
        event->ignore();
        return;
    }
    if (!session_.exitRequested()) {
        event->ignore();
        return;
    }
    if (findDialog_)
        findDialog_->close();
    event->accept();
}

} // namespace vorn::editor
