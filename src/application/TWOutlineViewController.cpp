#include "application/TWOutlineViewController.h"

#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "application/TWDocumentViewController.h"
#include "application/TWOutlineModel.h"
#include "application/TWOutlineView.h"
#include "canvas/TWGraphicView.h"
#include "interface/TWHyperlinkableTextView.h"
#include "interface/ViewExtensions.h"
#include "mapdrawing/TWMapBranch_Outline.h"
#include "model/TWLinkServices.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/AttributedString.h"
#include "support/AttributedStringDocument.h"
#include "support/Font.h"
#include "support/TWPreferences.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QSplitter>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
TWOutlineViewController *sharedInstance = nullptr;
} // namespace

TWOutlineViewController::TWOutlineViewController(bool followApplication, QObject *parent)
    : QObject(parent)
{
    m_selectionTimer = new QTimer(this);
    m_selectionTimer->setSingleShot(true);
    m_selectionTimer->setInterval(UpdateDelay);
    connect(m_selectionTimer, &QTimer::timeout, this, [this] { updateBranchSelection(); });
    m_toolbarTimer = new QTimer(this);
    m_toolbarTimer->setSingleShot(true);
    m_toolbarTimer->setInterval(UpdateDelay);
    connect(m_toolbarTimer, &QTimer::timeout, this, [this] { updateToolbar(); });

    buildWindow();
    setupToolbar();

    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(
        center.observe(TWMap::SelectedGraphicsChangedNotification, nullptr,
                       [this](const Notification &) { updateBranchSelectionWithDelay(); }));
    m_observers.push_back(center.observe(TWMapBranch::OutlineNeedsReloadNotification, nullptr,
                                         [this](const Notification &n) { updateContent(&n); }));
    // Switching maps or replacing the root changes what is shown. The tabs
    // hear of a switch before the map changes, the print canvas after it.
    const auto rootMayHaveChanged = [this](const Notification &n) {
        const TWMap *map = currentMap();
        if (n.sender == mapsDocument() &&
            m_shownRoot.lock().get() != (map ? map->root().get() : nullptr))
            updateContent();
    };
    for (const QString &name : {TWMapsDoc::UpdateMapTabsNotification,
                                TWMapsDoc::PrintCanvasControllerNeedsUpdateNotification})
        m_observers.push_back(center.observe(name, nullptr, rootMayHaveChanged));
    m_observers.push_back(
        center.observe(Document::WillCloseNotification, nullptr, [this](const Notification &n) {
            if (m_document && n.sender == static_cast<const void *>(m_document.data()))
                setDocument(nullptr);
        }));
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString &key) {
        if (key == QLatin1String("ExportTextIncludeBranchNotes") ||
            key == QLatin1String("ExportTextIncludeAttachedGraphicText") ||
            key == QLatin1String("ExportTextIncludeHiddenText"))
            updatePrintPreview();
    });
    if (followApplication)
        observeApplication();
    updateContent();
}

TWOutlineViewController::~TWOutlineViewController()
{
    if (sharedInstance == this)
        sharedInstance = nullptr;
    m_observers.clear();
    for (const QMetaObject::Connection &c : m_connections)
        disconnect(c);
    delete m_window;
}

TWOutlineViewController &TWOutlineViewController::sharedOutlineViewController()
{
    if (!sharedInstance) {
        sharedInstance = new TWOutlineViewController(true);
        // Its window must go while the application still runs.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { delete sharedInstance; });
    }
    return *sharedInstance;
}

TWOutlineViewController *TWOutlineViewController::keyOutlineViewController()
{
    return sharedInstance && sharedInstance->isKeyWindow() ? sharedInstance : nullptr;
}

void TWOutlineViewController::observeApplication()
{
    TWApplication *application = TWApplication::shared();
    if (!application)
        return;
    m_connections.push_back(
        connect(application, &TWApplication::currentlyActiveDocumentChanged, this,
                [this](Document *document) { setDocument(qobject_cast<TWDocument *>(document)); }));
    m_document = qobject_cast<TWDocument *>(application->currentlyActiveDocument());
}

