#include "exchange/KeynoteExportController_Shapes.h"
#include "graphics/TWGraphic.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "render/DrawingContext.h"
#include "support/BezierPath.h"

#include <QPainter>
#include <cmath>

using namespace TWKeynoteXML;
using namespace KeynoteShapes;

namespace {

// The ids of one overlay: role word, kind word, then the graphic number and,
// for the indexed kinds, the index.
struct OverlayIds
{
    QString kind;
    qint64 graphic;
    std::optional<int> index;

    QString make(const char *role) const
    {
        QString result = QLatin1String(role) + kind + QLatin1Char('-') + QString::number(graphic);
        if (index)
            result += QLatin1Char('-') + QString::number(*index);
        return result;
    }
};

BezierPath rectanglePath(const Rect &r)
{
    BezierPath path;
    path.moveToPoint({r.minX(), r.minY()});
    path.lineToPoint({r.maxX(), r.minY()});
    path.lineToPoint({r.maxX(), r.maxY()});
    path.lineToPoint({r.minX(), r.maxY()});
    path.closePath();
    return path;
}

// Cubic segments of at most a quarter turn, counter-clockwise in the path's
// own coordinates (angles in degrees).
void appendArc(BezierPath &path, Point c, float radius, float fromDegrees, float toDegrees)
{
    const double from = fromDegrees * M_PI / 180.0;
    const double to = toDegrees * M_PI / 180.0;
    auto at = [&](double a) {
        return Point(float(c.x + radius * std::cos(a)), float(c.y + radius * std::sin(a)));
    };
    if (path.isEmpty())
        path.moveToPoint(at(from));
    else
        path.lineToPoint(at(from));
    const int segments = std::max(1, int(std::ceil(std::fabs(to - from) / (M_PI / 2) - 1e-9)));
    const double step = (to - from) / segments;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < segments; ++i) {
        const double a0 = from + i * step, a1 = a0 + step;
        const Point p0 = at(a0), p1 = at(a1);
        const Point c1(float(p0.x - k * radius * std::sin(a0)),
                       float(p0.y + k * radius * std::cos(a0)));
        const Point c2(float(p1.x + k * radius * std::sin(a1)),
                       float(p1.y - k * radius * std::cos(a1)));
        path.curveToPoint(p1, c1, c2);
    }
}

BezierPath ovalPath(const Rect &r)
{
    BezierPath path;
    const Point c(r.x() + r.width() / 2, r.y() + r.height() / 2);
    const float rx = r.width() / 2, ry = r.height() / 2;
    constexpr float k = 0.5522847498f;
    path.moveToPoint({c.x + rx, c.y});
    path.curveToPoint({c.x, c.y + ry}, {c.x + rx, c.y + k * ry}, {c.x + k * rx, c.y + ry});
    path.curveToPoint({c.x - rx, c.y}, {c.x - k * rx, c.y + ry}, {c.x - rx, c.y + k * ry});
    path.curveToPoint({c.x, c.y - ry}, {c.x - rx, c.y - k * ry}, {c.x - k * rx, c.y - ry});
    path.curveToPoint({c.x + rx, c.y}, {c.x + k * rx, c.y - ry}, {c.x + rx, c.y - k * ry});
    path.closePath();
    return path;
}

QString pathText(const BezierPath &path, Point origin)
{
    QString text;
    auto point = [&](Point p) {
        return CFormat::format(" %f %f", double(p.x - origin.x), double(p.y - origin.y));
    };
    for (const BezierPath::Element &e : path.elements()) {
        switch (e.type) {
        case BezierPath::MoveToElement:
            text += QStringLiteral(" M") + point(e.points[0]);
            break;
        case BezierPath::LineToElement:
            text += QStringLiteral(" L") + point(e.points[0]);
            break;
        case BezierPath::CurveToElement:
            text +=
                QStringLiteral(" C") + point(e.points[0]) + point(e.points[1]) + point(e.points[2]);
            break;
        case BezierPath::ClosePathElement:
            text += QStringLiteral(" Z");
            break;
        }
    }
    return text;
}

struct OverlayWriter
{
    const KeynoteNamespaces &ns;
    xmlNodePtr group;
    xmlNodePtr anonStyles;
    float zoom, xOffset, yOffset;
    int keynoteVersion;
    KeynotePackage &package;

