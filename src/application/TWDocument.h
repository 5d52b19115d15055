#pragma once

#include "application/LinkBack.h"
#include "application/TWDocumentWindow.h"
#include "application/TWMenuDispatcher.h"
#include "canvas/TWCanvasHost.h"
#include "mapdrawing/TWPrintDocument.h"
#include "model/TWMapsDocOwner.h"
#include "palettes/TWPaletteHost.h"
#include "platform/Document.h"
#include "platform/FileStamp.h"
#include "platform/NotificationCenter.h"
#include "support/Font.h"
#include "support/OrderedDictionary.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

class QMenu;
class QMenuBar;
class QScrollArea;
class QSplitter;
class QVariantAnimation;
class TWCSliderCell;
class TextAttachment;
class TWDocument;
class TWDocumentController;
class TWDocumentViewController;
class TWDockedPalettesController;
class TWGraphicBindingController;
class TWGraphicView;
class TWPaletteBezelContainerView;
class TWMapsDoc;
class UndoManager;

// Hears the links a document opened to edit its embedded items elsewhere.
class TWDocumentLinkBackClient : public LinkBackDelegate
{
public:
    explicit TWDocumentLinkBackClient(TWDocument *document) : m_document(document) {}
    void linkBackClientDidRequestEdit(LinkBack *) override {}
    void linkBackServerDidSendEdit(LinkBack *link) override;
    void linkBackDidClose(LinkBack *link) override;

private:
    TWDocument *m_document;
};

