#pragma once

#include "platform/Geometry.h"
#include "render/TWTextLayout.h"

#include <QPageLayout>
#include <QString>
#include <memory>
#include <optional>

class OrderedDictionary;
class TWMap;
class TWPrintDocument;

// Cuts the current map of a document window into printed pages: the
// printable part of a page, how many pages wide and high the map needs at
// the window's scale, each page's rectangle and the size of the canvas in
// whole pages. When page frames are shown it moves a map that has drifted
// so that no empty page lies before its drawing. One per document window.
//
// Print-view coordinates are map coordinates times the scale, y down, with
// the first page at the top left.
class TWPrintCanvasController
{
public:
    // Posted by the window (object: the maps document) once it has resized
    // its views after an update.
    static inline const QString DidUpdateNotification =
        QStringLiteral("TWPrintCanvasControllerDidUpdate");
    // No direction needs more pages than this.
    static constexpr int maximumPages = 10000;

    // Computes the printable page size at once.
    explicit TWPrintCanvasController(TWPrintDocument *document);

    TWPrintDocument *document() const { return m_document; }

    Size printablePageSize() const { return m_printablePageSize; }
    // From the document's page layout and the current map's margins; the
    // window calls it when either changes.
    void calculatePrintablePageSize();

    // 0 until the first update, then at least 1.
    int pagesWide() const { return m_pagesWide; }
    int pagesHigh() const { return m_pagesHigh; }
    int numberOfPages() const { return m_pagesWide * m_pagesHigh; }
    // Pages count from 1, row by row from the top; page 1 and below give the first.
    Rect rectForPage(int page) const;

    // While one is alive, the drawing's extent is measured once for the
    // controller's use and then reused: an update reads it several times
    // while nothing changes the map. Holds nest.
    class ExtentHold
    {
    public:
        explicit ExtentHold(TWPrintCanvasController &controller);
        ~ExtentHold();
        ExtentHold(const ExtentHold &) = delete;
        ExtentHold &operator=(const ExtentHold &) = delete;

    private:
        TWPrintCanvasController &m_controller;
    };

    // Moves the map out of empty pages, counts the pages its drawing needs
    // and sets its canvas size to the whole pages. Nothing for no map.
    void updateCanvasSizeForMap(TWMap *map);
    // Whether the last update left the map where it was because a text was
    // being edited: the next update after editing moves it.
    bool trimWaitsForEditing() const { return m_trimWaitsForEditing; }
    // The size the print view and the canvas take, at the origin.
    Rect printCanvasRect() const;
    // Moves the map (one undoable move of its tree) so that its drawing
    // starts on the first page; returns the offset, zero when it stayed.
    Point removeUnusedAreaFromMap(TWMap *map);
    // The first measurement of a freshly read map lays out every flexi label:
    // while the answer lives, worker threads measure those labels ahead, in
    // the order the measurement meets them. None for fewer than are worth it.
    static std::unique_ptr<TWTextLayout::Prefetch> measureLabelsAhead(TWMap *map);
    static constexpr size_t LabelsWorthMeasuringAhead = 64;
    // Scales the map so that its drawing fills 99 % of one printable page,
    // centres it on the page (undoable) and asks for an update at once.
    void scaleToFitMapOnSinglePage(TWMap *map);

    // --- the arithmetic, for the sheets and for tests ---
    // The imageable area less the margins; a side of 10 points or less
    // becomes 400 wide or 600 high.
    static Size printablePageSize(const QPageLayout &layout, const OrderedDictionary &setup);
    // Pages needed for an extent: whole pages rounded up, at least 1.
    static int pagesForExtent(double extent, double pageLength);
    // The move along one axis that puts an edge at `edge` (print-view units)
    // on the first page: whole pages with page frames, else only out of
    // negative space. In print-view units.
    static double offsetForEdge(double edge, double pageLength, bool pageFrames);
    // `move` (map units) cut short where it would carry the drawing, from
    // `low` to `high` along the axis, past the coordinates graphics keep.
    static double moveWithinRange(double move, double low, double high);
    // Rectangle of a page among `pagesWide` columns.
    static Rect rectForPage(int page, int pagesWide, Size pageSize);

private:
    Rect printCanvasRectForMap(TWMap *map) const;
    Rect printCanvasRectForMap(TWMap *map, const Rect &extent) const;
    // As the public one; `extent` is the drawing's extent when nothing moved.
    Point removeUnusedAreaFromMap(TWMap *map, std::optional<Rect> &extent);
    float scale() const;

    // The map's extent, measured; kept while a hold is alive.
    Rect extentOf(TWMap *map) const;
    void keepExtent(TWMap *map, const Rect &extent) const;

    TWPrintDocument *m_document;
    bool m_trimWaitsForEditing = false;
    int m_holds = 0;
    mutable TWMap *m_heldMap = nullptr;
    mutable std::optional<Rect> m_heldExtent;
    Size m_printablePageSize;
    int m_pagesWide = 0;
    int m_pagesHigh = 0;
};
