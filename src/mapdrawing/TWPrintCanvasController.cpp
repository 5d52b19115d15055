#include "mapdrawing/TWPrintCanvasController.h"

#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWPrintDocument.h"
#include "mapdrawing/TWPrintSetup.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "render/TWTextLayout.h"

#include <algorithm>

#include <cmath>

// --- the document's defaults ---

TWMap *TWPrintDocument::currentMap() const
{
    TWMapsDoc *doc = mapsDocument();
    return doc ? doc->currentMap().get() : nullptr;
}

QString TWPrintDocument::fileName() const
{
    TWMapsDoc *doc = mapsDocument();
    return doc && doc->filename() ? *doc->filename() : QString();
}

QPageLayout TWPrintDocument::printInfo() const
{
    TWMap *map = currentMap();
    return TWPrintSetup::pageLayout(map ? map->printSetupDictionary() : OrderedDictionary());
}

float TWPrintDocument::scaleAmount() const
{
    TWMap *map = currentMap();
    return map ? map->scaleAmount() : 100.0f;
}

// --- the arithmetic ---

namespace {

bool usable(double v)
{
    return std::isfinite(v) && v > 0;
}

// The flexi labels a measurement of the map's extent is about to lay out,
// in the order of the tree.
void pendingLabels(TWMapBranch &root, std::vector<TWTextLayout::Request> &requests)
{
    std::vector<TWMapBranch *> stack{&root};
    while (!stack.empty()) {
        TWMapBranch &branch = *stack.back();
        stack.pop_back();
        TWGraphic *g = branch.mainGraphic().get();
        // Known drawing bounds measure nothing: most graphics stop here.
        if (g && !g->drawingBoundsValid())
            if (auto *flexi = dynamic_cast<TWFlexiBranch *>(g))
                if (std::optional<TWFlexiBranch::LabelMeasurement> label =
                        flexi->pendingLabelMeasurement())
                    requests.push_back(
                        {std::move(label->text), label->width,
                         Size(TWTextLayout::containerMaximum, TWFlexiBranch::LabelContainerHeight),
                         label->padding});
        const auto &children = branch.children();
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.push_back(it->get());
    }
}

} // namespace

Size TWPrintCanvasController::printablePageSize(const QPageLayout &layout,
                                                const OrderedDictionary &setup)
{
    using namespace TWPrintSetup;
    const Rect imageable = imageableBounds(layout);
    float width =
        imageable.width() - floatValue(setup, LeftMargin) - floatValue(setup, RightMargin);
    float height =
        imageable.height() - floatValue(setup, TopMargin) - floatValue(setup, BottomMargin);
    if (!(width > 10))
        width = 400;
    if (!(height > 10))
        height = 600;
    return {width, height};
}

int TWPrintCanvasController::pagesForExtent(double extent, double pageLength)
{
    if (!std::isfinite(extent) || !usable(pageLength) || extent <= 0)
        return 1;
    const double pages = extent / pageLength;
    if (!(pages < maximumPages))
        return maximumPages;
    const double whole = std::trunc(pages);
    const int count = int(whole) + (pages > whole ? 1 : 0);
    return std::max(count, 1);
}

double TWPrintCanvasController::offsetForEdge(double edge, double pageLength, bool pageFrames)
{
    if (!std::isfinite(edge) || !usable(pageLength))
        return 0;
    // Sums of float coordinates leave an edge a hair's breadth from where it
    // was put. Moving the map for that would be an edit nobody made, and one
    // that can repeat for ever as the hair comes back.
    const double hair = 1.0 / 64;
    if (edge < 0 && edge > -hair)
        return 0;
    if (!pageFrames)
        return edge < 0 ? -edge : 0;
    // Whole pages so that the edge lands on the first page: an edge exactly
    // on a page boundary starts that page, so it moves too.
    if (edge < 0)
        return std::ceil(-edge / pageLength) * pageLength;
    if (edge >= pageLength)
        return -std::floor(edge / pageLength) * pageLength;
    return 0;
}

