#include "mapdrawing/TWPrintView.h"

#include "mapdrawing/TWMap_Drawing.h"
#include "mapdrawing/TWPrintCanvasController.h"
#include "mapdrawing/TWPrintDocument.h"
#include "mapdrawing/TWPrintSetup.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "render/DrawingContext.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <cmath>

TWPrintView::TWPrintView(TWPrintCanvasController *controller, QWidget *parent)
    : QWidget(parent), m_controller(controller)
{
    setFollowsUpdateNotifications(true);
}

TWPrintView::~TWPrintView() = default;

TWMapsDoc *TWPrintView::mapsDocument() const
{
    return m_controller && m_controller->document() ? m_controller->document()->mapsDocument()
                                                    : nullptr;
}

TWMap *TWPrintView::map() const
{
    return m_controller && m_controller->document() ? m_controller->document()->currentMap()
                                                    : nullptr;
}

// --- window side ---

void TWPrintView::setFollowsUpdateNotifications(bool follow)
{
    m_observers.clear();
    TWMapsDoc *doc = mapsDocument();
    if (!follow || !doc)
        return;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.observe(TWMap::PrintCanvasControllerNeedsUpdateNowNotification,
                                         doc,
                                         [this](const Notification &) { updatePrintCanvas(); }));
    // A changed print setup changes the printable page; maps post about themselves.
    m_observers.push_back(
        center.observe(TWMap::ValueChangeNotification, nullptr, [this](const Notification &n) {
            TWMap *m = map();
            if (!m || n.sender != static_cast<const void *>(m) ||
                n.userInfo.value(TWMap::KeyKey).toString() != QLatin1String("printSetupDictionary"))
                return;
            m_controller->calculatePrintablePageSize();
            updatePrintCanvas();
        }));
    m_observers.push_back(center.observe(
        TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification, doc,
        [this](const Notification &) {
            TWMapsDoc *d = mapsDocument();
            if (!d)
                return;
            // Many edits in a row lay out the pages once, when the loop is idle.
            NotificationQueue::defaultQueue().enqueue(
                TWMap::PrintCanvasControllerNeedsUpdateNowNotification, d->shared_from_this(), {},
                NotificationQueue::CoalesceOnName, NotificationQueue::PostWhenIdle);
        }));
}

void TWPrintView::updatePrintCanvas(bool resizeToCanvas)
{
    if (!m_controller)
        return;
    m_controller->updateCanvasSizeForMap(map());
    const Rect r = m_controller->printCanvasRect();
    if (resizeToCanvas)
        resize(int(std::ceil(std::min(r.width(), 1.0e6f))),
               int(std::ceil(std::min(r.height(), 1.0e6f))));
    emit printCanvasRectChanged(r.toQt());
    if (TWMapsDoc *doc = mapsDocument())
        NotificationCenter::defaultCenter().post(TWPrintCanvasController::DidUpdateNotification,
                                                 doc);
}

bool TWPrintView::showsPageFrames() const
{
    TWMapsDoc *doc = mapsDocument();
    return doc && doc->showPageFrames();
}

void TWPrintView::setShowsPageFrames(bool show)
{
    if (TWMapsDoc *doc = mapsDocument())
        doc->setShowPageFrames(show);
}

void TWPrintView::paintEvent(QPaintEvent *)
{
    // The layers above paint the map; this one only carries the pages.
}

// --- pagination ---

int TWPrintView::numberOfPages() const
{
    return m_controller ? m_controller->numberOfPages() : 0;
}

void TWPrintView::getPagesWide(int &wide, int &high) const
{
    wide = m_controller ? m_controller->pagesWide() : 0;
    high = m_controller ? m_controller->pagesHigh() : 0;
}

Rect TWPrintView::rectForPage(int page)
{
    m_currentPage = page;
    return m_controller ? m_controller->rectForPage(page) : Rect();
}

Point TWPrintView::locationOfPrintRect(Rect) const
{
    if (!m_controller || !m_controller->document())
        return {};
    const Rect imageable = TWPrintSetup::imageableBounds(m_controller->document()->printInfo());
    TWMap *m = map();
    const OrderedDictionary setup = m ? m->printSetupDictionary() : OrderedDictionary();
    return {imageable.x() + TWPrintSetup::floatValue(setup, TWPrintSetup::LeftMargin),
            imageable.y() + TWPrintSetup::floatValue(setup, TWPrintSetup::BottomMargin)};
}

