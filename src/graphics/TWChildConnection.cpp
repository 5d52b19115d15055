#include "graphics/TWChildConnection.h"

#include "graphics/TWConnectionGeometry.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/CFormat.h"
#include "platform/UndoManager.h"
#include "support/BezierBounds.h"
#include "support/BezierPath.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <QDebug>
#include <cmath>

using namespace TWConnectionGeometry;

static std::shared_ptr<TWGraphic> resolve(const TWGraphic &connection, long number)
{
    TWMap *map = connection.map();
    return map ? map->findGraphicWithGraphicNumber(number) : nullptr;
}

void TWChildConnection::initWithParent(const std::shared_ptr<TWGraphic> &parent,
                                       const std::shared_ptr<TWGraphic> &child)
{
    init();
    setBranch(child ? child->branch() : nullptr);
    const UndoManager *undo = undoManager();
    if (!undo || !undo->isUndoRegistrationEnabled()) {
        // Nothing to register: each end is stored as the setters below leave
        // it, without building their inverses (an import makes thousands).
        const auto join = [this](const std::shared_ptr<TWGraphic> &given,
                                 std::shared_ptr<TWGraphic> &end, long &number) {
            const long wanted = given ? given->graphicNumber() : 0;
            std::shared_ptr<TWGraphic> found = resolve(*this, wanted);
            number = found ? found->graphicNumber() : wanted;
            end = found ? std::move(found) : given;
        };
        join(parent, m_parentGraphic, m_parentGraphicNumber);
        join(child, m_childGraphic, m_childGraphicNumber);
    } else {
        setParentGraphicNumber(parent ? parent->graphicNumber() : 0);
        setChildGraphicNumber(child ? child->graphicNumber() : 0);
        // A branch still being built is not yet in its map's tree.
        if (!m_parentGraphic && parent)
            setParentGraphic(parent);
        if (!m_childGraphic && child)
            setChildGraphic(child);
    }
    setDrawsFill(false);
    setDrawsStroke(true);
    setConnectionToParentSide(1);
    setConnectionFromParentSide(0);
    setParentConnectionLineStyle(0);
}

std::shared_ptr<TWChildConnection>
TWChildConnection::create(const std::shared_ptr<TWGraphic> &parent,
                          const std::shared_ptr<TWGraphic> &child)
{
    auto connection = std::make_shared<TWChildConnection>();
    connection->initWithParent(parent, child);
    // Placed at once, as the wedge is: a connection of empty bounds is never
    // drawn. Within an open batch, once its ends are final.
    connection->requestBoundsUpdate();
    return connection;
}

// --- the joined graphics ---

void TWChildConnection::setParentGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    if (graphic == m_parentGraphic)
        return;
    const std::shared_ptr<TWGraphic> old = m_parentGraphic;
    registerInverse(
        [old](TWGraphic &g) { static_cast<TWChildConnection &>(g).setParentGraphic(old); });
    m_parentGraphic = graphic;
    m_parentGraphicNumber = graphic ? graphic->graphicNumber() : 0;
}

void TWChildConnection::setChildGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    if (graphic == m_childGraphic)
        return;
    const std::shared_ptr<TWGraphic> old = m_childGraphic;
    registerInverse(
        [old](TWGraphic &g) { static_cast<TWChildConnection &>(g).setChildGraphic(old); });
    m_childGraphic = graphic;
    m_childGraphicNumber = graphic ? graphic->graphicNumber() : 0;
}

void TWChildConnection::setParentGraphicNumber(long number)
{
    if (number != m_parentGraphicNumber) {
        const long old = m_parentGraphicNumber;
        registerInverse([old](TWGraphic &g) {
            static_cast<TWChildConnection &>(g).setParentGraphicNumber(old);
        });
        m_parentGraphicNumber = number;
    }
    setParentGraphic(resolve(*this, number));
}

void TWChildConnection::setChildGraphicNumber(long number)
{
    if (number != m_childGraphicNumber) {
        const long old = m_childGraphicNumber;
        registerInverse([old](TWGraphic &g) {
            static_cast<TWChildConnection &>(g).setChildGraphicNumber(old);
        });
        m_childGraphicNumber = number;
    }
    setChildGraphic(resolve(*this, number));
}