void TWOutlineViewController::buildWindow()
{
    m_window = new QMainWindow;
    // One window for the whole application: the program ends with its last
    // document window, whether this one shows or not.
    m_window->setAttribute(Qt::WA_QuitOnClose, false);
    m_window->setWindowTitle(TWLocalizedString("DadoZiz", QStringLiteral("Outline")));
    m_window->resize(360, 480);

    m_model = new TWOutlineModel(this);
    m_outlineView = new TWOutlineView(this);
    m_outlineView->setModel(m_model);
    m_outlineView->setObjectName(TextColumnIdentifier);
    connect(m_model, &TWOutlineModel::branchesDropped, this, [this] { updateToolbar(); });
    connect(m_outlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionDidChange(); });
    connect(m_outlineView, &QTreeView::expanded, this,
            [this](const QModelIndex &index) { expandItem(index); });
    connect(m_outlineView, &QTreeView::collapsed, this,
            [this](const QModelIndex &index) { collapseItem(index); });

    auto *notes = new TWHyperlinkableTextView;
    notes->setLinkFollower(&TWLinkServices::openURL);
    // Pictures embedded from other programs go back to them through the
    // document whose notes these are.
    notes->setLinkBackEditor([this](const TextAttachment &attachment) {
        return m_document && m_document->editLinkBackInTextAttachment(attachment);
    });
    m_branchNotesView = notes;
    m_branchNotesView->setAcceptRichText(true);
    m_branchNotesView->installEventFilter(this);
    connect(m_branchNotesView, &QTextEdit::textChanged, this, [this] {
        if (!m_loadingNotes)
            commitNotes();
    });

    m_outlineContainer = new QWidget;
    auto *outlineLayout = new QVBoxLayout(m_outlineContainer);
    outlineLayout->setContentsMargins(0, 0, 0, 0);
    outlineLayout->addWidget(m_outlineView);
    m_notesContainer = new QWidget;
    auto *notesLayout = new QVBoxLayout(m_notesContainer);
    notesLayout->setContentsMargins(0, 0, 0, 0);
    notesLayout->addWidget(m_branchNotesView);

    m_splitView = new QSplitter(Qt::Vertical);
    m_splitView->addWidget(m_outlineContainer);
    m_splitView->addWidget(m_notesContainer);
    m_splitView->setChildrenCollapsible(false);
    m_window->setCentralWidget(m_splitView);

    // The commands, for the view's context menu; enabled by the can… keys.
    struct Command
    {
        const char *title;
        void (TWOutlineViewController::*run)();
        bool (TWOutlineViewController::*can)() const;
    };
    const Command commands[] = {
        {"Move Up", &TWOutlineViewController::moveUp, &TWOutlineViewController::canMoveUp},
        {"Move Down", &TWOutlineViewController::moveDown, &TWOutlineViewController::canMoveDown},
        {"Move Left", &TWOutlineViewController::moveLeft, &TWOutlineViewController::canMoveLeft},
        {"Move Right", &TWOutlineViewController::moveRight, &TWOutlineViewController::canMoveRight},
        {"Indent", &TWOutlineViewController::moveRight, &TWOutlineViewController::canIndent},
        {"Outdent", &TWOutlineViewController::outdent, &TWOutlineViewController::canOutdent},
        {"Group", &TWOutlineViewController::group, &TWOutlineViewController::canGroup},
        {"Ungroup", &TWOutlineViewController::ungroup, &TWOutlineViewController::canUngroup},
    };
    for (const Command &command : commands) {
        auto *action =
            new QAction(TWLocalizedString("DadoZiz", QString::fromLatin1(command.title)), this);
        const auto run = command.run;
        const auto can = command.can;
        connect(action, &QAction::triggered, this, [this, run, can] {
            if ((this->*can)())
                (this->*run)();
        });
        connect(this, &TWOutlineViewController::validationChanged, action,
                [this, action, can] { action->setEnabled((this->*can)()); });
        m_commandActions << action;
    }
    m_outlineView->addActions(m_commandActions);

    // The window edits the active document: its undo history and its print
    // command are the document's.
    auto *undoAction = new QAction(TWLocalizedString("DadoZiz", QStringLiteral("Undo")), this);
    undoAction->setShortcut(QKeySequence::Undo);
    connect(undoAction, &QAction::triggered, this, [this] {
        UndoManager *undo = undoManager();
        if (!undo || !undo->canUndo())
            return;
        m_outlineView->finishEditing();
        undo->undo();
    });
    auto *redoAction = new QAction(TWLocalizedString("DadoZiz", QStringLiteral("Redo")), this);
    redoAction->setShortcut(QKeySequence::Redo);
    connect(redoAction, &QAction::triggered, this, [this] {
        UndoManager *undo = undoManager();
        if (undo && undo->canRedo())
            undo->redo();
    });
    auto *printAction = new QAction(TWLocalizedString("DadoZiz", QStringLiteral("Print...")), this);
    printAction->setShortcut(QKeySequence::Print);
    connect(printAction, &QAction::triggered, this, [this] { showPrintPanel(); });
    for (QAction *action : {undoAction, redoAction, printAction}) {
        action->setShortcutContext(Qt::WindowShortcut);
        m_window->addAction(action);
    }
}

