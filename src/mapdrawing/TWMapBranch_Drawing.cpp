#include "mapdrawing/TWMapBranch_Drawing.h"

#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphicDrawing.h"
#include "graphics/TWImage.h"
#include "graphics/TWInheritedLookups.h"
#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "mapdrawing/TWMapExpansionState.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "render/DrawingContext.h"
#include "render/PathClipping.h"
#include "render/TWDrawingView.h"
#include "render/TWTextLayout.h"

#include <QPainter>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <deque>

// --- the tool-tip registry's liveness ---

namespace {
QSet<const TWToolTipRegistry *> &liveRegistries()
{
    static QSet<const TWToolTipRegistry *> set;
    return set;
}
} // namespace

TWToolTipRegistry::TWToolTipRegistry()
{
    liveRegistries().insert(this);
}

TWToolTipRegistry::~TWToolTipRegistry()
{
    liveRegistries().remove(this);
}

bool TWToolTipRegistry::isAlive(const TWToolTipRegistry *registry)
{
    return registry && liveRegistries().contains(registry);
}

namespace TWBranchDrawing {

// A flat map's first-level wedges all leave the centre, a sliver of a pixel
// apart once a few screens away: every view that holds the centre crosses
// all of them, and each one filled and stroked along its whole length costs
// as much as a screenful of branches. Each connection is cut to the view,
// and one is left out when it looks as one of the last few connections
// painted, with nothing else painted since, and its lines in the view lie
// within a quarter of a pixel of that one's: painted, it would cover the
// same pixels. A few, not one: siblings may take turns round the centre.
//
// Lines thinner than a pixel darken where they overlap: a connection is
// painted only once no more can repeat it, its line as dark as all of them.
class ConnectionThinning
{
public:
    struct Look
    {
        QRgb fill = 0;
        QRgb stroke = 0;
        float width = 0;
        bool gathered = false;
        std::optional<Rect> keepOut;
        bool operator==(const Look &) const = default;
    };
    // What a gathered connection hands the batch.
    struct Gathered
    {
        QPainterPath fill;
        QPainterPath outline;
        QRectF extent; // of the whole line
    };
    // Paints a connection drawn by itself, its line of the given width.
    using Paint = std::function<void(float width)>;

    ConnectionThinning(Rect visible, qreal pixelsPerPoint, DetailBatch *batch)
        : m_visible(visible.toQt()), m_pixelsPerPoint(pixelsPerPoint),
          m_pixel(pixelsPerPoint > 0 ? 1 / pixelsPerPoint : 0), m_batch(batch)
    {}
    ~ConnectionThinning() { release(); }
    ConnectionThinning(const ConnectionThinning &) = delete;
    ConnectionThinning &operator=(const ConnectionThinning &) = delete;

    // The shape cut to the view, widened by what a stroke of `width` reaches
    // past its line (miter joins included) and a pixel or two, so that the
    // cut ends lie out of sight. *whole: a shape no longer than a small screen is
    // painted as it is. That depends on the shape alone, not on the area
    // exposed, so that a line painted in pieces (a scroll, a repaint of a
    // band) gives the pixels it gives painted at once.
    PathClipping::Clipped cut(const QPainterPath &shape, float width, bool *whole) const
    {
        const qreal w = std::isfinite(width) && width > 0 ? width : 0;
        const qreal margin = w * BezierPath::defaultMiterLimit / 2 + 2 * m_pixel + 1;
        const QRectF around = m_visible.adjusted(-margin, -margin, margin, margin);
        const QRectF extent = shape.controlPointRect();
        *whole = std::max(extent.width(), extent.height()) * m_pixelsPerPoint <= WholePixels;
        return PathClipping::clip(shape, around, m_pixel * FlattenPixels);
    }

    // Whether one of the last painted covers what this would; it counts one more.
    bool repeated(const Look &look, const PathClipping::Clipped &cut)
    {
        const qreal near = m_pixel * NearPixels;
        for (Painted &p : m_recent) {
            const QRectF &a = p.cut.runBounds, &b = cut.runBounds;
            if (p.look == look && std::abs(a.left() - b.left()) <= near &&
                std::abs(a.right() - b.right()) <= near && std::abs(a.top() - b.top()) <= near &&
                std::abs(a.bottom() - b.bottom()) <= near &&
                PathClipping::runsDistance(p.cut.runs, cut.runs) <= near) {
                ++p.repeats;
                return true;
            }
        }
        return false;
    }
    void add(const Look &look, PathClipping::Clipped &&cut, std::optional<Gathered> gathered,
             Paint paint = {})
    {
        if (m_recent.size() == Recent) {
            hand(m_recent.back());
            m_recent.pop_back();
        }
        m_recent.push_front(
            Painted{look, std::move(cut), std::move(gathered), std::move(paint), 0});
    }
    // Paints what is waiting, oldest first, and hands the gathered to the batch.
    void release()
    {
        for (auto it = m_recent.rbegin(); it != m_recent.rend(); ++it)
            hand(*it);
    }
    // Something else was painted: what follows may lie over it.
    void forget()
    {
        release();
        m_recent.clear();
    }

private:
    static constexpr qreal FlattenPixels = 0.05;
    static constexpr qreal NearPixels = 0.25;
    static constexpr size_t Recent = 4;
    static constexpr qreal WholePixels = 1024;