void TWChildConnection::setParentGraphicNumber(long parentNumber, long childNumber)
{
    if (parentNumber != m_parentGraphicNumber) {
        const long old = m_parentGraphicNumber;
        registerInverse([old](TWGraphic &g) {
            static_cast<TWChildConnection &>(g).setParentGraphicNumber(old);
        });
        m_parentGraphicNumber = parentNumber;
    }
    if (childNumber != m_childGraphicNumber) {
        const long old = m_childGraphicNumber;
        registerInverse([old](TWGraphic &g) {
            static_cast<TWChildConnection &>(g).setChildGraphicNumber(old);
        });
        m_childGraphicNumber = childNumber;
    }
    bool parentFound = false, childFound = false;
    if (TWMap *map = this->map()) {
        for (const std::shared_ptr<TWMapBranch> &b : map->allBranches()) {
            const std::shared_ptr<TWGraphic> &shape = b->mainGraphic();
            if (!shape)
                continue;
            if (!parentFound && shape->graphicNumber() == parentNumber) {
                setParentGraphic(shape);
                parentFound = true;
            }
            if (!childFound && shape->graphicNumber() == childNumber) {
                setChildGraphic(shape);
                childFound = true;
            }
            if (parentFound && childFound)
                break;
        }
    }
    if (!parentFound)
        setParentGraphic(resolve(*this, parentNumber));
    if (!childFound)
        setChildGraphic(resolve(*this, childNumber));
}

// --- look ---

float TWChildConnection::strokeWidth() const
{
    return m_childGraphic ? m_childGraphic->strokeWidth() : TWGraphic::strokeWidth();
}

bool TWChildConnection::drawsShadow() const
{
    return m_childGraphic ? m_childGraphic->drawsShadow() : TWGraphic::drawsShadow();
}

Color TWChildConnection::inheritedStrokeColor() const
{
    return m_childGraphic ? m_childGraphic->inheritedStrokeColor()
                          : TWGraphic::inheritedStrokeColor();
}

Color TWChildConnection::inheritedFillColor() const
{
    if (!m_childGraphic)
        return TWGraphic::inheritedFillColor();
    return m_childGraphic->canDrawFill() ? m_childGraphic->inheritedFillColor()
                                         : m_childGraphic->inheritedStrokeColor();
}

// --- geometry ---

struct TWChildConnection::Ends
{
    bool valid = false;
    bool growsLeft = false; // the branch grows to the left of its parent
    Rect parentRect;
    Rect childRect;
    Point parent;
    Point child;
};

TWChildConnection::Ends TWChildConnection::ends() const
{
    Ends e;
    if (!m_parentGraphic || !m_childGraphic)
        return e;
    const TWGraphic &parent = *m_parentGraphic, &child = *m_childGraphic;
    e.parentRect = attachmentRect(parent);
    e.childRect = attachmentRect(child);
    const float parentMid = e.parentRect.midX();
    const float rootMid = rootMidX(*this).value_or(parentMid);
    e.growsLeft = rootMid > parentMid;

    // A curved child takes its end nearer the parent's side of the root.
    const bool childLeftEnd = parent.bounds().midX() >= rootMid;
    const float childY = attachmentY(child, e.childRect, childLeftEnd);
    const float parentY = attachmentY(parent, e.parentRect, e.growsLeft);
    if (e.growsLeft) {
        e.child = Point(e.childRect.maxX(), childY);
        e.parent = Point(e.parentRect.minX(), parentY);
    } else {
        e.child = Point(e.childRect.minX(), childY);
        e.parent = Point(e.parentRect.maxX(), parentY);
    }
    e.valid = true;
    return e;
}

Point TWChildConnection::childEnd() const
{
    return ends().child;
}

Point TWChildConnection::parentEnd() const
{
    return ends().parent;
}

namespace {

// The box spanned by the two ends, widened where the shapes come close; the
// ends are worked out once for this and the path.
template <class Ends> Rect baseBoundsOfEnds(const Ends &e)
{
    constexpr float Overlap = TWChildConnection::OverlapTolerance;
    if (!e.valid)
        return {};
    Rect b(std::min(e.child.x, e.parent.x), std::min(e.child.y, e.parent.y),
           std::fabs(e.child.x - e.parent.x), std::fabs(e.child.y - e.parent.y));
    const float parentMid = e.parentRect.midX(), childMid = e.childRect.midX();
    const bool close = parentMid > childMid ? e.childRect.maxX() > e.parentRect.minX() - Overlap
                                            : e.parentRect.maxX() + Overlap > e.childRect.minX();
    if (close) {
        b.origin.x -= Overlap;
        b.size.width += 2 * Overlap;
    }
    return b;
}

} // namespace

