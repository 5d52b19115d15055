#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWInheritedLookups.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "support/BezierPath.h"
#include "support/Image.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainterPath>
#include <QVarLengthArray>
#include <cmath>

namespace {

// The sensitive square around a knob, and the band above flat outlines.
constexpr float FlatPathHeight = 4;

bool coloringFromMap(const TWMap &map)
{
    return map.graphicColoringMode() == 1 || map.graphicColoringMode() == 3;
}

} // namespace

TWMapBranch *TWGraphic::branchInMap() const
{
    TWMapBranch *owner = branch();
    return owner && owner->map() ? owner : nullptr;
}

TWGraphic *TWGraphic::settingsGraphic()
{
    if (isEnclosedText() && branch()->mainGraphic())
        return branch()->mainGraphic().get();
    return this;
}

// --- selection ---

void TWGraphic::tryToSelect()
{
    TWMap *m = map();
    if (!m)
        return;
    if (canBeSelected() && !isSelected()) {
        if (std::shared_ptr<TWGraphic> self = weak_from_this().lock())
            m->insertObjectInSelectedGraphicsAtIndex(self, m->countOfSelectedGraphics());
    }
    TWMapBranch *owner = branch();
    if (owner->shouldSelectMainForGraphic(this) && owner->mainGraphic() &&
        owner->mainGraphic().get() != this)
        owner->mainGraphic()->tryToSelect();
}

bool TWGraphic::selectsInRect(Rect rect)
{
    return canBeSelected() && rect.intersects(drawingBounds());
}

// --- z-order ---

void TWGraphic::reorderGraphic(int mode)
{
    TWMapBranch *owner = branch();
    if (!owner)
        return;
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    const TWMapBranch::GraphicList &linked = owner->linkedGraphics();
    if (mode == 2 || mode == 3) {
        const int steps = int(linked.size());
        for (int i = 0; i < steps; ++i)
            reorderGraphic(mode == 2 ? 0 : 1);
        return;
    }
    if (mode != 0 && mode != 1)
        return;
    // Forward lowers the value (towards the front); back raises it.
    const int step = mode == 0 ? -1 : 1;
    const int inverse = mode == 0 ? 1 : 0;
    auto finish = [&] {
        if (UndoManager *undo = undoManager(); undo && self)
            undo->registerUndo([self, inverse] { self->reorderGraphic(inverse); });
        NotificationCenter::defaultCenter().post(BranchNeedsRedrawNotification,
                                                 owner->notificationObject());
    };

    const qsizetype own = linked.indexOf(self);
    if (own >= 0) {
        const int target = m_internalOrdering + step;
        if (target == 0) {
            // Just behind (in front of) the shape: the shape moves instead.
            if (owner->mainGraphic())
                owner->mainGraphic()->reorderGraphic(inverse);
            return;
        }
        for (qsizetype i = 0; i < linked.size(); ++i) {
            TWGraphic &other = *linked.at(i);
            if (other.m_internalOrdering != target)
                continue;
            other.m_internalOrdering = m_internalOrdering;
            m_internalOrdering = target;
            owner->exchangeLinkedGraphicsAtIndexes(int(own), int(i));
            finish();
            return;
        }
        return;
    }

    // The shape (or any graphic that is not attached) moves past the nearest
    // attached graphic by shifting all of them the other way.
    bool anyOnTheOtherSide = false;
    for (const std::shared_ptr<TWGraphic> &g : linked)
        anyOnTheOtherSide |= mode == 0 ? g->m_internalOrdering < 0 : g->m_internalOrdering > 0;
    if (!anyOnTheOtherSide)
        return;
    for (const std::shared_ptr<TWGraphic> &g : linked) {
        int value = g->m_internalOrdering - step;
        if (value == 0)
            value = -step;
        g->m_internalOrdering = value;
    }
    // The drawing order follows the new values.
    if (TWMap *m = owner->map())
        m->removeAllGraphicOrderCache();
    finish();
}

// --- inheritance ---

namespace {

thread_local TWInheritedLookups *s_lookups = nullptr;

} // namespace

TWInheritedLookups::TWInheritedLookups() : m_outer(s_lookups)
{
    s_lookups = this;
}

TWInheritedLookups::~TWInheritedLookups()
{
    s_lookups = m_outer;
}

TWInheritedLookups *TWInheritedLookups::current()
{
    return s_lookups;
}

namespace {

// What the graphic inherits, asked of its shape or its parent's shape.
Color strokeColorInherited(const TWGraphic &graphic)
{
    TWMapBranch *owner = graphic.branch();
    if (!owner)
        return Color::blackColor();
    const std::shared_ptr<TWGraphic> &shape = owner->mainGraphic();
    if (graphic.isLinkedGraphic() && shape)
        return shape->inheritedStrokeColor();
    TWMap *m = owner->map();
    TWMapBranch *parent = owner->parent();
    if (m &&
        ((parent && parent == m->root().get() && coloringFromMap(*m)) || owner == m->root().get()))
        return m->layoutServices().defaultStrokeColorForGraphic(*m, graphic);
    if (!parent || !parent->mainGraphic())
        return Color::blackColor();
    return parent->mainGraphic()->inheritedStrokeColor();
}

} // namespace