    void shape(const OverlayIds &ids, const BezierPath &path) const
    {
        const Rect b = path.bounds();
        xmlNodePtr shape = addElement(group, ns.sf, "shape");
        setAttribute(shape, ns.sfa, "ID", ids.make("TWShapeInfo"));
        xmlNodePtr geometry = addElement(shape, ns.sf, "geometry");
        setAttribute(geometry, ns.sfa, "ID", ids.make("TWAffineGeometry"));
        setAttribute(geometry, ns.sf, "sizesLocked", QStringLiteral("true"));
        // Only heights get the guard: Keynote refuses a shape without one.
        const float h = b.height() == 0 ? 0.01f : b.height();
        const float zoomedH = b.height() * zoom == 0 ? 0.01f : b.height() * zoom;
        xmlNodePtr natural = addElement(geometry, ns.sf, "naturalSize");
        setAttribute(natural, ns.sfa, "w", CFormat::f(b.width()));
        setAttribute(natural, ns.sfa, "h", CFormat::f(h));
        xmlNodePtr size = addElement(geometry, ns.sf, "size");
        setAttribute(size, ns.sfa, "w", CFormat::f(b.width() * zoom));
        setAttribute(size, ns.sfa, "h", CFormat::f(zoomedH));
        xmlNodePtr position = addElement(geometry, ns.sf, "position");
        setAttribute(position, ns.sfa, "x", CFormat::f(b.x() * zoom + xOffset));
        setAttribute(position, ns.sfa, "y", CFormat::f(b.y() * zoom + yOffset));
        setAttribute(addElement(addElement(shape, ns.sf, "style"), ns.sf, "graphic-style-ref"),
                     ns.sfa, "IDREF", ids.make("TWGraphicStyle"));
        xmlNodePtr source = addElement(addElement(shape, ns.sf, "path"), ns.sf, "bezier-path");
        setAttribute(source, ns.sfa, "ID", ids.make("TWBezierPathSource"));
        xmlNodePtr bezier = addElement(source, ns.sf, "bezier");
        setAttribute(bezier, ns.sfa, "ID", ids.make("TWBezierPath"));
        setAttribute(bezier, ns.sfa, "path", pathText(path, b.origin));
        setAttribute(bezier, ns.sfa, "version", QStringLiteral("524"));
    }

    xmlNodePtr style(const OverlayIds &ids) const
    {
        xmlNodePtr style = addElement(anonStyles, ns.sf, "graphic-style");
        setAttribute(style, ns.sfa, "ID", ids.make("TWGraphicStyle"));
        setAttribute(style, ns.sf, "parent-ident", QStringLiteral("shapeStyleID"));
        return addElement(style, ns.sf, "property-map");
    }

    // A missing picture leaves the overlay out: an empty file would show
    // nothing and an image element without data breaks the presentation.
    void picture(const OverlayIds &ids, const QImage &image, const Rect &rect,
                 const QString &fileName) const
    {
        const QByteArray tiff = tiffData(image);
        if (tiff.isEmpty())
            return;
        package.addRegularFile(tiff, fileName);
        const Size size = pointSize(image);
        const QString w = CFormat::f(size.width), h = CFormat::f(size.height);

        xmlNodePtr properties = style(ids);
        xmlNodePtr textured =
            addElement(addElement(properties, ns.sf, "fill"), ns.sf, "textured-fill");
        setAttribute(textured, ns.sfa, "ID", ids.make("TWTexturedImageFill"));
        setAttribute(textured, ns.sf, "technique", QStringLiteral("stretch"));
        setAttribute(textured, ns.xsi, "type", QStringLiteral("textured-fill"));
        xmlNodePtr imageElement = nullptr;
        if (keynoteVersion >= 3) {
            xmlNodePtr filtered = addElement(textured, ns.sf, "filtered-image");
            // The kind word keeps the ids of a branch's overlays apart.
            setAttribute(filtered, ns.sfa, "ID", ids.make("TWFilteredImage"));
            imageElement = addElement(filtered, ns.sf, "unfiltered");
        } else {
            imageElement = addElement(textured, ns.sf, "image");
        }
        setAttribute(imageElement, ns.sfa, "ID", ids.make("TWImageBinary"));
        xmlNodePtr sizeElement = addElement(imageElement, ns.sf, "size");
        setAttribute(sizeElement, ns.sfa, "w", w);
        setAttribute(sizeElement, ns.sfa, "h", h);
        xmlNodePtr data = addElement(imageElement, ns.sf, "data");
        setAttribute(data, ns.sfa, "ID", ids.make("TWData"));
        setAttribute(data, ns.sf, "path", fileName);
        setAttribute(data, ns.sf, "displayname", fileName);
        setAttribute(data, ns.sf, "size", QString::number(tiff.size()));
        setAttribute(data, ns.sfa, "version", QStringLiteral("1"));
        if (keynoteVersion >= 3) {
            xmlNodePtr r = addElement(addElement(textured, ns.sf, "extent"), ns.sfa, "rect");
            setAttribute(r, ns.sfa, "x", QStringLiteral("0"));
            setAttribute(r, ns.sfa, "y", QStringLiteral("0"));
            setAttribute(r, ns.sfa, "w", w);
            setAttribute(r, ns.sfa, "h", h);
        }
        addElement(addElement(properties, ns.sf, "stroke"), ns.sf, "null");
        shape(ids, rectanglePath(rect));
    }

