#include "graphics/TWTitleConnection.h"
#include "graphics/TWConnectionGeometry.h"
#include "model/TWMap.h"
#include "platform/CFormat.h"
#include "support/BezierPath.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <QDebug>
#include <cmath>

using namespace TWConnectionGeometry;

void TWTitleConnection::initWithGraphic(const std::shared_ptr<TWGraphic> &graphic, Point position)
{
    init();
    setBranch(graphic ? graphic->branch() : nullptr);
    setConnectedGraphicNumber(graphic ? graphic->graphicNumber() : 0);
    // A branch still being built is not yet in its map's tree.
    if (!m_connectedGraphic && graphic)
        setConnectedGraphic(graphic);
    setPosition(position);
    setConnectionToParentSide(1);
    setConnectionFromParentSide(0);
    setParentConnectionLineStyle(0);
}

std::shared_ptr<TWTitleConnection>
TWTitleConnection::create(const std::shared_ptr<TWGraphic> &graphic, Point position)
{
    auto connection = std::make_shared<TWTitleConnection>();
    connection->initWithGraphic(graphic, position);
    return connection;
}

void TWTitleConnection::setConnectedGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    if (graphic == m_connectedGraphic)
        return;
    const std::shared_ptr<TWGraphic> old = m_connectedGraphic;
    registerInverse(
        [old](TWGraphic &g) { static_cast<TWTitleConnection &>(g).setConnectedGraphic(old); });
    m_connectedGraphic = graphic;
    updateBounds();
}

void TWTitleConnection::setConnectedGraphicNumber(long number)
{
    if (number != m_connectedGraphicNumber) {
        const long old = m_connectedGraphicNumber;
        registerInverse([old](TWGraphic &g) {
            static_cast<TWTitleConnection &>(g).setConnectedGraphicNumber(old);
        });
        m_connectedGraphicNumber = number;
    }
    TWMap *map = this->map();
    setConnectedGraphic(map ? map->findGraphicWithGraphicNumber(number) : nullptr);
}

void TWTitleConnection::setPosition(Point position)
{
    setField(m_position, position, &TWTitleConnection::setPosition);
}

// --- look ---

float TWTitleConnection::strokeWidth() const
{
    return m_connectedGraphic ? m_connectedGraphic->strokeWidth() : TWGraphic::strokeWidth();
}

bool TWTitleConnection::drawsShadow() const
{
    return m_connectedGraphic ? m_connectedGraphic->drawsShadow() : TWGraphic::drawsShadow();
}

Color TWTitleConnection::inheritedStrokeColor() const
{
    return m_connectedGraphic ? m_connectedGraphic->inheritedStrokeColor()
                              : TWGraphic::inheritedStrokeColor();
}

Color TWTitleConnection::inheritedFillColor() const
{
    if (!m_connectedGraphic)
        return TWGraphic::inheritedFillColor();
    return m_connectedGraphic->canDrawFill() ? m_connectedGraphic->inheritedFillColor()
                                             : m_connectedGraphic->inheritedStrokeColor();
}

// --- geometry ---

struct TWTitleConnection::Corners
{
    Rect base;
    bool right = false; // the branch lies right of the centre
    bool below = false; // its end lies at or below the centre
};

std::optional<TWTitleConnection::Corners> TWTitleConnection::corners()
{
    if (!m_connectedGraphic)
        return std::nullopt;
    if (const std::optional<Rect> root = rootRect(*this))
        m_position = Point(root->midX(), root->midY());
    const TWGraphic &g = *m_connectedGraphic;
    const Rect r = attachmentRect(g);
    Corners c;
    c.right = r.midX() >= m_position.x;
    const float y = attachmentY(g, r, c.right);
    c.below = y >= m_position.y;
    if (c.right)
        c.base = Rect(m_position.x, 0, r.x() - m_position.x, 0);
    else
        c.base = Rect(r.maxX(), 0, m_position.x - r.maxX(), 0);
    c.base.origin.y = std::min(y, m_position.y);
    c.base.size.height = std::fabs(y - m_position.y);
    return c;
}

Rect TWTitleConnection::baseBounds()
{
    const std::optional<Corners> c = corners();
    return c ? c->base : Rect(0, 0, 1, 1);
}

