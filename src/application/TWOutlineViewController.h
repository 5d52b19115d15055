#pragma once

#include "application/ApplicationServices.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

class AttributedString;
class QAction;
class QDialog;
class QMainWindow;
class QModelIndex;
class QPrinter;
class QSplitter;
class QTextEdit;
class QTimer;
class QToolBar;
class TWDocument;
class TWMap;
class TWMapBranch;
class TWMapsDoc;
class TWOutlineModel;
class TWOutlineTextView;
class TWOutlineView;
class UndoManager;

// The one outline window: the current map of the active document as an
// indented list of branch labels, the notes of the selected branch, or both.
// Its selection follows the map's and, while the user works in it, leads it;
// which rows are open is kept in the branches themselves.
class TWOutlineViewController : public QObject, public OutlineWindow
{
    Q_OBJECT

public:
    static inline const QString ShowOutlineOnlyIdentifier =
        QStringLiteral("TWOutlineViewToolbarItemShowOutlineViewOnly");
    static inline const QString ShowNotesOnlyIdentifier =
        QStringLiteral("TWOutlineViewToolbarItemShowNotesViewOnly");
    static inline const QString ShowSplitViewIdentifier =
        QStringLiteral("TWOutlineViewToolbarItemShowSplitView");
    static inline const QString ToolbarSelectionKey =
        QStringLiteral("TWOutlineWindowToolbarSelection");
    static inline const QString TextColumnIdentifier = QStringLiteral("outlineViewTextColumn");
    // Selection copies and toolbar revalidation wait this long after the last request.
    static constexpr int UpdateDelay = 100;

    // Follows the application's active document when `followApplication`.
    explicit TWOutlineViewController(bool followApplication = true, QObject *parent = nullptr);
    ~TWOutlineViewController() override;

    static TWOutlineViewController &sharedOutlineViewController();
    // The shared controller when it exists and its window is the key window.
    static TWOutlineViewController *keyOutlineViewController();

    QMainWindow *window() const { return m_window; }
    TWOutlineView *outlineView() const { return m_outlineView; }
    QTextEdit *branchNotesView() const override { return m_branchNotesView; }
    TWOutlineModel *model() const { return m_model; }

    // The document shown; follows the active one unless set here.
    TWDocument *document() const;
    void setDocument(TWDocument *document);
    TWMapsDoc *mapsDocument() const;
    TWMap *currentMap() const;
    UndoManager *undoManager() const;

    TWMapBranch *branchForIndex(const QModelIndex &index) const;
    // The outline's selection, in row order.
    QList<TWMapBranch *> selectedBranches() const;

    // --- content and selection ---
    // Reloads unless the notification comes from another document.
    void updateContent(const Notification *notification = nullptr);
    void updateBranchSelectionWithDelay();
    void updateBranchSelection();
    void commitBranchSelection();
    void updateExpansionState();
    void selectBranches(const QList<TWMapBranch *> &branches);
    // Records an expansion the view made, unless updating.
    void expandItem(const QModelIndex &index);
    void collapseItem(const QModelIndex &index);
    void updateToolbar();
    bool isUpdating() const { return m_updatingContent || m_updatingBranchSelection; }
    // The outline drives the map only while its window is key.
    virtual bool isKeyWindow() const;

    // --- panes ---
    void makeKeyAndOrderFront() override;
    void showOutlineOnly() override;
    void showNotesOnly() override;
    void showSplitView() override;
    void restorePreviousViewSelection();
    void showBranchNotes();
    QString selectedToolbarItem() const { return m_selectedToolbarItem; }

    // --- editing commands ---
    void createChildBranches();
    void createSiblingBranches();
    void deleteSelectedBranches();
    void editSelection();
    void endEditingBranches();
    void moveUp();
    void moveDown();
    void moveRight();
    void indent() { moveRight(); }
    void moveLeft();
    void outdent();
    void group();
    void ungroup();
    // The branch that should be selected once `selection` is deleted.
    static TWMapBranch *branchToSelectAfterDeleting(const QList<TWMapBranch *> &selection);