Rect TWChildConnection::baseBounds() const
{
    return baseBoundsOfEnds(ends());
}

bool TWChildConnection::placeCurve()
{
    const Ends e = ends();
    if (!e.valid)
        return false;
    const Rect b = baseBoundsOfEnds(e);
    const Point middle(b.x() + b.width() * 0.5f, b.y() + b.height() * 0.5f);
    const float towardsParent = e.growsLeft ? Tangent : -Tangent;
    const Point childHandle(e.child.x + towardsParent, e.child.y);
    const Point parentHandle(e.parent.x - towardsParent, e.parent.y);
    m_curve.start = e.child;
    m_curve.segments[0] = {childHandle, childHandle, middle};
    m_curve.segments[1] = {parentHandle, parentHandle, e.parent};
    m_curve.lineWidth = strokeWidth();
    m_curve.placed = true;
    return true;
}

std::shared_ptr<BezierPath> TWChildConnection::bezierPath()
{
    if (m_path)
        return m_path;
    if (!m_curve.placed && !placeCurve())
        return nullptr;
    auto path = std::make_shared<BezierPath>();
    path->moveToPoint(m_curve.start);
    for (const std::array<Point, 3> &segment : m_curve.segments)
        path->curveToPoint(segment[2], segment[0], segment[1]);
    path->setLineWidth(m_curve.lineWidth);
    m_path = path;
    return m_path;
}

std::optional<Rect> TWChildConnection::fitAnew()
{
    // The curve is placed now and its path made only when asked for: most
    // connections are placed again before they are ever drawn.
    m_path.reset();
    m_curve.placed = false;
    if (!placeCurve())
        return std::nullopt;
    return curvesBounds(m_curve.start, m_curve.segments.data(), int(m_curve.segments.size()));
}

void TWChildConnection::updateBounds()
{
    if (const std::optional<Rect> fitted = fitAnew())
        setBounds(*fitted);
}

void TWChildConnection::fitAfterSlideBy(float dx, float dy)
{
    if (const std::optional<Rect> fitted = fitAnew())
        setBoundsFittedAfterSlideBy(*fitted, dx, dy);
}

bool TWChildConnection::moveCurveBy(float dx, float dy)
{
    if (!m_curve.placed)
        return false;
    const auto move = [dx, dy](Point &p) {
        p.x += dx;
        p.y += dy;
    };
    move(m_curve.start);
    for (std::array<Point, 3> &segment : m_curve.segments)
        for (Point &p : segment)
            move(p);
    m_path.reset();
    return true;
}

// --- XML ---

void TWChildConnection::addKindXmlData(XMLOut &out, bool embeddingBinaryData)
{
    TWConnectionGraphic::addKindXmlData(out, embeddingBinaryData);
    if (m_testing) {
        out.boolElement("testing", true);
        out.integerElement("parentGraphicNumber", 12);
        out.integerElement("childGraphicNumber", 24);
        return;
    }
    out.integerElement("parentGraphicNumber",
                       m_parentGraphic ? m_parentGraphic->graphicNumber() : 0);
    out.integerElement("childGraphicNumber", m_childGraphic ? m_childGraphic->graphicNumber() : 0);
}

bool TWChildConnection::readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                                        xmlDocPtr doc)
{
    TWConnectionGraphic::readKindXmlData(reader, element, doc);
    m_testing = reader.node("testing") != nullptr;

    // A number 0 is refused here; the load pass gives the branch a default
    // connection in its place and tells the user once.
    const std::optional<int> parent = reader.intValue("parentGraphicNumber");
    if (!parent) {
        qWarning("Child connection has no specified parent graphic");
        return false;
    }
    if (*parent == 0) {
        qWarning("Child connection has parent graphic 0, returning nil");
        return false;
    }
    if (m_testing && *parent != 12) {
        qWarning("Parent graphic number failed testing");
        return false;
    }
    setParentGraphicNumber(*parent);

    const std::optional<int> child = reader.intValue("childGraphicNumber");
    if (!child) {
        qWarning("Child connection has no specified child graphic");
        return false;
    }
    if (*child == 0) {
        qWarning("Child connection has child graphic 0, returning nil");
        return false;
    }
    if (m_testing && *child != 24) {
        qWarning("Child graphic number failed testing");
        return false;
    }
    setChildGraphicNumber(*child);
    return true;
}