    struct Painted
    {
        Look look;
        PathClipping::Clipped cut;
        std::optional<Gathered> gathered;
        Paint paint;
        int repeats;
    };

    // A line thinner than a pixel covers about its width of the pixels it
    // crosses, and n of them 1 - (1 - c)^n: the width that covers as much.
    float widthOfAll(const Painted &p) const
    {
        const qreal covered = qreal(p.look.width) * m_pixelsPerPoint;
        if (p.repeats == 0 || !(covered < 1))
            return p.look.width;
        return float((1 - std::pow(1 - std::max(covered, 0.0), 1 + p.repeats)) * m_pixel);
    }

    void hand(Painted &p)
    {
        if (p.paint) {
            p.paint(widthOfAll(p));
            p.paint = {};
        }
        if (!p.gathered || !m_batch)
            return;
        if (p.look.fill)
            m_batch->fill(p.gathered->fill, p.look.fill);
        if (p.look.stroke)
            m_batch->hairline(p.gathered->outline, QColor::fromRgba(p.look.stroke),
                              std::min(widthOfAll(p), float(m_pixel)), p.gathered->extent);
        p.gathered.reset();
    }

    QRectF m_visible;
    qreal m_pixelsPerPoint;
    qreal m_pixel;
    DetailBatch *m_batch;
    std::deque<Painted> m_recent;
};

namespace {

const QString TtidKey = QStringLiteral("ttid");
const QString ViewKey = QStringLiteral("view");
const QString UrlKey = QStringLiteral("nsurl");
const QString RectKey = QStringLiteral("rect");
const QString ResourcesAllocated = QStringLiteral("ResourcesAllocated");

BoundaryPainter &boundaryPainter()
{
    static BoundaryPainter painter;
    return painter;
}

QVariant registryValue(TWToolTipRegistry *registry)
{
    return QVariant::fromValue(reinterpret_cast<quintptr>(registry));
}

TWToolTipRegistry *registryFrom(const QVariant &value)
{
    auto *registry = reinterpret_cast<TWToolTipRegistry *>(value.value<quintptr>());
    return TWToolTipRegistry::isAlive(registry) ? registry : nullptr;
}

void removeRecord(const QVariantMap &record)
{
    if (TWToolTipRegistry *registry = registryFrom(record.value(ViewKey)))
        registry->removeToolTip(record.value(TtidKey).toInt());
}

// What the drawing of one branch needs to know about marks.
struct Marks
{
    QSet<const TWGraphic *> marked;
    // The branches whose subtrees hold a marked graphic.
    QSet<const TWMapBranch *> holding;
    bool withSelection = false;

