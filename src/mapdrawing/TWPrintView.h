#pragma once

#include "mapdrawing/TWPrintPageBorder.h"
#include "platform/Geometry.h"
#include "platform/NotificationCenter.h"

#include <QDateTime>
#include <QWidget>
#include <optional>
#include <vector>

class DrawingContext;
class QPagedPaintDevice;
class TWMap;
class TWMapsDoc;
class TWPrintCanvasController;

// The layer of a document window that prints. In the window's view stack it
// takes the size of the print canvas (the whole pages, or the visible area
// and the drawing when page frames are hidden) and paints nothing itself.
// Printing it paginates the current map through its print canvas
// controller: each page's part of the map goes to the same place on the
// sheet, inside the margins, and the page border (crop marks, frame,
// header and footer) is drawn around it.
//
// The window makes it with the document's print canvas controller and keeps
// both. While it follows update notifications (the default) it runs
// updatePrintCanvas() on "TWPrintCanvasControllerNeedsUpdateNow" about its
// maps document, turns "TWPrintCanvasControllerNeedsUpdateWhenIdle" into
// one such notification for when the loop is idle, recomputes the printable
// page when the current map's print setup changes, and after each update
// resizes itself (unless its owner sizes it), emits printCanvasRectChanged()
// (the window sizes its other layers from it) and posts
// "TWPrintCanvasControllerDidUpdate".
class TWPrintView : public QWidget
{
    Q_OBJECT

public:
    explicit TWPrintView(TWPrintCanvasController *controller, QWidget *parent = nullptr);
    ~TWPrintView() override;

    TWPrintCanvasController *printCanvasController() const { return m_controller; }
    TWMapsDoc *mapsDocument() const;
    TWMap *map() const;

    // --- window side ---
    void setFollowsUpdateNotifications(bool follow);
    bool followsUpdateNotifications() const { return !m_observers.empty(); }
    // Moves the map out of empty pages, recounts the pages, sizes the map's
    // canvas and this view, then announces it.
    // Without `resizeToCanvas` the owner sizes the view: a resize to the
    // whole canvas and back to the window's layer would repaint the canvas
    // whole.
    void updatePrintCanvas(bool resizeToCanvas = true);
    // The maps document's page frames (an undoable switch of the document).
    bool showsPageFrames() const;
    void setShowsPageFrames(bool show);

    // --- pagination ---
    // Pages are numbered from 1; the count is the controller's.
    int numberOfPages() const;
    void getPagesWide(int &wide, int &high) const;
    // Notes the page (for "%page%") and returns its rectangle.
    Rect rectForPage(int page);
    int currentPage() const { return m_currentPage; }
    // Where every page's rectangle goes on the sheet: the imageable area's
    // lower-left corner moved in by the left and bottom margins (sheet
    // coordinates, y up).
    Point locationOfPrintRect(Rect ignored = {}) const;
    // The header or footer text with its fields filled for the current page;
    // nothing for nothing.
    std::optional<AttributedString>
    stringPreparedForPrinting(const std::optional<AttributedString> &text) const;
    TWPrintPageBorder::FieldValues fieldValues() const;
    // Crop marks, frame, header and footer of the current page, on a sheet
    // of that size.
    void drawPageBorderWithSize(const DrawingContext &context, Size paperSize) const;

    // --- printing ---
    struct PrintOptions
    {
        // Whether the map's background prints; nothing: the map's setting.
        std::optional<bool> printBackground;
        // The date the fields show; the time of printing when invalid.
        QDateTime date;
    };
    // Prints every page (or the printer's chosen range) onto the device,
    // whose sheet becomes the document's paper. False, with the reason in
    // `error`, when nothing could be printed.
    bool print(QPagedPaintDevice &device, const PrintOptions &options, QString *error = nullptr);
    // The same into a PDF file.
    bool printToPDF(const QString &path, const PrintOptions &options, QString *error = nullptr);

signals:
    void printCanvasRectChanged(const QRectF &rect);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawPage(QPainter &painter, TWMap &map, Size paper, const PrintOptions &options);

    TWPrintCanvasController *m_controller;
    int m_currentPage = 0;
    QDateTime m_printDate;
    std::vector<ObserverToken> m_observers;
};