    // --- per-branch steps and row queries ---
    void moveBranchUp(TWMapBranch *branch);
    void moveBranchDown(TWMapBranch *branch);
    void moveBranchRight(TWMapBranch *branch);
    void moveBranchLeft(TWMapBranch *branch);
    void outdentBranch(TWMapBranch *branch);
    void ungroupBranch(TWMapBranch *branch);
    TWMapBranch *branchAbove(const TWMapBranch *branch) const;
    TWMapBranch *branchBelow(const TWMapBranch *branch) const;
    TWMapBranch *siblingBranchAbove(const TWMapBranch *branch) const;
    TWMapBranch *siblingBranchBelow(const TWMapBranch *branch) const;
    QList<TWMapBranch *> siblingBranchesBelow(const TWMapBranch *branch) const;

    // --- validation ---
    bool canMoveUp() const;
    bool canMoveDown() const;
    bool canMoveLeft() const;
    bool canMoveRight() const;
    bool canIndent() const { return canMoveRight(); }
    bool canOutdent() const { return canMoveLeft(); }
    bool canGroup() const;
    bool canUngroup() const;

    // --- the field editor ---
    // Remembers the branch whose label editing begins.
    void editingBegan();
    void setBranchText(TWMapBranch &branch, const AttributedString &text);
    TWOutlineTextView *editorView() const;
    void setEditorView(TWOutlineTextView *editor);

    // --- printing ---
    void showPrintPanel();
    void updatePrintPreview();
    // The outline of the current map as the print prints it.
    std::optional<AttributedString> printText() const;
    // Prints the outline on `printer` in `printOrientation`; false without a map.
    bool printOutline(QPrinter &printer);
    int printOrientation() const { return m_printOrientation; }
    void setPrintOrientation(int orientation) { m_printOrientation = orientation; }
    QDialog *printPanel() const { return m_printPanel; }
    QTextEdit *printTextView() const { return m_printTextView; }

signals:
    // The can… keys may have changed.
    void validationChanged();
    // The tree was loaded again.
    void contentReloaded();

private:
    void buildWindow();
    void setupToolbar();
    void arrangePanes(const QString &identifier);
    void selectionDidChange();
    void loadNotes();
    void commitNotes();
    // Shows the notes again when they changed under the pane (an undo, a
    // picture edited in another program), so that typing does not write the
    // old text back over them.
    void reloadNotesChangedElsewhere();
    void setMapSelection(const QList<TWMapBranch *> &branches);
    // Each selected branch in turn (the last first, if asked), then the same
    // selection again.
    void moveSelection(void (TWOutlineViewController::*move)(TWMapBranch *), bool lastFirst);
    void afterTurn(std::function<void()> work);
    // Whether the selection, when it is more than the root alone, has a
    // branch that passes the test.
    bool anySelected(const std::function<bool(TWMapBranch *)> &test) const;
    // Selects what still lives of the branches after this turn of the event
    // loop, and edits it when it is one branch and `editOne` says so.
    void selectAfterTurn(const QList<std::weak_ptr<TWMapBranch>> &branches, bool editOne);
    void observeApplication();

    QMainWindow *m_window = nullptr;
    TWOutlineView *m_outlineView = nullptr;
    TWOutlineModel *m_model = nullptr;
    QTextEdit *m_branchNotesView = nullptr;
    QWidget *m_outlineContainer = nullptr;
    QWidget *m_notesContainer = nullptr;
    QSplitter *m_splitView = nullptr;
    QToolBar *m_toolbar = nullptr;
    QList<QAction *> m_paneActions;
    QList<QAction *> m_commandActions;
    QString m_selectedToolbarItem;
    QDialog *m_printPanel = nullptr;
    QTextEdit *m_printTextView = nullptr;
    QPointer<TWOutlineTextView> m_editorView;
    std::weak_ptr<TWMapBranch> m_editingBranch;
    std::weak_ptr<TWMapBranch> m_notesBranch;
    int m_printOrientation = 0;
    bool m_updatingContent = false;
    bool m_updatingBranchSelection = false;
    bool m_loadingNotes = false;
    QTimer *m_selectionTimer = nullptr;
    QTimer *m_toolbarTimer = nullptr;
    QPointer<TWDocument> m_document;
    std::weak_ptr<TWMapBranch> m_shownRoot;
    std::vector<ObserverToken> m_observers;
    std::vector<QMetaObject::Connection> m_connections;
    // To the shown document's undo manager.
    std::vector<QMetaObject::Connection> m_undoConnections;
};
