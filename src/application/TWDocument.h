#pragma once

#include "application/Document.h"
#include "application/TWDocumentWindow.h"
#include "canvas/TWCanvasHost.h"
#include "model/TWMapsDocOwner.h"
#include "platform/NotificationCenter.h"
#include "support/OrderedDictionary.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

class QScrollArea;
class QSplitter;
class QVariantAnimation;
class TWCSliderCell;
class TWDocumentViewController;
class TWGraphicBindingController;
class TWGraphicView;
class TWMapsDoc;
class UndoManager;

// One document file and its window: owns the maps document and its undo
// manager, reads and writes the file, keeps print settings per map and the
// window's frame per file, and is the host of the canvas it shows.
class TWDocument : public Document, public TWCanvasHost, public TWMapsDocOwner
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

    // --- reading and writing ---
    // Package first, then the older property-list form; false with the
    // reason to show.
    bool readFromFile(const QString &path, const QString &type = DocumentType,
                      LoadError *error = nullptr);
    // Writes the maps document to path; 0 or the save error's code. The
    // change count is cleared only after a save that succeeded.
    int writeToFile(const QString &path, const QString &type = DocumentType);
    // The Save and Save As commands, with the panel and the error alert;
    // false when nothing was saved.
    bool save();
    bool saveAs();
    // Reads the file again, dropping unsaved changes and the undo history.
    bool revertToSaved();

    TWMapsDoc *mapsDocument() const override { return m_mapsDocument.get(); }
    const std::shared_ptr<TWMapsDoc> &sharedMapsDocument() const { return m_mapsDocument; }
    void setMapsDocument(std::shared_ptr<TWMapsDoc> mapsDocument);
    UndoManager *undoManager() const override { return m_undoManager.get(); }
    // The selection's settings, which the palettes bind to.
    TWGraphicBindingController *graphicBindingController() const
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
    OrderedDictionary printInfo() const;
    void setPrintInfo(const OrderedDictionary &printInfo);

    // --- the window ---
    // Builds the window and its views (the edition's interface).
    void makeWindowControllers();
    QWidget *mainWindow() const override;
    TWDocumentWindow *documentWindow() const { return m_window; }
    TWDocumentViewController *documentViewController() const { return m_viewController; }
    TWGraphicView *graphicView() const;
    TWCSliderCell *zoomSlider() const { return m_zoomSlider; }
    QSplitter *mainSplitView() const { return m_mainSplitView; }
    bool paletteViewVisible() const;
    void setPaletteViewVisible(bool visible);
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

    // --- TWMapsDocOwner ---
    void saveVisibleRectForCurrentMap() override;
    void restoreVisibleRectForCurrentMap() override;
    void selectMapInMapsArrayController(const std::shared_ptr<TWMap> &map) override;

signals:
    // The first font of the selected label, for the font panel to show.
    void selectedFontChanged(const QVariant &font);
    void documentEditedChanged(bool edited);

private:
    using Bindings = QHash<QString, QList<const void *>>;

    void awakeFromNib();
    void windowControllerDidLoadNib();
    void selectionChanged(const Notification &notification);
    void updateSplitViewColor();
    void setChangeCount(int count);
    void installLayout();
    void addMap();
    void observeMapsDocument();
    void syncZoomSlider();
    void reportSaveError(int code);

    std::shared_ptr<TWMapsDoc> m_mapsDocument;
    std::shared_ptr<UndoManager> m_undoManager;
    QString m_fileName;
    int m_changeCount = 0;
    std::optional<Bindings> m_bindings;

    QPointer<TWDocumentWindow> m_window;
    TWDocumentViewController *m_viewController = nullptr;
    QSplitter *m_mainSplitView = nullptr;
    QScrollArea *m_paletteScrollView = nullptr;
    TWCSliderCell *m_zoomSlider = nullptr;
    QVariantAnimation *m_paletteAnimation = nullptr;
    int m_paletteWidth = 220;
    bool m_closed = false;
    std::vector<ObserverToken> m_observers;
    ObserverToken m_mapTabsObserver;
    std::unique_ptr<TWGraphicBindingController> m_graphicBindingController;
};