double TWPrintCanvasController::moveWithinRange(double move, double low, double high)
{
    // Past the model's range a graphic's place is replaced, so its position
    // would be lost; a drawing too large for the range keeps its far edge
    // inside. Whole points, so that the next update finds nothing to move.
    const double limit = TWGraphic::MaximumCoordinate;
    if (move > 0)
        return std::min(move, std::max(0.0, std::floor(limit - high)));
    if (move < 0)
        return std::max(move, std::min(0.0, std::ceil(-limit - low)));
    return 0;
}

Rect TWPrintCanvasController::rectForPage(int page, int pagesWide, Size pageSize)
{
    int column = 0, row = 0;
    if (page >= 2 && pagesWide > 0) {
        column = (page - 1) % pagesWide;
        row = (page - 1) / pagesWide;
    }
    return {column * pageSize.width, row * pageSize.height, pageSize.width, pageSize.height};
}

std::unique_ptr<TWTextLayout::Prefetch> TWPrintCanvasController::measureLabelsAhead(TWMap *map)
{
    if (!map || !map->root())
        return nullptr;
    std::vector<TWTextLayout::Request> requests;
    pendingLabels(*map->root(), requests);
    if (requests.size() < LabelsWorthMeasuringAhead)
        return nullptr;
    return std::make_unique<TWTextLayout::Prefetch>(std::move(requests));
}

// --- the controller ---

TWPrintCanvasController::TWPrintCanvasController(TWPrintDocument *document) : m_document(document)
{
    calculatePrintablePageSize();
}

void TWPrintCanvasController::calculatePrintablePageSize()
{
    TWMap *map = m_document ? m_document->currentMap() : nullptr;
    const QPageLayout layout = m_document ? m_document->printInfo() : QPageLayout();
    m_printablePageSize =
        printablePageSize(layout, map ? map->printSetupDictionary() : OrderedDictionary());
}

Rect TWPrintCanvasController::rectForPage(int page) const
{
    return rectForPage(page, m_pagesWide, m_printablePageSize);
}

float TWPrintCanvasController::scale() const
{
    const float s = (m_document ? m_document->scaleAmount() : 100.0f) * 0.01f;
    return usable(s) ? s : 1.0f;
}

void TWPrintCanvasController::updateCanvasSizeForMap(TWMap *map)
{
    if (!map)
        return;
    // The extent is measured once more only where the drawing moved.
    std::optional<Rect> unmoved;
    // A label typed past the map's edge would slide the whole map at every
    // keystroke: the map moves once editing has ended.
    const TWTextArea *editing = m_document ? m_document->editingTextArea() : nullptr;
    m_trimWaitsForEditing = editing && editing->map() == map;
    if (!m_trimWaitsForEditing)
        removeUnusedAreaFromMap(map, unmoved);
    const Rect r = unmoved ? *unmoved : map->getBoundingDrawingRectForAllGraphics();
    keepExtent(map, r);
    const double s = scale();
    const double extentX = s * r.x() + s * r.width();
    const double extentY = s * r.y() + s * r.height();
    m_pagesWide = pagesForExtent(extentX, m_printablePageSize.width);
    m_pagesHigh = pagesForExtent(extentY, m_printablePageSize.height);
    const Rect c = printCanvasRectForMap(map, r);
    map->setCanvasSize(Size(float(c.width() / s), float(c.height() / s)));
}

Rect TWPrintCanvasController::printCanvasRect() const
{
    return printCanvasRectForMap(m_document ? m_document->currentMap() : nullptr);
}

Rect TWPrintCanvasController::printCanvasRectForMap(TWMap *map) const
{
    // Whole pages need no extent.
    TWMapsDoc *doc = map ? map->document() : nullptr;
    if (!doc && m_document)
        doc = m_document->mapsDocument();
    const bool frames = doc && doc->showPageFrames();
    return printCanvasRectForMap(map, map && !frames ? extentOf(map) : Rect());
}

TWPrintCanvasController::ExtentHold::ExtentHold(TWPrintCanvasController &controller)
    : m_controller(controller)
{
    ++m_controller.m_holds;
}

TWPrintCanvasController::ExtentHold::~ExtentHold()
{
    if (--m_controller.m_holds == 0) {
        m_controller.m_heldMap = nullptr;
        m_controller.m_heldExtent.reset();
    }
}

