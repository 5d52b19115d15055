#pragma once

#include "platform/Geometry.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QScrollArea>
#include <memory>
#include <vector>

class QWidget;
class TWDocument;
class TWGraphicView;
class TWMap;
class TWMapsDoc;
class TWScaleView;
class TWZoomView;

// Page geometry of a document as the view stack needs it. The printing code
// gives the paged one; without it the canvas is sized for the screen alone.
class TWPrintCanvas
{
public:
    virtual ~TWPrintCanvas();
    virtual void calculatePrintablePageSize() = 0;
    virtual Size printablePageSize() const = 0;
    // Recomputes the map's canvas size (and the page counts).
    virtual void updateCanvasSizeForMap(TWMap *map) = 0;
    // What the print view and the canvas take as their size, origin (0, 0).
    virtual Rect printCanvasRect() const = 0;
};

// The document window's map: a scroll area holding the zoom view, the print
// view, the scale view and the canvas, from the outside in. Zoom and scale
// are percentages each map keeps; the controller follows the current map,
// keeps the point at the centre of the window where it was on the map when
// they change, centres drawings smaller than the window, and fits the map to
// the window or to one page.
//
// The canvas scrolls the map inside itself, so the layers above it hold the
// window's visible part: the print layer is placed and sized so that a small
// drawing sits in the middle of the window.
class TWDocumentViewController : public QObject
{
    Q_OBJECT

public:
    static inline const QString DidUpdateNotification =
        QStringLiteral("TWPrintCanvasControllerDidUpdate");
    static inline const QString ScaleDidChangeNotification =
        QStringLiteral("TWMapsDocScaleDidChangeNotification");

    // Builds the stack inside a new scroll area for the document's current
    // map. `graphicView` is the canvas to show (made when null).
    explicit TWDocumentViewController(TWDocument *document, QWidget *parent = nullptr);
    ~TWDocumentViewController() override;

    TWDocument *document() const { return m_document; }
    QScrollArea *scrollView() const { return m_scrollView; }
    TWZoomView *zoomView() const { return m_zoomView; }
    // The layer between the zoom view and the scale view: the print view once
    // one is inserted, else the scale view itself.
    QWidget *printLayer() const;
    QWidget *printView() const { return m_printView; }
    TWScaleView *scaleView() const { return m_scaleView; }
    TWGraphicView *graphicView() const { return m_graphicView; }
    TWPrintCanvas &printCanvasController() const { return *m_printCanvas; }

    // --- seams for the printing code ---
    // Puts the print view between the zoom view and the scale view; it then
    // takes the print canvas's size and the scale view goes inside it.
    void insertPrintView(QWidget *printView);
    // Page geometry; nullptr restores the screen-only one.
    void setPrintCanvasController(std::unique_ptr<TWPrintCanvas> controller);

    float zoomAmount() const { return m_zoomAmount; }
    float scaleAmount() const { return m_scaleAmount; }
    // Apply a percentage to the views (the map keeps the stored value);
    // 0 and the value already applied change nothing.
    void setZoomAmount(float percent);
    void setScaleAmount(float percent);

    // Changes the current map's zoom and follows it: what the zoom menu,
    // slider and the wheel call.
    void setMapZoomAmount(float percent);

    // --- the update path ---
    void update();
    // One update for this document once the application is idle, however
    // many ask for it.
    void updateWhenIdle();
    void updateViews();
    void updateZoomViewRectAndCenterContent();

    void zoomToFitMapInWindow();
    void scaleToFitMapOnSinglePage();
    void centerMapOnCanvas();

    void saveMapCenter();
    void restoreMapCenter();
    void scrollSelectionToVisible();
    void saveVisibleRectForCurrentMap();
    void restoreVisibleRectForCurrentMap();
    // Takes the current map's zoom, scale and page set-up.
    void followCurrentMap();
    // The print settings of the current map changed.
    void printInfoDidChange();
    void forcePrintGrid(bool) {}

    // The canvas's visible part in the window, in screen units.
    QSize contentSize() const;

    void documentWillClose();

signals:
    // The views now show this zoom.
    void zoomAmountChanged(float percent);

public:
    // The document shows another maps document (reverted): listen to it.
    void mapsDocumentDidChange();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void registerForNotifications();
    TWMap *currentMap() const;
    TWMapsDoc *mapsDocument() const;
    void applyFactor(QWidget *view, float &amount, float percent);

    TWDocument *m_document;
    QPointer<QScrollArea> m_scrollView;
    std::unique_ptr<TWPrintCanvas> m_printCanvas;
    TWZoomView *m_zoomView = nullptr;
    QPointer<QWidget> m_printView;
    TWScaleView *m_scaleView = nullptr;
    TWGraphicView *m_graphicView = nullptr;
    float m_zoomAmount = 100;
    float m_scaleAmount = 100;
    Rect m_savedVisibleRect;
    // The maps document registered with, which notifications come from.
    const void *m_observedMapsDocument = nullptr;
    std::vector<ObserverToken> m_observers;
    bool m_closed = false;
};

// The canvas without pages: it reaches the drawing's far edges and always
// fills the window; a drawing left of or above the origin is moved onto it.
class TWScreenCanvas : public TWPrintCanvas
{
public:
    explicit TWScreenCanvas(TWDocumentViewController &controller) : m_controller(controller) {}

    void calculatePrintablePageSize() override {}
    Size printablePageSize() const override { return m_pageSize; }
    void setPrintablePageSize(Size size) { m_pageSize = size; }
    void updateCanvasSizeForMap(TWMap *map) override;
    Rect printCanvasRect() const override;

private:
    TWDocumentViewController &m_controller;
    // US Letter less the usual unprintable edge, until the printing code knows better.
    Size m_pageSize{576, 756};
};