// One document file and its window: owns the maps document and its undo
// manager, reads and writes the file, keeps print settings per map and the
// window's frame per file, and is the host of the canvas it shows.
class TWDocument : public Document,
                   public TWCanvasHost,
                   public TWMapsDocOwner,
                   public TWMenuResponder,
                   public TWPaletteHost,
                   public TWPrintDocument
{
    Q_OBJECT

public:
    static inline const QString DocumentType = QStringLiteral("Thinkweb Document");
    static inline const QString LoadErrorDomain = QStringLiteral("TWLoadFail");
    // Where a window's frame is kept, by file path.
    static inline const QString FrameKeyFormat = QStringLiteral("NSWindow Frame %1");

    struct LoadError
    {
        QString domain;
        int code = 0;
        QString reason;
    };

    TWDocument();
    ~TWDocument() override;

    // A new untitled document with an empty maps document; null for a type
    // this program does not keep.
    static std::unique_ptr<TWDocument> makeUntitled(const QString &type = DocumentType);
    // An empty document of the running edition's class (Compact, Deluxe).
    static std::unique_ptr<TWDocument> makeForEdition();

    // --- reading and writing ---
    // Package first, then the older property-list form; false with the
    // reason to show.
    bool readFromFile(const QString &path, const QString &type = DocumentType,
                      LoadError *error = nullptr);
    // Writes the maps document to path; 0 or the save error's code. The
    // change count is cleared only after a save that succeeded.
    int writeToFile(const QString &path, const QString &type = DocumentType);
    // The Save and Save As commands, with the panel and the error alert;
    // false when nothing was saved. Save asks before it replaces a file that
    // another program changed since this document read or wrote it.
    bool save();
    bool saveAs();
    // Whether the document's file on disk is no longer the one it read or
    // last wrote: another program rewrote or replaced it.
    bool fileChangedOnDisk() const;
    // The periodic save: like Save, except that a file changed by another
    // program is left alone without a question, the document kept edited;
    // the next Save asks. A map edited for another program is sent back.
    // A failed one is told once, after the other documents had their turn,
    // and not again until the document is saved or changed.
    void autosaveDocument() override;
    bool savesElsewhere() const override { return m_link != nullptr; }
    bool reviewUnsavedChanges() override;
    // As the periodic save keeps them; what that leaves unsaved (untitled,
    // changed on disk by another program, a failed save) goes among the
    // application's kept documents.
    void keepChangesUnasked() override;
    // Reads the file again, dropping unsaved changes and the undo history.
    bool revertToSaved();

    // --- kept copies (KeptDocuments) ---
    // Writes the document to `path` as it is: its file, name and edited
    // state stay; a SaveResult.
    int writeKeptCopy(const QString &path);
    // Reads a kept copy into this new document: untitled, edited until saved.
    bool readKeptCopy(const QString &path, LoadError *error = nullptr);
    // The kept copy this document stands for. It goes when the document is
    // saved, or closed unless it was kept for the next launch since its last
    // change.
    const QString &keptCopy() const { return m_keptCopy; }
    void setKeptCopy(const QString &path)
    {
        m_keptCopy = path;
        m_keptForNextLaunch = true;
    }

    TWMapsDoc *mapsDocument() const override { return m_mapsDocument.get(); }
    const std::shared_ptr<TWMapsDoc> &sharedMapsDocument() const { return m_mapsDocument; }
    void setMapsDocument(std::shared_ptr<TWMapsDoc> mapsDocument);
    UndoManager *undoManager() const override { return m_undoManager.get(); }
    // The selection's settings, which the palettes bind to.
    TWGraphicBindingController *graphicBindingController() const override
    {
        return m_graphicBindingController.get();
    }

    QString fileName() const override { return m_fileName; }
    void setFileName(const QString &path);
    // The title of the window: the file's name, or "Untitled".
    QString displayName() const;
    bool keepBackupFile() const;

    // --- edited state ---
    int changeCount() const { return m_changeCount; }
    bool isDocumentEdited() const override { return m_changeCount != 0; }
    void clearChangeCount();

    // --- print settings, kept by the current map ---
    OrderedDictionary printInfoDictionary() const;
    void setPrintInfoDictionary(const OrderedDictionary &printInfo);
    // The print command: the edition's sheet on the window (Deluxe unless
    // the program runs the Compact edition).
    void printDocument();
    // Paper and orientation of the current map, as one undoable change.
    void runPageLayout();

    // --- TWPrintDocument ---
    Size visibleAreaSize() const override;
    const TWTextArea *editingTextArea() const override;
    void moveCachedEditingRects(Point offset) override;
    void currentMapMovedOnCanvas(Point offset) override;
    TWPrintCanvasController *printCanvasController() const override;
    TWPrintView *printView() const override;

    // --- the window ---
    // Builds the window and its views (the edition's interface).
    void makeWindowControllers();
    QWidget *mainWindow() const override;
    TWDocumentWindow *documentWindow() const { return m_window; }
    TWDocumentViewController *documentViewController() const { return m_viewController; }
    TWGraphicView *graphicView() const override;
    TWCSliderCell *zoomSlider() const { return m_zoomSlider; }
    QSplitter *mainSplitView() const { return m_mainSplitView; }
    bool paletteViewVisible() const;
    void setPaletteViewVisible(bool visible);
    // The dock: the palette pane's stack of bezels.
    TWPaletteBezelContainerView *paletteDock() const { return m_paletteDock; }
    // Chooses the dock's palettes; made with the window.
    TWDockedPalettesController *dockedPalettesController() const
    {
        return m_dockedPalettesController.get();
    }
    void showWindows();

    // What the window's close asks: false keeps it open (the user cancelled
    // or a save failed).
    bool canCloseDocument();
    // A window of this document closed; only the main window tears down.
    void windowWillClose(QWidget *window);
    void saveDocument() override { save(); }
    void close() override;

    // --- observer recording (TWDebugBindings) ---
    void addObserver(const QString &keyPath, const void *observer);
    void removeObserver(const QString &keyPath, const void *observer);
    bool recordsObservers() const { return m_bindings.has_value(); }
    // Key path to its observers, while recording.
    QHash<QString, QList<const void *>> bindings() const { return m_bindings.value_or(Bindings()); }

    // --- TWCanvasHost ---
    NotificationObject documentObject() const override { return NotificationObject(this); }
    void selectDadoZizTitle() override;
    void saveTheme() override;
    void addNewDefaultGraphicAtSavedLocation(Point location) override;
    bool editLinkBackInGraphic(const std::shared_ptr<TWGraphic> &graphic) override;
    std::optional<TWMapDrawing::PageGrid> pageGrid() const override;
    qreal drawingScale() const override;
    // The canvas's context menu (TWCanvasContextMenu.cpp); the last one made is kept.
    void prepareContextMenu(Point location) override;
    QMenu *contextMenu(Point location) override;
    // Find and spelling (TWDocument_Find.cpp).
    QList<TWCanvasHost *> openDocuments() const override;
    void orderFront() override;
    QTextEdit *showNotesOnly() override;

    // --- TWMapsDocOwner ---
    void saveVisibleRectForCurrentMap() override;
    void restoreVisibleRectForCurrentMap() override;
    void selectMapInMapsArrayController(const std::shared_ptr<TWMap> &map) override;

    // --- menu commands (TWDocument_Actions.cpp) ---
    // The zoom steps, in percent, from small to large.
    static const QList<float> &zoomSteps();
    // The step the zoom commands go to from `zoom`: the next one up or down,
    // else the largest or smallest.
    static float nextZoomStep(float zoom, bool up);
    // Appends a map and makes it current: with useTemplate, the one chosen
    // in the template chooser (with its theme), else (or when cancelled) a
    // blank one.
    void addMapUsingTemplate(bool useTemplate);
    // The current map's title edited, a blank one named first: after Add Map.
    void editNewMapTitle();
    // The theme selector, applying to the current map.
    void chooseTheme();
    void zoomIn();
    void zoomOut();
    void zoomToFit();
    // Tag 0 fits the map in the window, any other is a zoom in percent.
    void zoomMenuItemClicked(int tag);
    // The pop-up of zoom steps; its items send zoomMenuItemClicked:.
    QMenu *zoomMenu();
    void addNewDefaultGraphic();
    void addNewDefaultFirstLevelGraphic();
    void addNewDefaultFirstLevelGraphicAtSavedLocation();
    // 0 a child under each selected branch, 1 delete, 2 a sibling.
    void branchOperations(int tag);
    void setDefaultGraphicType(int type);
    void centerInView();
    // Tag 0 hides the page frames, 1 shows them.
    void setPageLayoutViewMode(int tag);
    // Asks, then reads the file again.
    void revertDocumentToSaved();
    // The edition's own menu items, added to the window's menu bar.
    virtual void addEditionMenus(QMenuBar *menuBar, TWMenuDispatcher &dispatcher) {}
    // The menu bar's commands for this document's window.
    TWMenuDispatcher *menuDispatcher() const { return m_menuDispatcher; }
    void setMenuDispatcher(TWMenuDispatcher *dispatcher) { m_menuDispatcher = dispatcher; }
    // An untitled document shown under another name (an imported file's).
    void setDisplayName(const QString &name);

    // --- TWMenuResponder ---
    bool respondsToMenuAction(const QString &selector) const override;
    bool validateMenuItem(TWMenuItem &item) const override;
    void performMenuAction(const TWMenuItem &item) override;

    // --- LinkBack (TWDocument_LinkBack.cpp) ---
    // Pasteboard types of the pictures that travel with LinkBack data.
    static inline const QString LinkBackPDFType = QStringLiteral("application/pdf");
    static inline const QString LinkBackTIFFType = QStringLiteral("image/tiff");
    // Serves an edit request: a new document of `controller` showing the map
    // embedded on the link. Null, with the link closed, when its data hold no map.
    static TWDocument *openLinkBackEdit(LinkBack *link, TWDocumentController *controller);
    // The server link this document edits, or null.
    LinkBack *linkBack() const { return m_link; }
    void setLinkBack(LinkBack *link);
    void closeLinkIfNeeded();
    void closeActiveLinks();
    int activeLinkCount() const { return int(m_activeLinks.size()); }
    // Sends the map and its picture back over the link instead of writing a
    // file; the document is clean only when the other side heard it.
    bool saveLink();
    // Selected graphics (or their branches' images) that carry LinkBack data.
    QList<std::shared_ptr<TWGraphic>> selectedLinkBackAttachments() const;
    void editLinkBackItems();
    // Sends a LinkBack text attachment to its source; false when no link
    // could be made. Edits that come back replace it in labels and notes.
    bool editLinkBackInTextAttachment(const TextAttachment &attachment) override;
    // A link the text editor opened for an attachment with this item key.
    void addActiveLink(const std::shared_ptr<LinkBack> &link, const QString &attachmentKey);
    // The name a picture sent back for a text attachment is kept under.
    static QString linkBackPictureName(int changeCount, const QString &extension);

    // The maps the map palettes and the theme chooser act on: the current
    // map, unless the edition lets the user pick several.
    QList<std::shared_ptr<TWMap>> selectedMaps() const override;

    // The font of the first selected label (its first character's), or none.
    std::optional<Font> selectedFont() const;
    // Opens the shared font panel on the selection's font, with this window
    // as its target: each font picked there changes the selected labels in
    // one undoable step.
    void orderFrontFontPanel() override;

    // --- TWPaletteHost ---
    QObject *hostObject() override { return this; }
    QMetaObject::Connection connectSelectedMapsChanged(QObject *receiver,
                                                       std::function<void()> slot) override;
    // Asked of the window's view controller; nothing before the window is made.
    void scaleToFitMapOnSinglePage() override;

signals:
    // The first font of the selected label, for the font panel to show.
    void selectedFontChanged(const QVariant &font);
    void documentEditedChanged(bool edited);
    void selectedMapsChanged();

protected:
    // The edition's part of the window, once the shared views are made. A
    // window's toolbar is installed after this, by its own controller.
    virtual void editionWindowDidLoad() {}

private:
    using Bindings = QHash<QString, QList<const void *>>;

    void awakeFromNib();
    void keepKeysWithCanvas();
    void windowControllerDidLoadNib();
    void selectionChanged(const Notification &notification);
    void updateSplitViewColor();
    void setChangeCount(int count);
    void installLayout();
    void addMap();
    void observeMapsDocument();
    void syncZoomSlider();
    // Tells why a save failed; kept instead while a save asks nothing.
    void reportSaveError(int code, const QString &path);
    void showSaveError(const QString &message);
    // Saves as the periodic save does, asking nothing and telling nothing;
    // why it failed, or nullopt when it did not or nothing was to be saved.
    std::optional<QString> saveUnasked();
    // The branches of every map, which a save writes one by one.
    qint64 branchCount() const;
    // Save to the document's own file, once it is known to be wanted.
    bool saveToOwnFile();

    std::shared_ptr<TWMapsDoc> m_mapsDocument;
    std::shared_ptr<UndoManager> m_undoManager;
    QString m_fileName;
    // The file as this document last read or wrote it.
    FileStamp m_fileStamp;
    int m_changeCount = 0;
    std::optional<Bindings> m_bindings;

    QPointer<TWDocumentWindow> m_window;
    TWDocumentViewController *m_viewController = nullptr;
    QSplitter *m_mainSplitView = nullptr;
    QScrollArea *m_paletteScrollView = nullptr;
    TWPaletteBezelContainerView *m_paletteDock = nullptr;
    TWCSliderCell *m_zoomSlider = nullptr;
    QVariantAnimation *m_paletteAnimation = nullptr;
    int m_paletteWidth = 220;
    bool m_closed = false;
    // While a save asks nothing: its failure's message, kept.
    bool m_keepSaveErrors = false;
    std::optional<QString> m_keptSaveError;
    // A failed periodic save was told since the last change or save.
    bool m_autosaveFailureTold = false;
    QString m_keptCopy;
    bool m_keptForNextLaunch = false;
    std::vector<ObserverToken> m_observers;
    ObserverToken m_mapTabsObserver;
    QPointer<TWMenuDispatcher> m_menuDispatcher;
    QPointer<QMenu> m_zoomMenu;
    QPointer<QMenu> m_contextMenu;
    QString m_displayName;
    std::unique_ptr<TWGraphicBindingController> m_graphicBindingController;
    std::unique_ptr<TWDockedPalettesController> m_dockedPalettesController;

    friend class TWDocumentLinkBackClient;
    void linkBackServerDidSendEdit(LinkBack *link);
    void linkBackDidClose(LinkBack *link);
    struct ActiveLink
    {
        std::shared_ptr<LinkBack> link;
        std::weak_ptr<TWGraphic> graphic;
        QString attachmentKey;
        // The user heard that the item edited over the link is gone.
        bool toldItemGone = false;
    };
    // Puts the picture sent back in every label and note that holds the
    // item; false when none does any more.
    bool replaceLinkBackAttachments(LinkBack *link, const QString &attachmentKey);
    // A link asked for again (its item is open already) is kept once.
    void rememberActiveLink(ActiveLink active);
    LinkBack *m_link = nullptr;
    std::vector<ActiveLink> m_activeLinks;
    TWDocumentLinkBackClient m_linkBackClient{this};
};