    void coloured(const OverlayIds &ids, const BezierPath &path, const Color &color) const
    {
        xmlNodePtr properties = style(ids);
        addColor(ns, addElement(properties, ns.sf, "fill"), color);
        addElement(addElement(properties, ns.sf, "stroke"), ns.sf, "null");
        shape(ids, path);
    }
};

QImage paintedIcon(const std::function<void(const DrawingContext &, Rect)> &paint)
{
    constexpr qreal pixelsPerPoint = 4;
    const Rect rect(0, 0, TWBranchIndicators::IconSize, TWBranchIndicators::IconSize);
    // Painted at 72 dpi and scaled by hand, so that text sizes in points are
    // not scaled twice; the resolution is recorded afterwards.
    QImage image = DrawingContext::makeImage(rect.size, pixelsPerPoint);
    const int recorded = image.dotsPerMeterX();
    const int pointsPerMeter = qRound(72 / 0.0254);
    image.setDotsPerMeterX(pointsPerMeter);
    image.setDotsPerMeterY(pointsPerMeter);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(pixelsPerPoint, pixelsPerPoint);
        DrawingContext context(painter, false);
        paint(context, rect);
    }
    image.setDotsPerMeterX(recorded);
    image.setDotsPerMeterY(recorded);
    return image;
}

} // namespace

int KeynoteExportController::completionPieDegrees(float percentage)
{
    return int(std::trunc(percentage * 360.0f / 100.0f));
}

QImage KeynoteExportController::builtInNamedImage(const QString &name)
{
    using TWBranchIndicators::Icon;
    static const QHash<QString, Icon> icons{
        {QStringLiteral("HasTextIndicatorOverlay"), Icon::TextIndicator},
        {QStringLiteral("CheckboxUnchecked"), Icon::CheckboxUnchecked},
        {QStringLiteral("CheckboxChecked"), Icon::CheckboxChecked},
        {QStringLiteral("CheckboxMixed"), Icon::CheckboxMixed},
    };
    if (const auto found = icons.constFind(name); found != icons.cend())
        return TWBranchIndicators::iconImage(*found);
    if (name == QLatin1String("PercentageCompleteOverlayImage")) {
        // A rim over the disc and pie, as the map draws the indicator's edge.
        return paintedIcon([](const DrawingContext &context, Rect rect) {
            QPainter &p = context.painter();
            p.setPen(QPen(QColor(90, 90, 90), 1));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(rect.toQt().adjusted(0.5, 0.5, -0.5, -0.5));
        });
    }
    bool isNumber = false;
    const int priority = name.toInt(&isNumber);
    if (isNumber && priority >= 1 && priority <= 9)
        return paintedIcon([priority](const DrawingContext &context, Rect rect) {
            TWBranchIndicators::drawPriority(context, priority, rect);
        });
    return {};
}

