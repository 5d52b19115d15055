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
class TWPrintCanvasController;
class TWPrintView;
class TWScaleView;
class TWZoomView;

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
    // map; with `withPrintView`, the print view is in it from the first update.
    explicit TWDocumentViewController(TWDocument *document, QWidget *parent = nullptr,
                                      bool withPrintView = false);
    ~TWDocumentViewController() override;

    TWDocument *document() const { return m_document; }
    QScrollArea *scrollView() const { return m_scrollView; }
    TWZoomView *zoomView() const { return m_zoomView; }
    // The layer between the zoom view and the scale view: the print view once
    // one is inserted, else the scale view itself.
    QWidget *printLayer() const;
    TWPrintView *printView() const;
    TWScaleView *scaleView() const { return m_scaleView; }
    TWGraphicView *graphicView() const { return m_graphicView; }
    TWPrintCanvasController &printCanvasController() const { return *m_printCanvas; }

    // --- seams for the printing code ---
    // Puts the print view between the zoom view and the scale view; it then
    // takes the print canvas's size and the scale view goes inside it. The
    // controller drives its updates.
    void insertPrintView(TWPrintView *printView);
    // Page geometry; nullptr makes a new one for the document.
    void setPrintCanvasController(std::unique_ptr<TWPrintCanvasController> controller);

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
    // The canvas's visible part without its scroll bars, in paper units
    // (map units at the scale).
    Size visibleAreaSize() const;

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
    // insertPrintView() without its update.
    bool attachPrintView(TWPrintView *printView);
    void registerForNotifications();
    // A map moved past the canvas's corner by an edit moves back within the
    // edit's own undo step.
    void trimBeforeTheStepCloses();
    TWMap *currentMap() const;
    TWMapsDoc *mapsDocument() const;
    void applyFactor(QWidget *view, float &amount, float percent);

    TWDocument *m_document;
    QPointer<QScrollArea> m_scrollView;
    std::unique_ptr<TWPrintCanvasController> m_printCanvas;
    TWZoomView *m_zoomView = nullptr;
    QPointer<TWPrintView> m_printView;
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