TWPrintPageBorder::FieldValues TWPrintView::fieldValues() const
{
    TWPrintPageBorder::FieldValues values;
    if (m_controller && m_controller->document())
        values.fileName = m_controller->document()->fileName();
    values.page = m_currentPage;
    values.pageCount = numberOfPages();
    if (TWMap *m = map())
        values.title = m->mapName();
    values.date = m_printDate.isValid() ? m_printDate : QDateTime::currentDateTime();
    return values;
}

std::optional<AttributedString>
TWPrintView::stringPreparedForPrinting(const std::optional<AttributedString> &text) const
{
    if (!text)
        return std::nullopt;
    return TWPrintPageBorder::stringPreparedForPrinting(*text, fieldValues());
}

void TWPrintView::drawPageBorderWithSize(const DrawingContext &context, Size paperSize) const
{
    TWMap *m = map();
    if (!m_controller || !m)
        return;
    const Rect page(locationOfPrintRect(), m_controller->printablePageSize());
    TWPrintPageBorder::drawPageBorder(context, m->printSetupDictionary(), page, paperSize,
                                      fieldValues());
}

// --- printing ---

void TWPrintView::drawPage(QPainter &painter, TWMap &map, Size paper, const PrintOptions &options)
{
    const Rect r = rectForPage(m_currentPage);
    const Point location = locationOfPrintRect(r);
    const float s =
        (m_controller->document() ? m_controller->document()->scaleAmount() : 100) / 100;
    {
        DrawingContext context(painter, false);
        QPainter &p = context.painter();
        // The page's part of the map, its lower-left corner on the location.
        p.translate(location.x, paper.height - location.y - r.height());
        p.setClipRect(QRectF(0, 0, r.width(), r.height()), Qt::IntersectClip);
        p.translate(-r.x(), -r.y());
        if (std::isfinite(s) && s > 0) {
            p.scale(s, s);
            TWMapDrawing::drawMapInRect(context, map,
                                        Rect(r.x() / s, r.y() / s, r.width() / s, r.height() / s),
                                        {.view = nullptr,
                                         .drawBackground = true,
                                         .drawSelection = false,
                                         .drawLinkLines = true,
                                         .backgroundOffScreen = options.printBackground});
        }
    }
    DrawingContext context(painter, false);
    drawPageBorderWithSize(context, paper);
}

bool TWPrintView::print(QPagedPaintDevice &device, const PrintOptions &options, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    TWMap *m = map();
    if (!m_controller || !m_controller->document() || !m)
        return fail(tr("There is no map to print."));
    const int count = numberOfPages();
    if (count < 1)
        return fail(tr("The pages of the map have not been laid out."));

    // The device prints the whole sheet; the margins are placed by hand.
    const QPageLayout layout = m_controller->document()->printInfo();
    const QPageLayout sheet(layout.pageSize(), layout.orientation(), QMarginsF(),
                            QPageLayout::Point);
    int first = 1, last = count;
    if (auto *printer = dynamic_cast<QPrinter *>(&device)) {
        printer->setFullPage(true);
        if (printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0) {
            first = std::max(1, printer->fromPage());
            last = std::min(count, printer->toPage() > 0 ? printer->toPage() : count);
        }
    }
    if (!device.setPageLayout(sheet))
        return fail(tr("The printer cannot print on this paper."));
    if (first > last)
        return fail(tr("The chosen pages are not in the map."));
    const Size paper = TWPrintSetup::paperSize(sheet);

    QPainter painter;
    if (!painter.begin(&device))
        return fail(tr("The printer could not be started."));
    m_printDate = options.date.isValid() ? options.date : QDateTime::currentDateTime();
    bool ok = true;
    for (int page = first; page <= last && ok; ++page) {
        if (page > first && !device.newPage()) {
            ok = false;
            break;
        }
        m_currentPage = page;
        drawPage(painter, *m, paper, options);
    }
    m_printDate = QDateTime();
    if (!painter.end())
        ok = false;
    if (auto *printer = dynamic_cast<QPrinter *>(&device))
        if (printer->printerState() == QPrinter::Error ||
            printer->printerState() == QPrinter::Aborted)
            ok = false;
    return ok ? true : fail(tr("The pages could not be sent to the printer."));
}

bool TWPrintView::printToPDF(const QString &path, const PrintOptions &options, QString *error)
{
    QPdfWriter writer(path);
    writer.setCreator(QStringLiteral("Thinkweb"));
    writer.setResolution(72);
    return print(writer, options, error);
}