std::optional<std::array<Point, 6>> TWTitleConnection::calculatePoints()
{
    const std::optional<Corners> c = corners();
    if (!c)
        return std::nullopt;
    const Rect &b = c->base;
    const float a = std::atan(b.width() / b.height());
    const float cw = float(HalfWidth * std::cos(double(a)));
    const float sw = float(HalfWidth * std::sin(double(a)));
    Point p1, far;
    if (!c->right) {
        p1 = Point(b.minX(), c->below ? b.maxY() : b.minY());
        far = Point(b.maxX(), c->below ? b.minY() : b.maxY());
    } else {
        p1 = Point(b.maxX(), c->below ? b.maxY() : b.minY());
        far = Point(b.minX(), c->below ? b.minY() : b.maxY());
    }
    const Point handle(c->right ? p1.x - Tangent : p1.x + Tangent, p1.y);
    // p2 and p3 lie either side of the centre, across the line from p1.
    const float sy = (c->right == c->below) ? sw : -sw;
    const Point p2(far.x - cw, far.y + sy);
    const Point p3(far.x + cw, far.y - sy);
    return std::array<Point, 6>{p1, p2, p3, p1, handle, handle};
}

std::shared_ptr<BezierPath> TWTitleConnection::bezierPath()
{
    if (m_path)
        return m_path;
    const std::optional<std::array<Point, 6>> p = calculatePoints();
    if (!p)
        return nullptr;
    for (const Point &q : *p) {
        // An end on the centre leaves the wedge without a direction.
        if (!std::isfinite(q.x) || !std::isfinite(q.y))
            return nullptr;
    }
    const auto &[p1, p2, p3, p4, p5, p6] = *p;
    auto path = std::make_shared<BezierPath>();
    path->moveToPoint(p1);
    path->curveToPoint(p2, p5, p6);
    path->lineToPoint(p3);
    path->curveToPoint(p4, p5, p6);
    path->closePath();
    path->setLineWidth(strokeWidth());
    m_path = path;
    return m_path;
}

std::shared_ptr<BezierPath> TWTitleConnection::centerBezierPath()
{
    if (m_centerPath)
        return m_centerPath;
    const std::optional<std::array<Point, 6>> p = calculatePoints();
    if (!p)
        return nullptr;
    const std::optional<Corners> c = corners();
    const Point a = (*p)[0], handle = (*p)[4];
    const Point centre(c->right ? c->base.minX() : c->base.maxX(),
                       c->below ? c->base.minY() : c->base.maxY());
    auto path = std::make_shared<BezierPath>();
    path->moveToPoint(a);
    path->curveToPoint(centre, handle, handle);
    path->setLineWidth(CenterLineWidth);
    m_centerPath = path;
    return m_centerPath;
}

std::optional<Rect> TWTitleConnection::fitAnew()
{
    m_path.reset();
    m_centerPath.reset();
    const std::shared_ptr<BezierPath> path = bezierPath();
    if (!path || path->isEmpty())
        return std::nullopt;
    return path->bounds();
}

void TWTitleConnection::updateBounds()
{
    if (const std::optional<Rect> fitted = fitAnew())
        setBounds(*fitted);
}

void TWTitleConnection::fitAfterSlideBy(float dx, float dy)
{
    if (const std::optional<Rect> fitted = fitAnew())
        setBoundsFittedAfterSlideBy(*fitted, dx, dy);
}

// --- XML ---

void TWTitleConnection::addKindXmlData(XMLOut &out, bool embeddingBinaryData)
{
    TWConnectionGraphic::addKindXmlData(out, embeddingBinaryData);
    if (m_testing) {
        out.integerElement("connectedGraphicNumber", 42);
        out.boolElement("testing", true);
        return;
    }
    out.integerElement("connectedGraphicNumber",
                       m_connectedGraphic ? m_connectedGraphic->graphicNumber() : 0);
}

bool TWTitleConnection::readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                                        xmlDocPtr doc)
{
    TWConnectionGraphic::readKindXmlData(reader, element, doc);
    m_testing = reader.node("testing") != nullptr;
    const std::optional<int> number = reader.intValue("connectedGraphicNumber");
    if (!number) {
        qWarning("Title connection has no specified connected graphic");
        return false;
    }
    if (m_testing && *number != 42) {
        qWarning("Load and save test failed");
        return false;
    }
    setConnectedGraphicNumber(*number);
    return true;
}
