#pragma once

#include "palettes/TWPaletteHost.h"
#include "platform/Geometry.h"
#include "platform/NotificationCenter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <limits>
#include <vector>

class TWMap;

// The navigator palette's view: a thumbnail of the current map, scaled to
// fit and centred, with the part the canvas shows outlined. A click centres
// the canvas there, a drag pans it. The thumbnail is kept: a scroll only
// moves the outline, a changed part of the map is drawn again into it a few
// frames later, and only a new scale or size redraws it whole, after half a
// second of quiet. Labels too small to read are left out of it.
//
// A thumbnail is made in bands of rows, a few milliseconds' worth per pass
// of the event loop, from the moment the view shows: a large map appears
// band by band without holding up the window, a small one in the first
// paint. While a whole redraw is under way the previous picture stays.
class TWNavigatorView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int UpdateDelayMilliseconds = 500;
    static constexpr int CatchUpDelayMilliseconds = 50;
    // The drawing a thumbnail does in one pass of the event loop.
    static constexpr int BuildSliceMilliseconds = 8;

    // Where the view gets its map and the canvas's visible part from; a
    // document gives its own.
    struct Source
    {
        std::function<TWMap *()> map;
        std::function<Rect()> visibleRect;
        std::function<void(Rect)> scrollRectToVisible;
    };

    explicit TWNavigatorView(QWidget *parent = nullptr);
    ~TWNavigatorView() override;

    TWPaletteHost *document() const;
    void setDocument(TWPaletteHost *document);
    void setSource(Source source);
    bool hasSource() const { return bool(m_source.map); }
    // While the view of all maps shows instead of the canvas, the navigator is blank.
    void setDocumentViewActive(bool active);
    bool documentViewActive() const { return m_documentViewActive; }

    void delayedUpdateDisplay();
    bool updatePending() const { return m_updateTimer.isActive(); }
    // Drops the thumbnail and redraws.
    void updateDisplay();
    // The canvas showed another part of the map: the outline follows.
    void visibleRectDidChange();
    // A part of the map (map coordinates) changed: it is drawn again into the
    // thumbnail a few frames later, or the whole after the quiet wait when
    // the thumbnail's scale no longer fits.
    void mapAreaDidChange(Rect area);
    bool catchUpPending() const { return m_catchUpTimer.isActive(); }
    // The parts (map coordinates) the next catch-up draws.
    const QList<Rect> &changedAreas() const { return m_changedAreas; }
    // Draws the changed parts now.
    void catchUp();

    float scalingFactor() const { return m_scalingFactor; }
    Point drawingOffset() const { return m_drawingOffset; }
    Rect mapVisibleRect() const { return m_mapVisibleRect; }
    // Where a map drawn at `size` starts in the view: centred, on whole pixels.
    Point offsetForMapSize(Size size) const;
    // Works out scale, offset and outline for the current size, as drawing does.
    void layoutThumbnail();
    // The picture of the map at the view's size, made (or finished) now when
    // missing.
    const QImage &thumbnail();
    bool hasThumbnail() const { return !m_thumbnail.isNull(); }
    // A thumbnail is being made band by band.
    bool building() const { return !m_building.isNull(); }
    // Draws the next bands of the thumbnail, for about `milliseconds` (at
    // least one band), starting one when there is none; true when it is
    // complete.
    bool buildFor(int milliseconds);
    // The rows of the thumbnail being made that are drawn.
    int builtRows() const { return building() ? m_builtRows : 0; }
    // The whole picture drawn anew at the current scale and offset, apart
    // from the one kept: what the kept one is to look like.
    QImage pictureDrawnAfresh();
    // Moves the canvas by (dx, dy) view units.
    void scrollMapBy(float dx, float dy);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The catch-up timer: catches up once the changes have paused.
    void catchUpWhenQuiet();
    TWMap *map() const { return m_source.map ? m_source.map() : nullptr; }
    // The part of the canvas (map units, from its origin) the thumbnail fits.
    Size shownArea(TWMap &map) const;
    // Starts a thumbnail at the current scale and offset.
    void startBuilding();
    void buildingTick();
    // Drops every picture: they show another map or another size.
    void dropPictures();
    // Clears the pixels (view units) of the image and draws the map there.
    void drawPixels(QImage &image, const QRect &pixels, TWMap &map, float scale, Point offset);

    TWPaletteHostPointer m_document;
    Source m_source;
    bool m_documentViewActive = false;
    Rect m_mapVisibleRect;
    Point m_drawingOffset;
    float m_scalingFactor = 0;
    QPointF m_initialLocation;
    QImage m_thumbnail;
    // What the thumbnail was drawn at.
    float m_thumbnailScale = 0;
    Point m_thumbnailOffset;
    // The thumbnail being made: its rows above m_builtRows are drawn.
    QImage m_building;
    float m_buildingScale = 0;
    Point m_buildingOffset;
    int m_builtRows = 0;
    static constexpr int MostBandRows = 16;
    int m_bandHeight = MostBandRows;
    // The last band found slow, and what it took: a thinner one must be quicker.
    int m_slowBandRows = std::numeric_limits<int>::max();
    qint64 m_slowBandMilliseconds = 0;
    // Shown while a whole redraw is made: the thumbnail it replaces.
    QImage m_previous;
    QTimer m_buildTimer;
    QList<Rect> m_changedAreas;
    QTimer m_updateTimer;
    QTimer m_catchUpTimer;
    // Since the last change: the catch-up waits for the changes to pause.
    QElapsedTimer m_sinceChange;
    ObserverToken m_closeObserver;
    std::vector<ObserverToken> m_documentObservers;
};