QImage KeynoteExportController::namedImage(const QString &name) const
{
    return m_namedImages ? m_namedImages(name) : builtInNamedImage(name);
}

void KeynoteExportController::insertOverlays(TWMapBranch &branch, const TWGraphic &textArea,
                                             xmlNodePtr group, xmlNodePtr anonStyles, float zoom,
                                             float xOffset, float yOffset, int keynoteVersion,
                                             KeynotePackage &package)
{
    const TWMap *map = branch.map();
    if (!map || !group || !anonStyles)
        return;
    const KeynoteNamespaces ns = namespacesOf(group);
    const OverlayWriter writer{ns,      group,   anonStyles,     zoom,
                               xOffset, yOffset, keynoteVersion, package};
    const qint64 g = textArea.graphicNumber();
    // File names separate their numbers: 12 and 3 must not read as 1 and 23.
    auto indexedFile = [g](const char *stem, int i) {
        return QStringLiteral("%1%2-%3.tiff").arg(QLatin1String(stem)).arg(g).arg(i);
    };
    auto file = [g](const char *stem) {
        return QStringLiteral("%1%2.tiff").arg(QLatin1String(stem)).arg(g);
    };

    if (map->showTextIndicators() && branch.countOfAttachedTextArray() > 0) {
        const QImage image = namedImage(QStringLiteral("HasTextIndicatorOverlay"));
        for (int i = 0; i < branch.countOfAttachedTextArray(); ++i)
            writer.picture({QStringLiteral("TxtImg"), g, i}, image,
                           TWBranchIndicators::boundsOfAttachedTextIndicatorAtIndex(branch, i),
                           indexedFile("txtIndicator", i));
    }

    for (int i = 0; i < branch.countOfHyperlinks(); ++i) {
        const std::shared_ptr<TWHyperlink> link = branch.objectInHyperlinksAtIndex(i);
        if (!link)
            continue;
        writer.picture({QStringLiteral("HlImg"), g, i},
                       TWBranchIndicators::hyperlinkImage(link->coloredImage()),
                       TWBranchIndicators::boundsOfHyperlinkAtIndex(branch, i),
                       indexedFile("hyperlink", i));
    }

    if (branch.showCheckBox() && map->showCheckboxes()) {
        static const QHash<int, QString> names{{0, QStringLiteral("CheckboxUnchecked")},
                                               {1, QStringLiteral("CheckboxChecked")},
                                               {-1, QStringLiteral("CheckboxMixed")}};
        const int state = branch.calculatedCheckboxState();
        if (names.contains(state))
            writer.picture({QStringLiteral("CheckboxImg"), g, std::nullopt},
                           namedImage(names.value(state)),
                           TWBranchIndicators::boundsOfCheckbox(branch), file("checkbox"));
    }

    if (branch.priority() != 0 && map->showPriorities())
        writer.picture({QStringLiteral("PriorityImg"), g, std::nullopt},
                       namedImage(QString::number(branch.priority())),
                       TWBranchIndicators::boundsOfPriorityIcon(branch), file("priority"));

    const float percentage = branch.percentageComplete();
    if (percentage > -1 && map->showPercentComplete()) {
        const Rect r = TWBranchIndicators::boundsOfPercentageCompleteIndicator(branch);
        writer.coloured({QStringLiteral("PercentageCompleteBg"), g, std::nullopt}, ovalPath(r),
                        Color::colorWithDeviceRed(229 / 255.0, 105 / 255.0, 108 / 255.0, 1));
        if (percentage > 0) {
            const Point c(r.x() + r.width() / 2, r.y() + r.height() / 2);
            BezierPath pie;
            pie.moveToPoint(c);
            appendArc(pie, c, 8, 270, float(270 + completionPieDegrees(percentage)));
            pie.closePath();
            writer.coloured({QStringLiteral("PercentageCompleteFg"), g, std::nullopt}, pie,
                            Color::colorWithDeviceRed(123 / 255.0, 254 / 255.0, 114 / 255.0, 1));
        }
        writer.picture({QStringLiteral("PercentageCompleteImg"), g, std::nullopt},
                       namedImage(QStringLiteral("PercentageCompleteOverlayImage")), r,
                       file("percentComplete"));
    }
}