void TWOutlineViewController::setupToolbar()
{
    m_toolbar = new QToolBar(QStringLiteral("TWOutlineViewToolbar"));
    m_toolbar->setObjectName(QStringLiteral("TWOutlineViewToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->toggleViewAction()->setVisible(false);
    m_window->addToolBar(m_toolbar);

    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    struct Item
    {
        QString identifier;
        const char *label;
        const char *image;
        void (TWOutlineViewController::*show)();
    };
    const Item items[] = {
        {ShowOutlineOnlyIdentifier, "Outline", "TWOutlineToolbarOutlineOnly",
         &TWOutlineViewController::showOutlineOnly},
        {ShowNotesOnlyIdentifier, "Notes", "TWOutlineToolbarNotesOnly",
         &TWOutlineViewController::showNotesOnly},
        {ShowSplitViewIdentifier, "Combo", "TWOutlineToolbarCombo",
         &TWOutlineViewController::showSplitView},
    };
    for (const Item &item : items) {
        const QIcon icon(QStringLiteral(":/images/%1.png").arg(QLatin1String(item.image)));
        auto *action = m_toolbar->addAction(
            icon, TWLocalizedString("DadoZiz", QString::fromLatin1(item.label)));
        action->setObjectName(item.identifier);
        action->setCheckable(true);
        group->addAction(action);
        const auto show = item.show;
        connect(action, &QAction::triggered, this, [this, show] { (this->*show)(); });
        m_paneActions << action;
    }
    auto *spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spacer);
    QAction *print = m_toolbar->addAction(QIcon::fromTheme(QStringLiteral("document-print")),
                                          TWLocalizedString("DadoZiz", QStringLiteral("Print")));
    connect(print, &QAction::triggered, this, [this] { showPrintPanel(); });
    restorePreviousViewSelection();
}

void TWOutlineViewController::restorePreviousViewSelection()
{
    const QString stored = UserDefaults::standard().stringForKey(ToolbarSelectionKey);
    if (stored == ShowSplitViewIdentifier)
        showSplitView();
    else if (stored == ShowNotesOnlyIdentifier)
        showNotesOnly();
    else
        showOutlineOnly();
}

void TWOutlineViewController::arrangePanes(const QString &identifier)
{
    const bool outline = identifier != ShowNotesOnlyIdentifier;
    const bool notes = identifier != ShowOutlineOnlyIdentifier;
    m_outlineContainer->setVisible(outline);
    m_notesContainer->setVisible(notes);
    if (outline && notes)
        m_splitView->setSizes({2, 1});
    for (QAction *action : std::as_const(m_paneActions))
        action->setChecked(action->objectName() == identifier);
    m_selectedToolbarItem = identifier;
    UserDefaults::standard().setString(identifier, ToolbarSelectionKey);
}

void TWOutlineViewController::showOutlineOnly()
{
    arrangePanes(ShowOutlineOnlyIdentifier);
}

void TWOutlineViewController::showNotesOnly()
{
    // The pane follows the map's selection after a delay; whoever asks for
    // the notes now (Find showing a hit) needs the selected branch's.
    updateBranchSelection();
    arrangePanes(ShowNotesOnlyIdentifier);
    m_branchNotesView->setFocus();
}

void TWOutlineViewController::showSplitView()
{
    arrangePanes(ShowSplitViewIdentifier);
}

void TWOutlineViewController::showBranchNotes()
{
    if (m_selectedToolbarItem == ShowOutlineOnlyIdentifier)
        showNotesOnly();
    m_branchNotesView->setFocus();
    makeKeyAndOrderFront();
}

void TWOutlineViewController::makeKeyAndOrderFront()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool TWOutlineViewController::isKeyWindow() const
{
    return m_window && m_window->isActiveWindow();
}

// --- the document ---

TWDocument *TWOutlineViewController::document() const
{
    return m_document;
}

void TWOutlineViewController::setDocument(TWDocument *document)
{
    const TWMap *map = document && document->mapsDocument()
                           ? document->mapsDocument()->currentMap().get()
                           : nullptr;
    // A document that went away leaves the pointer null with its tree still shown.
    if (m_document == document && m_model->root().get() == (map ? map->root().get() : nullptr))
        return;
    commitNotes();
    m_document = document;
    for (const QMetaObject::Connection &c : std::exchange(m_undoConnections, {}))
        disconnect(c);
    if (UndoManager *undo = document ? document->undoManager() : nullptr) {
        for (auto signal : {&UndoManager::groupClosed, &UndoManager::didUndo,
                            &UndoManager::didRedo})
            m_undoConnections.push_back(
                connect(undo, signal, this, [this] { reloadNotesChangedElsewhere(); }));
    }
    updateContent();
}

TWMapsDoc *TWOutlineViewController::mapsDocument() const
{
    return m_document ? m_document->mapsDocument() : nullptr;
}

TWMap *TWOutlineViewController::currentMap() const
{
    TWMapsDoc *maps = mapsDocument();
    return maps ? maps->currentMap().get() : nullptr;
}

UndoManager *TWOutlineViewController::undoManager() const
{
    TWMapsDoc *maps = mapsDocument();
    return maps ? maps->undoManager() : nullptr;
}

TWMapBranch *TWOutlineViewController::branchForIndex(const QModelIndex &index) const
{
    return m_model->branchForIndex(index);
}

QList<TWMapBranch *> TWOutlineViewController::selectedBranches() const
{
    // In row order; a row without a branch is passed over.
    QList<TWMapBranch *> branches;
    for (const QModelIndex &row : MyExtensions::allSelectedItems(*m_outlineView))
        if (TWMapBranch *b = branchForIndex(row))
            branches << b;
    return branches;
}

// --- content and selection ---

void TWOutlineViewController::updateContent(const Notification *notification)
{
    if (notification && notification->sender != mapsDocument())
        return;
    // A label being typed is kept rather than dropped with the old rows.
    m_outlineView->finishEditing();
    m_updatingContent = true;
    TWMap *map = currentMap();
    const std::shared_ptr<TWMapBranch> root = map ? map->root() : nullptr;
    m_model->setRoot(nullptr);
    m_model->setRoot(root);
    m_shownRoot = root;
    updateBranchSelection();
    updateExpansionState();
    m_updatingContent = false;
    loadNotes();
    emit contentReloaded();
}

void TWOutlineViewController::updateBranchSelectionWithDelay()
{
    m_selectionTimer->start();
}

void TWOutlineViewController::updateBranchSelection()
{
    m_selectionTimer->stop();
    // A document read again replaces its maps without a reload notice; the
    // new map announces its selection.
    const TWMap *map = currentMap();
    if (!m_updatingContent && m_shownRoot.lock().get() != (map ? map->root().get() : nullptr)) {
        updateContent();
        return;
    }
    m_updatingBranchSelection = true;
    QList<TWMapBranch *> selection;
    if (TWMap *map = currentMap())
        selection = map->selectedBranches();
    selectBranches(selection);
    if (!m_updatingContent)
        updateExpansionState();
    if (m_branchNotesView->toPlainText().isEmpty()) {
        QTextCharFormat format;
        format.setFont(TWPreferences::branchNotesFont().toQFont());
        m_branchNotesView->setCurrentCharFormat(format);
    }
    m_updatingBranchSelection = false;
    loadNotes();
    m_toolbarTimer->start();
}

void TWOutlineViewController::selectBranches(const QList<TWMapBranch *> &branches)
{
    QItemSelection selection;
    QModelIndex current;
    for (const TWMapBranch *b : branches) {
        const QModelIndex index = m_model->indexForBranch(b);
        if (!index.isValid())
            continue;
        selection.select(index, index);
        if (!current.isValid())
            current = index;
    }
    QItemSelectionModel *model = m_outlineView->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (current.isValid())
        model->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void TWOutlineViewController::commitBranchSelection()
{
    if (isUpdating() || !isKeyWindow())
        return;
    const QList<TWMapBranch *> selection = selectedBranches();
    if (selection.isEmpty())
        return;
    setMapSelection(selection);
}

void TWOutlineViewController::setMapSelection(const QList<TWMapBranch *> &branches)
{
    TWMap *map = currentMap();
    if (!map)
        return;
    TWMap::BranchList list;
    for (TWMapBranch *b : branches)
        list << b->shared_from_this();
    map->setSelectedBranches(list);
}

void TWOutlineViewController::selectionDidChange()
{
    if (!isUpdating()) {
        commitBranchSelection();
        if (isKeyWindow()) {
            if (TWGraphicView *view = m_document ? m_document->graphicView() : nullptr) {
                view->endEditingTextArea();
                view->scrollSelectionToVisible();
            }
        }
        loadNotes();
    }
    if (const std::shared_ptr<TWMapBranch> editing = m_editingBranch.lock()) {
        editing->makeNaturalSize();
        m_editingBranch.reset();
    }
    m_toolbarTimer->start();
}

void TWOutlineViewController::updateExpansionState()
{
    const bool wasUpdating = m_updatingBranchSelection;
    m_updatingBranchSelection = true;
    // Open exactly the flagged rows whose ancestors are open too; rows are
    // set as they stand rather than all closed first, which would lose the
    // scroll position on every canvas selection.
    std::function<void(const QModelIndex &)> walk = [&](const QModelIndex &index) {
        TWMapBranch *branch = branchForIndex(index);
        if (!branch)
            return;
        if (!branch->expandedInOutlineView()) {
            if (m_outlineView->isExpanded(index))
                m_outlineView->collapse(index);
            return;
        }
        m_outlineView->expand(index);
        const int rows = m_model->rowCount(index);
        for (int i = 0; i < rows; ++i)
            walk(m_model->index(i, 0, index));
    };
    walk(m_model->index(0, 0));
    m_updatingBranchSelection = wasUpdating;
}

void TWOutlineViewController::expandItem(const QModelIndex &index)
{
    if (isUpdating())
        return;
    if (TWMapBranch *b = branchForIndex(index))
        b->setExpandedInOutlineView(true);
}

void TWOutlineViewController::collapseItem(const QModelIndex &index)
{
    if (isUpdating())
        return;
    if (TWMapBranch *b = branchForIndex(index))
        b->setExpandedInOutlineView(false);
}

void TWOutlineViewController::updateToolbar()
{
    m_toolbarTimer->stop();
    emit validationChanged();
}

// --- notes ---

void TWOutlineViewController::loadNotes()
{
    const QList<TWMapBranch *> selection = selectedBranches();
    TWMapBranch *branch = selection.size() == 1 ? selection.first() : nullptr;
    // Typing in the notes is not interrupted by a reload of the same branch.
    if (branch && branch == m_notesBranch.lock().get() && m_branchNotesView->hasFocus())
        return;
    m_loadingNotes = true;
    m_notesBranch = branch ? branch->weak_from_this() : std::weak_ptr<TWMapBranch>();
    const std::shared_ptr<const AttributedString> notes =
        branch ? branch->primaryAttachedText() : nullptr;
    AttributedStringDocument::setDocumentText(*m_branchNotesView->document(),
                                              notes ? *notes : AttributedString());
    m_branchNotesView->setReadOnly(!branch);
    m_loadingNotes = false;
}

void TWOutlineViewController::reloadNotesChangedElsewhere()
{
    const std::shared_ptr<TWMapBranch> branch = m_notesBranch.lock();
    if (!branch || m_loadingNotes)
        return;
    const std::shared_ptr<const AttributedString> notes = branch->primaryAttachedText();
    const AttributedString stored = notes ? *notes : AttributedString();
    if (stored == AttributedStringDocument::attributedString(*m_branchNotesView->document()))
        return;
    // The caret stays where it was, as far as the new text reaches.
    const QTextCursor before = m_branchNotesView->textCursor();
    m_loadingNotes = true;
    AttributedStringDocument::setDocumentText(*m_branchNotesView->document(), stored);
    QTextCursor cursor(m_branchNotesView->document());
    const int end = m_branchNotesView->document()->characterCount() - 1;
    cursor.setPosition(std::clamp(before.anchor(), 0, end));
    cursor.setPosition(std::clamp(before.position(), 0, end), QTextCursor::KeepAnchor);
    m_branchNotesView->setTextCursor(cursor);
    m_loadingNotes = false;
}

void TWOutlineViewController::commitNotes()
{
    const std::shared_ptr<TWMapBranch> branch = m_notesBranch.lock();
    if (!branch || !branch->map())
        return;
    const AttributedString text =
        AttributedStringDocument::attributedString(*m_branchNotesView->document());
    const std::shared_ptr<const AttributedString> old = branch->primaryAttachedText();
    if ((old ? *old : AttributedString()) == text)
        return;
    // Through the note editor's own path: a note made or removed refits the
    // branch to its text and indicators.
    TWBranchOutline::noteTextDidChange(*branch, text);
    UndoManager::setActionName(TWBranchOutline::undoManagerForNoteEditor(*branch),
                               TWLocalizedString("DadoZiz", QStringLiteral("Text Editing")));
}

void TWOutlineViewController::afterTurn(std::function<void()> work)
{
    QTimer::singleShot(0, this, [work = std::move(work)] {
        // The reload the edit queued comes first, or it would end the
        // editing begun here.
        NotificationQueue::defaultQueue().flush();
        work();
    });
}

TWOutlineTextView *TWOutlineViewController::editorView() const
{
    return m_editorView;
}

void TWOutlineViewController::setEditorView(TWOutlineTextView *editor)
{
    m_editorView = editor;
}
