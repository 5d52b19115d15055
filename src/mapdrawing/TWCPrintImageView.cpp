#include "mapdrawing/TWCPrintImageView.h"

#include "mapdrawing/TWPrintSetup.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"

#include <QCoreApplication>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <cmath>

namespace {

int wholePages(float length, float page)
{
    if (!(page > 0) || !std::isfinite(length / page))
        return 0;
    return int(std::clamp(std::round(double(length) / page), 0.0, 10000.0));
}

QString tr(const char *text)
{
    return QCoreApplication::translate("TWCPrintImageView", text);
}

} // namespace

TWCPrintImageView::TWCPrintImageView(Size pageSize) : m_pageSize(pageSize) {}

Rect TWCPrintImageView::toDown(const Rect &r) const
{
    return Rect(r.x(), m_frameSize.height - r.y() - r.height(), r.width(), r.height());
}

Rect TWCPrintImageView::pictureRect() const
{
    float w = m_pictureSize.width, h = m_pictureSize.height;
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
        return {};
    const float W = m_frameSize.width, H = m_frameSize.height;
    // Larger than the area: scaled down, proportions kept.
    const float shrink = std::min({1.0f, W / w, H / h});
    if (shrink < 1) {
        w *= shrink;
        h *= shrink;
    }
    const int column = int(m_alignment) % 3, row = int(m_alignment) / 3;
    const float x = column == 0 ? 0 : column == 1 ? (W - w) / 2 : W - w;
    const float y = row == 0 ? H - h : row == 1 ? (H - h) / 2 : 0;
    return {x, y, w, h};
}

QList<QLineF> TWCPrintImageView::gridLines() const
{
    const float pw = m_pageSize.width, ph = m_pageSize.height;
    if (!(pw >= 100) || !(ph >= 100))
        return {};
    const int columns = pagesWide(), rows = pagesHigh();
    QList<QLineF> lines;
    for (int i = 1; i < columns; ++i)
        lines.append(QLineF(i * pw, 0, i * pw, rows * ph));
    for (int j = 1; j < rows; ++j)
        lines.append(QLineF(0, j * ph, columns * pw, j * ph));
    return lines;
}

int TWCPrintImageView::pagesWide() const
{
    return wholePages(m_frameSize.width, m_pageSize.width);
}

int TWCPrintImageView::pagesHigh() const
{
    return wholePages(m_frameSize.height, m_pageSize.height);
}

Rect TWCPrintImageView::rectForPage(int page) const
{
    const int wide = pagesWide();
    int column = 0, row = 0;
    if (page >= 2 && wide > 0) {
        column = (page - 1) % wide;
        row = (page - 1) / wide;
    }
    return {column * m_pageSize.width, row * m_pageSize.height, m_pageSize.width,
            m_pageSize.height};
}

void TWCPrintImageView::draw(const DrawingContext &context, bool creatingPreview) const
{
    QPainter &p = context.painter();
    const QRectF area(0, 0, m_frameSize.width, m_frameSize.height);
    if (creatingPreview)
        p.fillRect(area, Qt::white);
    const Rect picture = pictureRect();
    if (!picture.isEmpty()) {
        const Rect target = toDown(picture);
        if (!creatingPreview && m_drawer)
            m_drawer(context, target);
        else if (m_picture)
            PictureDrawing::drawImage(context, *m_picture, target);
    }
    if (!creatingPreview)
        return;
    QPainterPath border;
    border.addRect(area);
    p.strokePath(border, DrawingContext::pen(Qt::black, StrokeStyle::withWidth(borderWidth())));
    QPainterPath grid;
    for (const QLineF &line : gridLines()) {
        grid.moveTo(line.x1(), m_frameSize.height - line.y1());
        grid.lineTo(line.x2(), m_frameSize.height - line.y2());
    }
    if (grid.isEmpty())
        return;
    StrokeStyle dashed = StrokeStyle::withWidth(borderWidth());
    dashed.dash = StrokeStyle::dashInWidths({7, 3}, borderWidth());
    p.strokePath(grid, DrawingContext::pen(Qt::black, dashed));
}

QImage TWCPrintImageView::previewImage(qreal pixelsPerPoint) const
{
    const double pixels =
        double(m_frameSize.width) * m_frameSize.height * pixelsPerPoint * pixelsPerPoint;
    if (m_frameSize.width <= 0 || m_frameSize.height <= 0 || !(pixelsPerPoint > 0) ||
        !(pixels < 64.0e6))
        return {};
    QImage image = DrawingContext::makeImage(m_frameSize, pixelsPerPoint, Qt::white);
    QPainter painter(&image);
    {
        DrawingContext context(painter, pixelsPerPoint);
        draw(context, true);
    }
    painter.end();
    return image;
}

bool TWCPrintImageView::print(QPagedPaintDevice &device, const QPageLayout &layout,
                              QString *error) const
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    const int count = numberOfPages();
    if (count < 1)
        return fail(tr("There are no pages to print."));
    const QPageLayout sheet(layout.pageSize(), layout.orientation(), QMarginsF(),
                            QPageLayout::Point);
    if (auto *printer = dynamic_cast<QPrinter *>(&device))
        printer->setFullPage(true);
    if (!device.setPageLayout(sheet))
        return fail(tr("The printer cannot print on this paper."));
    const float paperHeight = TWPrintSetup::paperSize(sheet).height;
    QPainter painter;
    if (!painter.begin(&device))
        return fail(tr("The printer could not be started."));
    bool ok = true;
    for (int page = 1; page <= count && ok; ++page) {
        if (page > 1 && !device.newPage()) {
            ok = false;
            break;
        }
        // The page's part of the area, its lower-left corner on the origin.
        const Rect r = toDown(rectForPage(page));
        DrawingContext context(painter, false);
        QPainter &p = context.painter();
        p.translate(m_printOrigin.x, paperHeight - m_printOrigin.y - r.height());
        p.setClipRect(QRectF(0, 0, r.width(), r.height()), Qt::IntersectClip);
        p.translate(-r.x(), -r.y());
        draw(context, false);
    }
    if (!painter.end())
        ok = false;
    if (auto *printer = dynamic_cast<QPrinter *>(&device))
        if (printer->printerState() == QPrinter::Error ||
            printer->printerState() == QPrinter::Aborted)
            ok = false;
    return ok ? true : fail(tr("The pages could not be sent to the printer."));
}