Color TWGraphic::inheritedStrokeColor() const
{
    if (!inheritsStroke() && strokeColor() && drawsStroke())
        return *strokeColor();
    TWInheritedLookups *lookups = TWInheritedLookups::current();
    if (!lookups)
        return strokeColorInherited(*this);
    // Each ancestor's answer is kept on the way up: the next branch down
    // stops at its parent.
    if (const auto it = lookups->strokeColors.constFind(this); it != lookups->strokeColors.cend())
        return *it;
    const Color color = strokeColorInherited(*this);
    lookups->strokeColors.insert(this, color);
    return color;
}

Color TWGraphic::inheritedFillColor() const
{
    if (!inheritsFill() && fillColor() && drawsFill())
        return *fillColor();
    TWMapBranch *owner = branch();
    if (!owner)
        return Color::whiteColor();
    const std::shared_ptr<TWGraphic> &shape = owner->mainGraphic();
    if (isLinkedGraphic() && shape)
        return shape->inheritedFillColor();
    TWMap *m = owner->map();
    TWMapBranch *parent = owner->parent();
    if (m &&
        ((parent && parent == m->root().get() && coloringFromMap(*m)) || owner == m->root().get()))
        return m->layoutServices().defaultFillColorForGraphic(*m, *this);
    if (!parent || !parent->mainGraphic())
        return Color::whiteColor();
    return parent->mainGraphic()->inheritedFillColor();
}

std::optional<Shadow> TWGraphic::inheritedShadow()
{
    // Up the tree a step at a time, each branch looked up once: every
    // drawing bounds worked out after a move comes through here. Under
    // kept lookups, the walk stops at a graphic whose answer is known, and
    // every graphic passed gets the answer found (it would walk on the same
    // way).
    TWInheritedLookups *lookups = TWInheritedLookups::current();
    QVarLengthArray<const TWGraphic *, 16> passed;
    const auto answer = [&](std::optional<Shadow> found) {
        if (lookups)
            for (const TWGraphic *g : std::as_const(passed))
                lookups->shadows.insert(g, found);
        return found;
    };
    TWGraphic *g = this;
    const TWMapBranch *root = nullptr;
    bool rootKnown = false;
    for (;;) {
        if (lookups) {
            if (const auto it = lookups->shadows.constFind(g); it != lookups->shadows.cend())
                return answer(*it);
            passed.append(g);
        }
        if (!g->inheritsShadow()) {
            if (std::optional<Shadow> own = g->shadow())
                return answer(own);
        }
        TWMapBranch *owner = g->branch();
        if (!owner)
            return answer(g->shadow());
        TWGraphic *shape = owner->mainGraphic().get();
        const bool linked =
            std::any_of(owner->linkedGraphics().cbegin(), owner->linkedGraphics().cend(),
                        [g](const auto &linked) { return linked.get() == g; });
        const bool connection =
            static_cast<const TWGraphic *>(owner->connectionGraphic().get()) == g;
        if ((linked || connection) && shape) {
            g = shape;
            continue;
        }
        // The branches passed on the way up share the map, and so its root.
        if (!rootKnown) {
            const TWMap *m = owner->map();
            root = m ? m->root().get() : nullptr;
            rootKnown = true;
        }
        if (owner == root) {
            if (shape) {
                if (std::optional<Shadow> rootShadow = shape->shadow())
                    return answer(rootShadow);
            }
            return answer(g->shadow());
        }
        TWMapBranch *parent = owner->parent();
        if (!parent || !parent->mainGraphic())
            return answer(g->shadow());
        g = parent->mainGraphic().get();
    }
}

// --- rectangles ---

Rect TWGraphic::imageBoundsAssertingMainGraphic(bool assertMainGraphic) const
{
    TWMapBranch *owner = branch();
    if (!owner)
        return {};
    const std::shared_ptr<TWGraphic> image = owner->enclosedImage();
    if ((assertMainGraphic || isMainGraphic()) && image)
        return owner->enclosedImageLayoutMode() == 0 ? bounds() : image->bounds();
    if (isEnclosedImage() || isLinkedGraphic() || isOtherEnclosedGraphic())
        return bounds();
    return {};
}