    bool isMarked(const TWGraphic &g) const { return marked.contains(&g); }
    bool glows(const TWGraphic &g) const
    {
        return withSelection && TWMapUtilities::shouldGraphicDrawSelectionShadow(g);
    }
};

Marks marksFor(const Pass &pass)
{
    Marks marks;
    marks.withSelection = pass.selection != nullptr;
    if (pass.selection)
        for (const auto &g : *pass.selection)
            marks.marked.insert(g.get());
    if (pass.rubberBand)
        for (const auto &g : *pass.rubberBand)
            marks.marked.insert(g.get());
    if (pass.detail)
        for (const TWGraphic *g : std::as_const(marks.marked))
            for (const TWMapBranch *b = g ? g->branch() : nullptr; b && !marks.holding.contains(b);
                 b = b->parent())
                marks.holding.insert(b);
    return marks;
}

// What was gathered lies under what is drawn next: a connection drawn
// after it lies over it.
void flushDetail(const Pass &pass)
{
    if (!pass.detail)
        return;
    if (pass.thinning)
        pass.thinning->release();
    if (pass.detail->flush() && pass.thinning)
        pass.thinning->forget();
}

// Before anything but a plain connection is painted.
void paintingOther(const Pass &pass)
{
    flushDetail(pass);
    if (pass.thinning)
        pass.thinning->forget();
}

void drawGraphic(TWGraphic &g, const Pass &pass, bool marked, const std::optional<Shadow> &shadow,
                 bool glow)
{
    paintingOther(pass);
    g.drawInView(pass.context, pass.view, marked, shadow, glow);
}

// A first-level branch's connection is a wedge from the centre of the
// central branch, whose filled shape hides that end. A central branch that
// fills nothing (a line, a shape without fill) would show the wedge across
// its label: what it leaves uncovered, shape and label, for the wedge to keep
// out of.
std::optional<Rect> uncoveredCentre(const TWMapBranch &b, const TWGraphic &connection)
{
    const TWMapBranch *parent = b.parent();
    if (!parent || parent->parent() || !dynamic_cast<const TWTitleConnection *>(&connection))
        return std::nullopt;
    const TWGraphic *centre = parent->mainGraphic().get();
    if (!centre)
        return std::nullopt;
    if (centre->canDrawFill() && centre->drawsFill() &&
        centre->inheritedFillColor().alphaComponent() >= 0.99)
        return std::nullopt;
    // A line's label stands above its shape.
    Rect uncovered = centre->bounds();
    if (const auto &label = parent->enclosedTextArea())
        uncovered = uncovered.united(label->bounds());
    return uncovered;
}

QPainterPath outsideOf(TWGraphic &connection, Rect keepOut)
{
    const Rect around = connection.drawingBounds().united(keepOut).insetBy(-50, -50);
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(around.toQt());
    outside.addRect(keepOut.toQt());
    return outside;
}

constexpr int NoOutlineStyle = 8;

bool drawsOutline(const TWGraphic &g)
{
    return g.drawsStroke() && g.strokeStyle() != NoOutlineStyle;
}

// A connection drawn as its shape filled and outlined, nothing more: no
// shadow, glow, pulse or dashes (which run from the path's start).
bool drawnPlainly(TWGraphic &connection, const Marks &marks)
{
    const int style = connection.strokeStyle();
    const bool dashed = drawsOutline(connection) && style >= 2 && style <= 7 &&
                        !dynamic_cast<const TWTitleConnection *>(&connection);
    return !dashed && connection.animationStep() <= 0 && !marks.glows(connection) &&
           !TWGraphicDrawing::castShadow(connection, connection.inheritedShadow());
}

// The plain connection as much of it as the view shows, unless it would
// paint what one painted just before it did; false when it is not drawn
// plainly. It waits to be painted until no more can repeat it.
bool drawConnectionInView(TWGraphic &connection, const Pass &pass, const Marks &marks,
                          const std::optional<Rect> &keepOut)
{
    ConnectionThinning *thinning = pass.thinning;
    if (!thinning || !drawnPlainly(connection, marks))
        return false;
    const std::shared_ptr<BezierPath> path = connection.bezierPath();
    if (!path || path->isEmpty())
        return true;
    const bool fills = connection.drawsFill();
    const bool outlines = drawsOutline(connection);
    const QColor fillColour = connection.inheritedFillColor().toQColor();
    const QColor strokeColour = connection.inheritedStrokeColor().toQColor();
    const ConnectionThinning::Look look{fills ? fillColour.rgba() : 0,
                                        outlines ? strokeColour.rgba() : 0,
                                        connection.strokeWidth(), false, keepOut};
    const QPainterPath shape = path->toQPainterPath();
    bool whole = false;
    PathClipping::Clipped cut = thinning->cut(shape, connection.strokeWidth(), &whole);
    if (cut.isEmpty() || thinning->repeated(look, cut))
        return true;
    flushDetail(pass);
    std::optional<QPainterPath> clip;
    if (keepOut)
        clip = outsideOf(connection, *keepOut);
    StrokeStyle style = StrokeStyle::ofPath(*path);
    style.dash.clear();
    style.dashPhase = 0;
    QPainter *painter = &pass.context.painter();
    thinning->add(look, PathClipping::Clipped(cut), std::nullopt,
                  [painter, clip, style, fillColour, strokeColour,
                   fill = fills ? (whole ? shape : cut.fill) : QPainterPath(),
                   outline = outlines ? (whole ? shape : cut.outline())
                                      : QPainterPath()](float width) mutable {
                      painter->save();
                      if (clip)
                          painter->setClipPath(*clip, Qt::IntersectClip);
                      painter->setRenderHint(QPainter::Antialiasing, true);
                      if (!fill.isEmpty())
                          painter->fillPath(fill, fillColour);
                      if (!outline.isEmpty()) {
                          style.width = width;
                          painter->strokePath(outline, DrawingContext::pen(strokeColour, style));
                      }
                      painter->restore();
                  });
    return true;
}

void drawConnection(const TWMapBranch &b, TWGraphic &connection, const Pass &pass,
                    const Marks &marks)
{
    const std::optional<Rect> keepOut = uncoveredCentre(b, connection);
    if (drawConnectionInView(connection, pass, marks, keepOut))
        return;
    if (!keepOut) {
        drawGraphic(connection, pass, false, connection.inheritedShadow(), marks.glows(connection));
        return;
    }
    paintingOther(pass);
    QPainter &painter = pass.context.painter();
    painter.save();
    painter.setClipPath(outsideOf(connection, *keepOut), Qt::IntersectClip);
    drawGraphic(connection, pass, false, connection.inheritedShadow(), marks.glows(connection));
    painter.restore();
}

// A graphic drawn by the shape drawing alone, as a plain path: pictures,
// texts, link lines and flexible branches draw more.
bool drawsPlainPath(const TWGraphic &g)
{
    return !dynamic_cast<const TWFlexiBranch *>(&g) && !dynamic_cast<const TWImage *>(&g) &&
           !dynamic_cast<const TWTextArea *>(&g) && !dynamic_cast<const TWLinkLine *>(&g);
}

// Whether the graphic's outline is a solid line of at most a pixel, which
// the screen draws as a hairline whatever its width.
bool strokesHairline(const TWGraphic &g, qreal pixelsPerPoint)
{
    const int style = g.strokeStyle();
    return g.strokeWidth() * pixelsPerPoint <= 1 && (style < 2 || style > 7);
}

bool gatherable(const TWGraphic &g, const Marks &marks, qreal pixelsPerPoint)
{
    return g.animationStep() <= 0 && !marks.isMarked(g) && !marks.glows(g) &&
           strokesHairline(g, pixelsPerPoint) && drawsPlainPath(g);
}

// A connection as thin as a hairline joins the gathered drawing as it is.
bool gatherConnection(TWGraphic &connection, const Pass &pass, const Marks &marks)
{
    DetailBatch *detail = pass.detail;
    if (!detail || !gatherable(connection, marks, detail->pixelsPerPoint()))
        return false;
    const bool fills = connection.drawsFill();
    // Far enough out a thin line leaves no trace: its path is not made.
    const bool outlines =
        drawsOutline(connection) && detail->hairlineShows(connection.strokeWidth());
    if (!fills && !outlines)
        return true;
    const std::shared_ptr<BezierPath> path = connection.bezierPath();
    if (!path || path->isEmpty())
        return true;
    if (fills && path->windingRule() != BezierPath::NonZeroWindingRule)
        return false;
    const QPainterPath shape = path->toQPainterPath();
    const QRgb fillColour = connection.inheritedFillColor().toQColor().rgba();
    const QColor strokeColour = connection.inheritedStrokeColor().toQColor();
    ConnectionThinning *thinning = pass.thinning;
    if (!thinning) {
        if (fills)
            detail->fill(shape, fillColour);
        if (outlines)
            detail->hairline(shape, strokeColour, connection.strokeWidth());
        return true;
    }
    const ConnectionThinning::Look look{fills ? fillColour : 0, outlines ? strokeColour.rgba() : 0,
                                        connection.strokeWidth(), true, std::nullopt};
    bool whole = false;
    PathClipping::Clipped cut = thinning->cut(shape, connection.strokeWidth(), &whole);
    if (cut.isEmpty() || thinning->repeated(look, cut))
        return true;
    ConnectionThinning::Gathered gathered{whole || !fills ? shape : cut.fill,
                                          whole || !outlines ? shape : cut.outline(),
                                          shape.controlPointRect()};
    thinning->add(look, std::move(cut), std::move(gathered));
    return true;
}

// A branch a few pixels across is its shape's rectangle: filled in the
// fill colour, outlined by a hairline. Its label, pictures and icons would
// be smaller than a pixel.
bool gatherTinyBranch(TWMapBranch &b, const Pass &pass, const Marks &marks)
{
    DetailBatch *detail = pass.detail;
    TWGraphic *main = b.mainGraphic().get();
    if (!detail || !main || b.enclosedImage() ||
        !gatherable(*main, marks, detail->pixelsPerPoint()))
        return false;
    const Rect extent = TWBranchIndicators::branchDrawingBounds(b);
    if (std::max(extent.width(), extent.height()) * detail->pixelsPerPoint() >=
        DetailBatch::TinyPixels)
        return false;
    if (const TWMap *map = b.map(); map && map->isGraphicSelected(main))
        return false;
    if (const TWTextArea *text = b.enclosedTextArea().get(); text && marks.isMarked(*text))
        return false;
    if (pass.view)
        removeTooltipRects(b);
    const std::shared_ptr<BezierPath> path = main->bezierPath();
    if (!path || path->isEmpty())
        return true;
    const QRectF r = path->controlPointBounds().toQt();
    if (main->drawsFill())
        detail->fillRect(r, main->inheritedFillColor().toQColor().rgba());
    if (drawsOutline(*main))
        detail->hairlineRect(r, main->inheritedStrokeColor().toQColor(), main->strokeWidth());
    return true;
}

// The area the branch itself paints apart from its connection: its body
// and attached graphics. Empty areas add nothing.
Rect bodyDrawingExtent(TWMapBranch &b)
{
    Rect r = TWBranchIndicators::branchDrawingBounds(b);
    for (const auto &g : b.linkedGraphics())
        r = r.united(g->drawingBounds());
    // Adornments, pictures and labels may stick out of the shape; clicks
    // look for them within this extent too. A hidden outline number is
    // neither drawn nor clicked, wherever it was left.
    const bool numberShown = b.showsOutlineNumberLabel();
    for (const auto &record : b.otherEnclosedGraphics())
        if (record->graphic() && (numberShown || record->name() != TWMapBranch::OutlineNumberKey))
            r = r.united(record->graphic()->drawingBounds());
    if (const auto image = b.enclosedImage())
        r = r.united(image->drawingBounds());
    if (const auto &text = b.enclosedTextArea())
        r = r.united(text->drawingBounds());
    return r;
}

// The area the branch itself paints: its connection, body and attached
// graphics (a connection not yet placed adds nothing).
Rect ownDrawingExtent(TWMapBranch &b)
{
    Rect r = bodyDrawingExtent(b);
    if (const auto &connection = b.connectionGraphic())
        r = r.united(connection->drawingBounds());
    return r;
}

// A subtree whose branches all fit within a pixel is its branch's
// connection and a rectangle over the rest of the subtree in its branch's
// colours: its branches would each cover a sliver of that pixel. The
// connection is left out of the rectangle, being drawn as the thin line it
// is: far out, a connection to a distant parent would otherwise keep every
// subtree at its end apart.
bool gatherTinySubtree(TWMapBranch &b, Rect extent, int shownLevels, const Pass &pass,
                       const Marks &marks)
{
    DetailBatch *detail = pass.detail;
    TWGraphic *main = b.mainGraphic().get();
    if (!detail || !main || b.children().isEmpty() || marks.holding.contains(&b) ||
        !gatherable(*main, marks, detail->pixelsPerPoint()))
        return false;
    const auto tiny = [&](Rect r) {
        return std::max(r.width(), r.height()) * detail->pixelsPerPoint() < 1;
    };
    Rect block = extent;
    if (!tiny(block)) {
        // The subtree apart from its connection: its body and its children's
        // subtrees, given up on as soon as it is a pixel across.
        block = bodyDrawingExtent(b);
        for (auto it = b.children().cbegin(); tiny(block) && it != b.children().cend(); ++it)
            block = block.united(subtreeDrawingExtent(**it, shownLevels - 1));
        if (!tiny(block))
            return false;
    }
    if (const auto &connection = b.connectionGraphic();
        connection && connection->drawingBounds().intersects(pass.rect) &&
        !gatherConnection(*connection, pass, marks))
        return false;
    const QRectF r = block.toQt();
    if (main->drawsFill()) {
        // The shapes cover about their share of the rectangle, as the
        // branch's own and its children's would.
        const Rect shape = main->bounds();
        const qreal covered = qreal(shape.width()) * shape.height() * (1 + b.children().size());
        const qreal area = r.width() * r.height();
        QColor fill = main->inheritedFillColor().toQColor();
        if (area > 0)
            fill.setAlphaF(float(fill.alphaF() * std::min(1.0, covered / area)));
        detail->fillRect(r, fill.rgba());
    }
    if (drawsOutline(*main))
        detail->hairlineRect(r, main->inheritedStrokeColor().toQColor(), main->strokeWidth());
    return true;
}

void drawCulled(TWGraphic &g, const Pass &pass, const Marks &marks)
{
    if (g.drawingBounds().intersects(pass.rect))
        drawGraphic(g, pass, marks.isMarked(g), g.inheritedShadow(), marks.glows(g));
}

bool mainDrawsPlainText(const TWGraphic *main)
{
    return !main || !main->drawsFill() || dynamic_cast<const TWLine *>(main) ||
           dynamic_cast<const TWFlexiBranch *>(main);
}

bool textOutsideRoundShape(const TWMapBranch &b)
{
    const TWGraphic *main = b.mainGraphic().get();
    const bool round = dynamic_cast<const TWCircle *>(main) ||
                       dynamic_cast<const TWCloud *>(main) ||
                       dynamic_cast<const TWCustomBranchShape *>(main);
    return round && (b.textRelativePosition() == 1 || b.textRelativePosition() == 3);
}

bool showsOutlineNumber(const TWMapBranch &b, const TWMap &map)
{
    if (!map.showOutlineNumbers() || b.isRoot())
        return false;
    const int toLevel = map.outlineNumbersToLevel();
    return toLevel >= b.getThisBranchLevel() || toLevel <= 0;
}

// The link icons and the links in texts become tool-tip rectangles.
class HiddenQuery final : public TWHyperlinkBranch
{
public:
    explicit HiddenQuery(std::weak_ptr<TWMapBranch> branch) : m_branch(std::move(branch)) {}
    bool hidden() const override
    {
        const auto b = m_branch.lock();
        return !b || b->hidden();
    }

private:
    std::weak_ptr<TWMapBranch> m_branch;
};

void registerLinksInText(TWMapBranch &b, const TWTextArea &text, TWToolTipRegistry &registry)
{
    const AttributedString &s = text.text();
    const Rect frame = text.bounds();
    std::optional<TWTextLayout> layout; // laid out only when a link is met
    AttributedString::Range run;
    while (run.end() < s.length()) {
        const QVariant link = s.attribute(NSLinkAttributeName, run.end(), &run);
        if (run.length <= 0)
            break;
        if (!link.isValid())
            continue;
        if (!layout) {
            layout.emplace();
            layout->setContainerSize(frame.size);
            layout->setLineFragmentPadding(text.lineFragmentPadding());
            layout->setAttributedString(s);
        }
        for (const Rect &r : layout->rectsForCharacterRange(run)) {
            const Rect moved = r.offsetBy(frame.origin.x, frame.origin.y);
            std::weak_ptr<TWMapBranch> owner = b.weak_from_this();
            const int tag =
                registry.addToolTipRect(moved, [owner, link]() -> std::optional<QString> {
                    const auto branch = owner.lock();
                    return branch ? toolTipString(*branch, link) : std::nullopt;
                });
            b.hyperlinkTooltipInfoForUpdate().append(
                QVariantMap{{TtidKey, tag},
                            {ViewKey, registryValue(&registry)},
                            {UrlKey, link},
                            {RectKey, moved.toString()}});
        }
    }
}

void drawBody(TWMapBranch &b, TWMap *map, const Pass &pass, const Marks &marks,
              const std::optional<Shadow> &mainShadow)
{
    const DrawingContext &ctx = pass.context;
    TWGraphic *main = b.mainGraphic().get();
    // 1, 2: the shape and its picture.
    if (main)
        drawGraphic(*main, pass, marks.isMarked(*main), mainShadow, marks.glows(*main));
    const bool plain = mainDrawsPlainText(main);
    if (const std::shared_ptr<TWGraphic> image = b.enclosedImage())
        drawGraphic(*image, pass, marks.isMarked(*image), plain ? mainShadow : std::nullopt,
                    marks.glows(*image));
    // 3, 4: the adornments and the outline number, with the text's shadow.
    const std::optional<Shadow> textShadow =
        plain || textOutsideRoundShape(b) ? mainShadow : std::nullopt;
    for (const std::shared_ptr<TWEnclosedGraphic> &record : b.otherEnclosedGraphics()) {
        if (!record || !record->graphic())
            continue;
        if (record->name() == TWMapBranch::OutlineNumberKey &&
            !(map && showsOutlineNumber(b, *map)))
            continue;
        drawGraphic(*record->graphic(), pass, false, textShadow, false);
    }
    if (!map)
        return;
    // Where handles are drawn, the icons keep clear of them.
    const auto shown = [&](Rect icon) {
        return pass.view ? TWBranchIndicators::clearOfHandles(b, icon) : icon;
    };
    // 5: attached-text marks.
    if (map->showTextIndicators())
        for (int i = 0; i < b.countOfAttachedTextArray(); ++i)
            TWBranchIndicators::drawImage(
                ctx, TWBranchIndicators::iconImage(TWBranchIndicators::Icon::TextIndicator),
                shown(TWBranchIndicators::boundsOfAttachedTextIndicatorAtIndex(b, i)));
    // 6-8: hyperlink icons and the tool tips of links.
    TWToolTipRegistry *registry = pass.view ? pass.view->toolTipRegistry() : nullptr;
    if (pass.view)
        removeTooltipRects(b);
    for (int i = 0; i < b.countOfHyperlinks(); ++i) {
        const std::shared_ptr<TWHyperlink> link = b.objectInHyperlinksAtIndex(i);
        if (!link)
            continue;
        const Rect r = shown(TWBranchIndicators::boundsOfHyperlinkAtIndex(b, i));
        TWBranchIndicators::drawImage(ctx, TWBranchIndicators::hyperlinkImage(link->coloredImage()),
                                      r);
        if (registry) {
            std::weak_ptr<TWHyperlink> owner = link;
            auto query = std::make_shared<HiddenQuery>(b.weak_from_this());
            const int tag = registry->addToolTipRect(r, [owner, query]() -> std::optional<QString> {
                const auto l = owner.lock();
                return l ? l->toolTipForBranch(query.get()) : std::nullopt;
            });
            b.hyperlinkTooltipInfoForUpdate().append(
                QVariantMap{{TtidKey, tag}, {ViewKey, registryValue(registry)}});
        }
    }
    if (registry) {
        if (b.enclosedTextArea())
            registerLinksInText(b, *b.enclosedTextArea(), *registry);
        for (const std::shared_ptr<TWGraphic> &g : b.linkedGraphics())
            if (const auto *text = dynamic_cast<const TWTextArea *>(g.get()))
                registerLinksInText(b, *text, *registry);
    }
    // 9-12: check box, priority, percentage, resources.
    const TWMapBranch::SuffixIcons icons = b.suffixIcons();
    if (icons.checkBox)
        TWBranchIndicators::drawImage(ctx, TWBranchIndicators::checkboxImage(b.checkBoxState()),
                                      shown(TWBranchIndicators::boundsOfCheckbox(b)));
    if (icons.priority)
        TWBranchIndicators::drawPriority(ctx, b.priority(),
                                         shown(TWBranchIndicators::boundsOfPriorityIcon(b)));
    if (icons.percentage)
        TWBranchIndicators::drawPercentageComplete(
            ctx, int(b.percentageComplete()),
            shown(TWBranchIndicators::boundsOfPercentageCompleteIndicator(b)));
    if (icons.resources)
        TWBranchIndicators::drawImage(
            ctx,
            TWBranchIndicators::iconImage(b.resourcesAllocated().size() == 1
                                              ? TWBranchIndicators::Icon::ResourceSmall
                                              : TWBranchIndicators::Icon::ResourcesSmall),
            shown(TWBranchIndicators::boundsOfResourcesAllocatedIndicator(b)));
    // 13: the collapse sign; the expand sign shows whatever the map's setting.
    if (b.countOfChildren() > 0) {
        std::optional<TWBranchIndicators::Icon> sign;
        if (b.getThisBranchLevel() == map->branchHideLevel() || b.childrenHidden())
            sign = TWBranchIndicators::Icon::ExpandSign;
        else if (map->showCollapseSign())
            sign = TWBranchIndicators::Icon::CollapseSign;
        if (sign) {
            const Rect r = b.layoutServices().boundsOfShowAndHideImage(b);
            if (!r.isEmpty()) {
                DrawingContext::StateSaver saver(ctx);
                ctx.painter().setRenderHint(QPainter::Antialiasing);
                QPainterPath oval;
                oval.addEllipse(r.insetBy(1, 1).toQt());
                ctx.painter().fillPath(oval, SystemColors::lightGrayColor().toQColor());
            }
            TWBranchIndicators::drawImage(ctx, TWBranchIndicators::iconImage(*sign), r);
        }
    }
    // 14, 15: handles, then the label.
    if (main && map->isGraphicSelected(main))
        main->drawHandlesInView(ctx, pass.view);
    if (!pass.skippingText && b.enclosedTextArea() &&
        !(b.enclosedTextArea()->bounds().height() < pass.shortestLabel)) {
        TWTextArea &text = *b.enclosedTextArea();
        drawGraphic(text, pass, marks.isMarked(text), textShadow, marks.glows(text));
    }
}

// How far the subtree is culled: with the default expansion state the
// cached subtree extents let whole subtrees be skipped; any other state
// decides branch by branch.
struct Culling
{
    bool byExtent = false;
    int shownLevels = 0; // levels below the branch the hide level shows
};

bool childrenShown(const TWMapBranch &b, int shownLevels)
{
    return shownLevels >= 1 && !b.childrenHidden();
}

void drawSubtree(TWMapBranch &b, const Pass &pass, const Marks &marks, Culling culling)
{
    if (culling.byExtent) {
        const Rect extent = subtreeDrawingExtent(b, culling.shownLevels);
        if (!extent.intersects(pass.rect) ||
            (pass.detail && childrenShown(b, culling.shownLevels) &&
             gatherTinySubtree(b, extent, culling.shownLevels, pass, marks)))
            return;
    }
    // Keeps the branch alive should a drawn graphic change the tree.
    const std::shared_ptr<TWMapBranch> keep = b.shared_from_this();
    if (!culling.byExtent || childrenShown(b, culling.shownLevels)) {
        const Culling below{culling.byExtent, culling.shownLevels - 1};
        BranchList children = childrenOrderedForDrawing(b);
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            if (culling.byExtent || pass.expansionState.shouldDrawBranch(**it))
                drawSubtree(**it, pass, marks, below);
    }

    TWMap *map = b.map();
    GraphicList attached = b.linkedGraphics();
    if (attached.size() > 1)
        std::stable_sort(attached.begin(), attached.end(), [](const auto &x, const auto &y) {
            return x->internalOrdering() > y->internalOrdering();
        });
    const bool showAttached = map && map->showAttachedGraphics();
    // Attached graphics of ordering 0 or more lie behind the branch.
    if (showAttached)
        for (const auto &g : attached) {
            if (g->internalOrdering() < 0)
                break;
            drawCulled(*g, pass, marks);
        }
    if (const auto &connection = b.connectionGraphic())
        if (connection->drawingBounds().intersects(pass.rect) &&
            !gatherConnection(*connection, pass, marks))
            drawConnection(b, *connection, pass, marks);
    TWGraphic *main = b.mainGraphic().get();
    if (TWBranchIndicators::branchDrawingBounds(b).intersects(pass.rect) &&
        !gatherTinyBranch(b, pass, marks)) {
        paintingOther(pass);
        drawBody(b, map, pass, marks, main ? main->inheritedShadow() : std::nullopt);
    }
    // Negative orderings lie in front.
    if (showAttached)
        for (const auto &g : attached)
            if (g->internalOrdering() < 0)
                drawCulled(*g, pass, marks);
    // Handles again, over the front attached graphics.
    if (main && map && map->isGraphicSelected(main)) {
        paintingOther(pass);
        main->drawHandlesInView(pass.context, pass.view);
    }
}

} // namespace

namespace {

// The extent, and the levels below the branch it took in.
Rect measuredExtent(TWMapBranch &branch, int shownLevels, int &depth)
{
    if (const std::optional<Rect> cached = branch.subtreeDrawingExtent(shownLevels, &depth))
        return *cached;
    Rect r = ownDrawingExtent(branch);
    depth = 0;
    if (!branch.childrenHidden() && !branch.children().isEmpty()) {
        if (!childrenShown(branch, shownLevels))
            depth = TWMapBranch::ExtentCut;
        else
            for (const auto &child : branch.children()) {
                int below = 0;
                r = r.united(measuredExtent(*child, shownLevels - 1, below));
                depth = TWMapBranch::extentDepthWithChild(depth, below);
            }
    }
    branch.setSubtreeDrawingExtent(r, shownLevels, depth);
    return r;
}

} // namespace

Rect subtreeDrawingExtent(TWMapBranch &branch, int shownLevels)
{
    int depth = 0;
    return measuredExtent(branch, shownLevels, depth);
}

void drawSelf(TWMapBranch &branch, const Pass &pass)
{
    if (!pass.expansionState.shouldDrawBranch(branch))
        return;
    // Drawing changes no shadow, colour or parent: each is looked up once
    // for the whole subtree.
    std::optional<TWInheritedLookups> lookups;
    if (!TWInheritedLookups::current())
        lookups.emplace();
    Culling culling;
    if (const TWMap *map = branch.map();
        map && pass.expansionState.mode() == TWMapExpansionState::NotHidden) {
        culling.byExtent = true;
        culling.shownLevels = map->branchHideLevel() - branch.getThisBranchLevel();
    }
    // In a view on screen what the view cannot show is not painted:
    // pictures, prints, exports and the navigator's thumbnail keep every
    // line as it is.
    std::optional<ConnectionThinning> thinning;
    Pass inner = pass;
    if (!inner.thinning && pass.view && pass.context.isDrawingToScreen()) {
        thinning.emplace(pass.rect, pass.context.devicePixelsPerPoint(), pass.detail);
        inner.thinning = &*thinning;
    }
    // The marks are gathered once for the whole pass.
    drawSubtree(branch, inner, marksFor(pass), culling);
    if (inner.thinning)
        inner.thinning->release();
    if (pass.detail)
        pass.detail->flush();
}

DetailBatch::DetailBatch(const DrawingContext &context, qreal pixelsPerPoint)
    : m_context(context), m_pixelsPerPoint(pixelsPerPoint)
{}

DetailBatch::~DetailBatch()
{
    flush();
}

void DetailBatch::fill(const QPainterPath &path, QRgb colour)
{
    if (qAlpha(colour) != 0)
        m_fills[colour].addPath(path);
}

void DetailBatch::fillRect(const QRectF &rect, QRgb colour)
{
    if (qAlpha(colour) != 0)
        m_fills[colour].addRect(rect);
}

QRgb DetailBatch::hairlineColour(QColor colour, float width, const QRectF &extent) const
{
    // A line thinner than a pixel covers that part of the pixels it
    // crosses, and one shorter than a pixel that part again: a hairline
    // covers at least a whole pixel.
    const qreal span = std::max(extent.width(), extent.height()) * m_pixelsPerPoint;
    const qreal coverage =
        std::clamp(qreal(width) * m_pixelsPerPoint, 0.0, 1.0) * std::clamp(span, 0.0, 1.0);
    colour.setAlphaF(float(colour.alphaF() * coverage));
    return colour.rgba();
}

bool DetailBatch::hairlineShows(float width) const
{
    // At its darkest: opaque and at least a pixel long.
    const qreal pixel = m_pixelsPerPoint > 0 ? 1 / m_pixelsPerPoint : 0;
    return qAlpha(hairlineColour(Qt::black, width, QRectF(0, 0, pixel, pixel))) != 0;
}

void DetailBatch::hairline(const QPainterPath &path, const QColor &colour, float width,
                           const std::optional<QRectF> &extent)
{
    const QRgb rgba = hairlineColour(colour, width, extent.value_or(path.controlPointRect()));
    if (qAlpha(rgba) != 0)
        m_hairlines[rgba].addPath(path);
}

void DetailBatch::hairlineRect(const QRectF &rect, const QColor &colour, float width)
{
    const QRgb rgba = hairlineColour(colour, width, rect);
    if (qAlpha(rgba) == 0)
        return;
    // A rectangle with no height or width is a line, not an empty figure.
    QPainterPath &path = m_hairlines[rgba];
    path.moveTo(rect.topLeft());
    path.lineTo(rect.topRight());
    path.lineTo(rect.bottomRight());
    path.lineTo(rect.bottomLeft());
    path.closeSubpath();
}

bool DetailBatch::flush()
{
    if (m_fills.empty() && m_hairlines.empty())
        return false;
    QPainter &p = m_context.painter();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    for (auto &[colour, path] : m_fills) {
        // Overlapping figures are filled once, as each was on its own.
        path.setFillRule(Qt::WindingFill);
        p.fillPath(path, QColor::fromRgba(colour));
    }
    for (const auto &[colour, path] : m_hairlines) {
        QPen pen(QColor::fromRgba(colour), 0);
        pen.setCosmetic(true);
        p.strokePath(path, pen);
    }
    p.restore();
    m_fills.clear();
    m_hairlines.clear();
    return true;
}

void setBoundaryPainter(BoundaryPainter painter)
{
    boundaryPainter() = std::move(painter);
}

void drawBoundary(TWMapBranch &branch, const DrawingContext &context, const TWDrawingView *view,
                  Rect rect, const GraphicList *selection)
{
    if (const BoundaryPainter &painter = boundaryPainter())
        painter(branch, context, view, rect, selection);
}

BranchList childrenOrderedForDrawing(const TWMapBranch &branch)
{
    // Nothing selected (the common case on large maps): the children as they are.
    const TWMap *map = branch.map();
    if (!map || map->selectedGraphics().isEmpty())
        return branch.children();
    BranchList selected;
    BranchList others;
    for (const auto &child : branch.children())
        (child->hasSelectedGraphic() ? selected : others).append(child);
    return selected + others;
}

void removeTooltipRects(TWMapBranch &branch)
{
    QVariantList &records = branch.hyperlinkTooltipInfoForUpdate();
    for (const QVariant &record : std::as_const(records))
        removeRecord(record.toMap());
    records.clear();
    if (!branch.resourcesAllocatedTooltipInfo().isEmpty()) {
        QVariantMap &record = branch.resourcesAllocatedTooltipInfoForUpdate();
        removeRecord(record);
        record.clear();
    }
}

std::optional<QString> toolTipString(const TWMapBranch &branch, const QVariant &userData)
{
    if (branch.hidden())
        return std::nullopt;
    if (userData.typeId() == QMetaType::QUrl)
        return QStringLiteral("%1 (Alt+Click)").arg(userData.toUrl().toString());
    if (userData.typeId() == QMetaType::QString) {
        const QString s = userData.toString();
        if (s == ResourcesAllocated) {
            const TWMap *map = branch.map();
            if (map && map->showResourcesAllocated() && !branch.resourcesAllocated().isEmpty())
                return branch.allocatedResourcesTooltipString();
            return std::nullopt;
        }
        // Links read from files may be plain strings.
        return QStringLiteral("%1 (Alt+Click)").arg(s);
    }
    return std::nullopt;
}

} // namespace TWBranchDrawing