Rect TWPrintCanvasController::extentOf(TWMap *map) const
{
    if (m_heldExtent && m_heldMap == map)
        return *m_heldExtent;
    const Rect extent = map->getBoundingDrawingRectForAllGraphics();
    keepExtent(map, extent);
    return extent;
}

void TWPrintCanvasController::keepExtent(TWMap *map, const Rect &extent) const
{
    if (m_holds <= 0)
        return;
    m_heldMap = map;
    m_heldExtent = extent;
}

Rect TWPrintCanvasController::printCanvasRectForMap(TWMap *map, const Rect &extent) const
{
    TWMapsDoc *doc = map ? map->document() : nullptr;
    if (!doc && m_document)
        doc = m_document->mapsDocument();
    if (doc && doc->showPageFrames())
        return {0, 0, m_pagesWide * m_printablePageSize.width,
                m_pagesHigh * m_printablePageSize.height};
    const Size visible = m_document ? m_document->visibleAreaSize() : Size();
    float width = visible.width, height = visible.height;
    if (map) {
        const float s = scale();
        const Rect &g = extent;
        width = std::max(width, s * (g.x() + g.width()));
        height = std::max(height, s * (g.y() + g.height()));
    }
    return {0, 0, width, height};
}

Point TWPrintCanvasController::removeUnusedAreaFromMap(TWMap *map)
{
    std::optional<Rect> extent;
    return removeUnusedAreaFromMap(map, extent);
}

Point TWPrintCanvasController::removeUnusedAreaFromMap(TWMap *map, std::optional<Rect> &extent)
{
    extent.reset();
    if (!map || !map->root() || !map->root()->mainGraphic())
        return {};
    const double s = map->scaleAmount() / 100.0;
    if (!usable(s))
        return {};
    const Rect r = map->getBoundingDrawingRectForAllGraphics();
    const bool frames = map->document() && map->document()->showPageFrames();
    const Point offset(
        float(moveWithinRange(offsetForEdge(s * r.x(), m_printablePageSize.width, frames) / s,
                              r.x(), r.maxX())),
        float(moveWithinRange(offsetForEdge(s * r.y(), m_printablePageSize.height, frames) / s,
                              r.y(), r.maxY())));
    if (offset == Point(0, 0) || !std::isfinite(offset.x) || !std::isfinite(offset.y)) {
        extent = r;
        return {};
    }
    // Inside an open step the move belongs to the change that left the map
    // there, and the step keeps that change's name.
    const UndoManager *undo = map->undoManager();
    map->root()->mainGraphic()->publicMoveBy(offset, !(undo && undo->stepIsOpen()));
    if (const TWTextArea *editing = m_document ? m_document->editingTextArea() : nullptr) {
        const TWMapBranch *branch = editing->branch();
        if (branch && branch->map() == map)
            m_document->moveCachedEditingRects(offset);
    }
    if (m_document && m_document->currentMap() == map)
        m_document->currentMapMovedOnCanvas(offset);
    return offset;
}

void TWPrintCanvasController::scaleToFitMapOnSinglePage(TWMap *map)
{
    if (!map)
        return;
    const Rect r = map->getBoundingDrawingRectForAllGraphics();
    const double fit = std::min(m_printablePageSize.width / double(r.width()),
                                m_printablePageSize.height / double(r.height()));
    if (!r.isEmpty() && usable(fit) && map->root() && map->root()->mainGraphic()) {
        // A little short of the page, so rounding never spills onto a second one.
        map->setScaleAmount(float(std::clamp(fit * 99, 1.0, 10000.0)));
        const double s = map->scaleAmount() / 100.0;
        const Point offset(float((m_printablePageSize.width / s - r.width()) / 2 - r.x()),
                           float((m_printablePageSize.height / s - r.height()) / 2 - r.y()));
        if (offset != Point(0, 0))
    map->root()->mainGraphic()->publicMoveBy(offset, true);
    }
    if (TWMapsDoc *doc = map->document())
        NotificationCenter::defaultCenter().post(
            TWMap::PrintCanvasControllerNeedsUpdateNowNotification, doc);
}