Rect TWGraphic::drawingBounds()
{
    if (m_flags.drawingBoundsValid)
        return m_cachedDrawingBounds;
    m_flags.drawingMarginKnown = false;
    const quint32 epoch = s_inheritanceEpoch;
    const std::optional<Rect> computed = computeDrawingBounds();
    if (!computed)
        return {};
    m_cachedDrawingBounds = *computed;
    m_flags.drawingBoundsValid = true;
    // Only a plain margin around the bounds may slide with them.
    if (m_flags.drawingMarginKnown &&
        *computed != bounds().insetBy(-m_drawingMargin.width, -m_drawingMargin.height))
        m_flags.drawingMarginKnown = false;
    m_drawingMarginEpoch = epoch;
    return m_cachedDrawingBounds;
}

std::optional<Rect> TWGraphic::computeDrawingBounds()
{
    if (!branchInMap())
        return std::nullopt;
    const float margin = drawsStroke() ? strokeWidth() + 11 : 13;
    const Rect b = bounds();
    const bool someSize = b.width() > 0 || b.height() > 0;
    if (const std::optional<Shadow> s = inheritedShadow()) {
        if (!someSize || b.width() > MaximumCoordinate || b.height() > MaximumCoordinate)
            return std::nullopt;
        const float blur = float(s->shadowBlurRadius());
        const float dx = margin + blur + std::fabs(std::trunc(s->shadowOffset().width));
        const float dy = margin + blur + std::fabs(std::trunc(s->shadowOffset().height));
        m_drawingMargin = Size(dx, dy);
        m_flags.drawingMarginKnown = true;
        return b.insetBy(-dx, -dy);
    }
    if (!someSize)
        return std::nullopt;
    m_drawingMargin = Size(margin, margin);
    m_flags.drawingMarginKnown = true;
    return b.insetBy(-margin, -margin);
}

Rect TWGraphic::boundsForPrinting()
{
    TWMapBranch *owner = branch();
    return boundsForPrinting(owner && isMainGraphic()
                                 ? owner->layoutServices().boundaryPathBounds(*owner)
                                 : std::nullopt);
}

Rect TWGraphic::boundsForPrinting(const std::optional<Rect> &outline)
{
    if (TWMapBranch *owner = branch(); outline && owner && isMainGraphic()) {
        const float w = owner->boundaryLineWidth();
        return outline->insetBy(-w, -w);
    }
    if (auto *line = dynamic_cast<TWLinkLine *>(this))
        line->updateBounds();
    Rect r = bounds();
    if (drawsStroke())
        r = r.insetBy(-strokeWidth() / 2, -strokeWidth() / 2);
    if (r.isEmpty() || r.width() > MaximumCoordinate || r.height() > MaximumCoordinate)
        return {};
    return r;
}

// --- hit testing and knobs ---

bool TWGraphic::hitTest(Point point, bool isSelected)
{
    if (isSelected && knobUnderPoint(point) != 0)
        return true;
    const float band = strokeWidth() * 0.5f + 2;
    auto withBandAbove = [band](Rect r) {
        return Rect(r.x(), r.y() - band, r.width(), r.height() + band);
    };
    if (const std::shared_ptr<BezierPath> path = bezierPath()) {
        if (path->toQPainterPath().contains(point.toQt()))
            return true;
        const Rect pathBounds = path->bounds();
        return pathBounds.height() < FlatPathHeight && withBandAbove(pathBounds).contains(point);
    }
    return withBandAbove(bounds()).contains(point);
}

Point TWGraphic::knobPoint(int knob) const
{
    return knob >= 1 && knob <= 8 ? knobPoint(bounds(), knob) : Point();
}

int TWGraphic::knobUnderPoint(Point point)
{
    const unsigned mask = unsigned(knobMask());
    for (int knob = 1; knob <= 8; ++knob) {
        if (!(mask & (1u << knob)))
            continue;
        if (knobRect(knobPoint(knob)).contains(point))
            return knob;
    }
    return 0;
}

int TWGraphic::flipKnob(int knob, bool horizontal)
{
    static constexpr int horizontalMirror[9] = {0, 3, 2, 1, 5, 4, 8, 7, 6};
    static constexpr int verticalMirror[9] = {0, 6, 7, 8, 4, 5, 1, 2, 3};
    if (knob < 0 || knob > 8)
        return knob;
    return horizontal ? horizontalMirror[knob] : verticalMirror[knob];
}

// --- pictures ---

bool TWGraphic::loadImageFromFile(const QString &path)
{
    QString standardized = path;
    if (standardized == u"~" || standardized.startsWith(QStringLiteral("~/")))
        standardized = QDir::homePath() + standardized.mid(1);
    standardized = QDir::cleanPath(standardized);
    QFile file(standardized);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (!Image::initWithData(bytes))
        return false;
    TWMap *m = map();
    if (!m || !m->document())
        return false;
    const std::optional<QString> packagePath =
        sanitizedPicturePath(QStringLiteral("Images/Graphic%1/%2")
                                 .arg(graphicNumber())
                                 .arg(QFileInfo(standardized).fileName()));
    if (!packagePath)
        return false;
    m->document()->setObjectInCachedData(bytes, *packagePath);
    setImageFilename(*packagePath);
    return true;
}
