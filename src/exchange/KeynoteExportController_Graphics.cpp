#include "exchange/KeynoteExportController_Shapes.h"
#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Random.h"
#include "render/PictureDrawing.h"
#include "render/TWLineStyles.h"
#include "support/BezierPath.h"
#include "support/Image.h"
#include "support/Shadow.h"
#include "support/TWImageLoader.h"

#include <QBuffer>
#include <QImageWriter>
#include <cmath>

using namespace TWKeynoteXML;

namespace KeynoteShapes {

KeynoteNamespaces namespacesOf(xmlNodePtr node)
{
    KeynoteNamespaces ns = KeynoteNamespaces::forDocument(node ? node->doc : nullptr);
    if (!ns.xsi && node && node->doc) {
        if (xmlNodePtr root = xmlDocGetRootElement(node->doc))
            ns.xsi = xmlNewNs(root, BAD_CAST "http://www.w3.org/2001/XMLSchema-instance",
                              BAD_CAST "xsi");
    }
    return ns;
}

xmlNodePtr addColor(const KeynoteNamespaces &ns, xmlNodePtr parent, const Color &color, bool opaque)
{
    const bool calibrated = color.colorSpace() == Color::Space::CalibratedRGB;
    const Color rgb = color.isRGB() ? color : color.colorUsingColorSpace(Color::Space::DeviceRGB);
    xmlNodePtr element = addElement(parent, ns.sf, "color");
    setAttribute(element, ns.xsi, "type",
                 calibrated ? QStringLiteral("sfa:calibrated-rgb-color-type")
                            : QStringLiteral("sfa:device-rgb-color-type"));
    setAttribute(element, ns.sfa, "r", CFormat::f(float(rgb.redComponent())));
    setAttribute(element, ns.sfa, "g", CFormat::f(float(rgb.greenComponent())));
    setAttribute(element, ns.sfa, "b", CFormat::f(float(rgb.blueComponent())));
    setAttribute(element, ns.sfa, "a",
                 opaque ? QStringLiteral("1") : CFormat::f(float(rgb.alphaComponent())));
    return element;
}

QByteArray tiffData(const QImage &image)
{
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(image))
        return {};
    return bytes;
}

Size pointSize(const QImage &image)
{
    // The resolution recorded with the pixels, in whole dots per inch as
    // images store it (a 64-pixel icon at 288 dpi is 16 points).
    const double dpi = std::round(image.dotsPerMeterX() * 0.0254);
    const double perPoint = dpi > 0 ? dpi / 72.0 : 1.0;
    const QSizeF points = image.deviceIndependentSize() / perPoint;
    return Size::fromQt(points);
}

xmlNodePtr enclosingSlide(xmlNodePtr node)
{
    for (xmlNodePtr n = node; n && n->type == XML_ELEMENT_NODE; n = n->parent)
        if (xmlStrEqual(n->name, BAD_CAST "slide"))
            return n;
    return node ? xmlDocGetRootElement(node->doc) : nullptr;
}

} // namespace KeynoteShapes

using namespace KeynoteShapes;

namespace {

QString id(const char *kind, qint64 graphicNumber)
{
    return QStringLiteral("TW%1-%2").arg(QLatin1String(kind)).arg(graphicNumber);
}

QString id(const char *kind, qint64 graphicNumber, int index)
{
    return QStringLiteral("TW%1-%2-%3").arg(QLatin1String(kind)).arg(graphicNumber).arg(index);
}

QString precise(float v)
{
    return CFormat::format("%.15f", double(v));
}

void addSize(const KeynoteNamespaces &ns, xmlNodePtr parent, const char *name, const QString &w,
             const QString &h)
{
    xmlNodePtr size = addElement(parent, ns.sf, name);
    setAttribute(size, ns.sfa, "w", w);
    setAttribute(size, ns.sfa, "h", h);
}

void addPosition(const KeynoteNamespaces &ns, xmlNodePtr parent, const QString &x, const QString &y)
{
    xmlNodePtr position = addElement(parent, ns.sf, "position");
    setAttribute(position, ns.sfa, "x", x);
    setAttribute(position, ns.sfa, "y", y);
}

void addStyleRef(const KeynoteNamespaces &ns, xmlNodePtr shape, const QString &styleId)
{
    setAttribute(addElement(addElement(shape, ns.sf, "style"), ns.sf, "graphic-style-ref"), ns.sfa,
                 "IDREF", styleId);
}

void addBezier(const KeynoteNamespaces &ns, xmlNodePtr shape, const QString &sourceId,
               const QString &pathId, const QString &pathText)
{
    xmlNodePtr source = addElement(addElement(shape, ns.sf, "path"), ns.sf, "bezier-path");
    setAttribute(source, ns.sfa, "ID", sourceId);
    xmlNodePtr bezier = addElement(source, ns.sf, "bezier");
    setAttribute(bezier, ns.sfa, "ID", pathId);
    setAttribute(bezier, ns.sfa, "path", pathText);
    setAttribute(bezier, ns.sfa, "version", QStringLiteral("524"));
}

const QString kTextBoxPath = QStringLiteral("M 0 0 L 100 0 L 100 100 L 0 100 Z M 0 0");

void addTextFrame(const KeynoteNamespaces &ns, xmlNodePtr shape, const KeynoteTextBoxStyles &styles,
                  const QString &frameId, const QString &storageId, const AttributedString &text,
                  float zoom)
{
    xmlNodePtr frame = addElement(shape, ns.sf, "text");
    setAttribute(frame, ns.sfa, "ID", frameId);
    xmlNodePtr storage = addElement(frame, ns.sf, "text-storage");
    setAttribute(storage, ns.sfa, "ID", storageId);
    setAttribute(storage, ns.sf, "kind", QStringLiteral("textbox"));
    setAttribute(storage, ns.sf, "exclude-shapes", QStringLiteral("true"));
    setAttribute(storage, ns.sf, "exclude-tables", QStringLiteral("true"));
    setAttribute(storage, ns.sf, "exclude-attachments", QStringLiteral("true"));
    setAttribute(addElement(storage, ns.sf, "stylesheet-ref"), ns.sfa, "IDREF", styles.stylesheet);
    xmlNodePtr layout = addElement(addElement(storage, ns.sf, "text-body"), ns.sf, "layout");
    setAttribute(layout, ns.sf, "style", styles.layout);
    xmlNodePtr paragraph = addElement(layout, ns.sf, "p");
    setAttribute(paragraph, ns.sf, "style", styles.paragraph);
    if (styles.anonStyles)
        KeynoteExportController::insertAttributedString(text, paragraph, styles.anonStyles, zoom);
}

xmlNodePtr addAutosizingShape(const KeynoteNamespaces &ns, xmlNodePtr group, const QString &shapeId)
{
    xmlNodePtr shape = addElement(group, ns.sf, "shape");
    setAttribute(shape, ns.sfa, "ID", shapeId);
    setAttribute(shape, nullptr, "can-autosize-v", QStringLiteral("true"));
    setAttribute(shape, nullptr, "can-autosize-h", QStringLiteral("true"));
    return shape;
}

bool isPlainShape(const TWGraphic &graphic)
{
    const QString name = graphic.className();
    return name == QLatin1String("TWCircle") || name == QLatin1String("TWRectangle") ||
           name == QLatin1String("TWCustomBranchShape") || name == QLatin1String("TWCloud");
}

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

} // namespace

KeynoteTextBoxStyles KeynoteTextBoxStyles::forSlideOf(xmlNodePtr node)
{
    xmlNodePtr slide = enclosingSlide(node);
    auto styleId = [&](const char *type, const char *parentIdent) {
        return KeynoteExportController::findValueOfPropertyNamed(
            QStringLiteral("ID"), QStringLiteral("sfa"), slide, QLatin1String(type),
            QStringLiteral("parent-ident"), QStringLiteral("sf"), QLatin1String(parentIdent));
    };
    KeynoteTextBoxStyles styles;
    styles.anonStyles = KeynoteExportController::findNodeFromNode(
        slide, QStringLiteral("sf:anon-styles"), QString(), QStringLiteral("sf"), QString());
    styles.stylesheet = KeynoteExportController::findValueOfPropertyNamed(
        QStringLiteral("ID"), QStringLiteral("sfa"), slide, QStringLiteral("key:stylesheet"),
        QString(), QStringLiteral("sf"), QString());
    styles.layout = styleId("sf:layoutstyle", "textboxLayoutStyleID");
    styles.paragraph = styleId("sf:paragraphstyle", "textboxParagraphStyleID");
    return styles;
}

// --- pictures ---

QByteArray KeynoteExportController::decipherLibraryPicture(const QByteArray &data,
                                                           const QString &extension)
{
    // Bytes that are no picture of their type decode to nothing.
    return TWImageLoader::pictureData(data, extension).value_or(QByteArray());
}

std::optional<KeynotePicture> KeynoteExportController::pictureOfGraphic(const TWGraphic &graphic)
{
    const std::optional<QString> path = graphic.imageFilename();
    const TWMap *map = graphic.map();
    if (!path || !map || !map->document())
        return std::nullopt;
    const std::optional<QByteArray> cached = map->document()->objectForKeyInCachedData(*path);
    if (!cached)
        return std::nullopt;

    KeynotePicture picture;
    const QString name = path->section(QLatin1Char('/'), -1);
    picture.displayName = name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? name : name.left(dot);
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    const QString lower = extension.toLower();
    QString storedExtension = extension;
    QByteArray bytes = *cached;

    if (lower == QLatin1String("eps") || lower == QLatin1String("tweps")) {
        // Stored as the TIFF it is drawn from, and named so.
        if (lower == QLatin1String("tweps"))
            bytes = decipherLibraryPicture(bytes, lower);
        storedExtension = QStringLiteral("tiff");
        const std::optional<Image> eps = Image::initWithData(bytes);
        if (eps && eps->size().width > 0 && eps->size().height > 0) {
            const QSize pixels(int(std::ceil(eps->size().width)),
                               int(std::ceil(eps->size().height)));
            picture.image = PictureDrawing::renderEPS(eps->data(), pixels);
            picture.size = eps->size();
        }
        picture.data = tiffData(picture.image);
    } else {
        if (lower == QLatin1String("twpng") || lower == QLatin1String("twjpg")) {
            bytes = decipherLibraryPicture(bytes, lower);
            storedExtension = lower.mid(2);
        }
        picture.data = bytes;
        if (const std::optional<Image> image = Image::initWithData(bytes)) {
            picture.size = image->size();
            picture.image = image->toQImage();
            if (picture.image.isNull() && image->dataType() == "pdf")
                picture.image =
                    PictureDrawing::renderPDF(bytes, QSize(int(std::ceil(picture.size.width)),
                                                           int(std::ceil(picture.size.height))));
        }
    }
    picture.packageName = stem + QString::number(graphic.graphicNumber()) + storedExtension;
    return picture;
}

// --- graphic style ---

void KeynoteExportController::insertGraphicInstructions(
    TWGraphic &graphic, xmlNodePtr group, xmlNodePtr anonStyles, float zoom, float xOffset,
    float yOffset, int keynoteVersion, const std::optional<KeynotePicture> &picture)
{
    const bool isTextArea = dynamic_cast<TWTextArea *>(&graphic) != nullptr;
    const std::optional<QString> pictureName = graphic.imageFilename();
    if (!graphic.drawsStroke() && !graphic.drawsFill() && !pictureName && !isTextArea)
        return;
    const KeynoteNamespaces ns = namespacesOf(group);
    const qint64 g = graphic.graphicNumber();

    xmlNodePtr style = addElement(anonStyles, ns.sf, "graphic-style");
    const QString styleId = id("GraphicStyle", g);
    setAttribute(style, ns.sfa, "ID", styleId);
    setAttribute(style, ns.sf, "parent-ident",
                 isTextArea ? QStringLiteral("textboxStyleID") : QStringLiteral("shapeStyleID"));
    xmlNodePtr properties = addElement(style, ns.sf, "property-map");

    if (graphic.drawsShadow()) {
        const std::optional<Shadow> shadow = graphic.inheritedShadow();
        if (shadow && shadow->shadowColor()) {
            const Size offset = shadow->shadowOffset();
            xmlNodePtr element =
                addElement(addElement(properties, ns.sf, "shadow"), ns.sf, "shadow");
            setAttribute(element, ns.sfa, "ID", id("Shadow", g));
            setAttribute(
                element, ns.sf, "angle",
                CFormat::f(std::atan2(-double(offset.height), double(offset.width)) * 57.2957795));
            setAttribute(element, ns.sf, "offset",
                         CFormat::f(zoom * std::sqrt(offset.width * offset.width +
                                                     offset.height * offset.height)));
            setAttribute(element, ns.sf, "radius",
                         CFormat::f(float(shadow->shadowBlurRadius()) * zoom));
            setAttribute(element, ns.sf, "opacity",
                         CFormat::f(float(shadow->shadowColor()->alphaComponent())));
            addColor(ns, element, *shadow->shadowColor(), true);
        }
    }

    if (!isTextArea) {
        xmlNodePtr fill = addElement(properties, ns.sf, "fill");
        if (pictureName) {
            if (picture && !picture->image.isNull()) {
                xmlNodePtr textured = addElement(fill, ns.sf, "textured-fill");
                setAttribute(textured, ns.sfa, "ID", id("TexturedImageFill", g));
                setAttribute(textured, ns.sf, "technique", QStringLiteral("stretch"));
                setAttribute(textured, ns.xsi, "type", QStringLiteral("textured-fill"));
                xmlNodePtr imageElement = nullptr;
                if (keynoteVersion >= 3) {
                    xmlNodePtr filtered = addElement(textured, ns.sf, "filtered-image");
                    setAttribute(filtered, ns.sfa, "ID", id("FilteredImage", g));
                    imageElement = addElement(filtered, ns.sf, "unfiltered");
                } else {
                    imageElement = addElement(textured, ns.sf, "image");
                }
                setAttribute(imageElement, ns.sfa, "ID", id("ImageBinary", g));
                const QString w = CFormat::f(picture->size.width);
                const QString h = CFormat::f(picture->size.height);
                addSize(ns, imageElement, "size", w, h);
                xmlNodePtr data = addElement(imageElement, ns.sf, "data");
                setAttribute(data, ns.sfa, "ID", id("Data", g));
                setAttribute(data, ns.sf, "path", picture->packageName);
                setAttribute(data, ns.sf, "displayname", picture->displayName);
                setAttribute(data, ns.sf, "size", QString::number(picture->data.size()));
                setAttribute(data, ns.sfa, "version", QStringLiteral("1"));
                if (keynoteVersion >= 3) {
                    xmlNodePtr rect =
                        addElement(addElement(textured, ns.sf, "extent"), ns.sfa, "rect");
                    setAttribute(rect, ns.sfa, "x", QStringLiteral("0"));
                    setAttribute(rect, ns.sfa, "y", QStringLiteral("0"));
                    setAttribute(rect, ns.sfa, "w", w);
                    setAttribute(rect, ns.sfa, "h", h);
                }
            } else {
                qWarning().noquote() << QStringLiteral("Error loading image %1").arg(*pictureName);
                addElement(fill, ns.sf, "null");
            }
        } else if (graphic.drawsFill()) {
            addColor(ns, fill, graphic.inheritedFillColor());
        } else {
            addElement(fill, ns.sf, "null");
        }

        xmlNodePtr strokeHolder = addElement(properties, ns.sf, "stroke");
        if (graphic.drawsStroke()) {
            const float width = graphic.strokeWidth();
            xmlNodePtr stroke = addElement(strokeHolder, ns.sf, "stroke");
            setAttribute(stroke, ns.sfa, "ID", id("Stroke", g));
            setAttribute(stroke, ns.sf, "miter-limit", QStringLiteral("4"));
            setAttribute(stroke, ns.sf, "width", CFormat::f(width * zoom));
            setAttribute(stroke, ns.sf, "cap", QStringLiteral("butt"));
            setAttribute(stroke, ns.sf, "join", QStringLiteral("miter"));
            addColor(ns, stroke, graphic.inheritedStrokeColor());
            xmlNodePtr pattern = addElement(stroke, ns.sf, "pattern");
            setAttribute(pattern, ns.sfa, "ID", id("StrokePattern", g));

            // A copy: the graphic's own path is cached and drawn from.
            const std::shared_ptr<BezierPath> own = graphic.bezierPath();
            BezierPath path = own ? *own : BezierPath();
            if (graphic.className() != QLatin1String("TWTitleConnection"))
                TWLineStyles::applyLineStyle(graphic.strokeStyle(), path, width);
            const QList<float> dash = path.lineDashPattern();
            if (dash.isEmpty()) {
                setAttribute(pattern, ns.sf, "phase", QStringLiteral("0"));
                setAttribute(pattern, ns.sf, "type", QStringLiteral("solid"));
                addElement(pattern, ns.sf, "pattern");
            } else {
                setAttribute(pattern, ns.sf, "phase", CFormat::f(path.lineDashPhase()));
                setAttribute(pattern, ns.sf, "type", QStringLiteral("pattern"));
                xmlNodePtr elements = addElement(pattern, ns.sf, "pattern");
                // In line widths; a zero width would give infinite lengths.
                const float unit = width > 0 ? width : 1.0f;
                for (float length : dash)
                    setAttribute(addElement(elements, ns.sf, "element"), ns.sf, "val",
                                 CFormat::f(length / unit));
            }
        } else {
            addElement(strokeHolder, ns.sf, "null");
        }
    }

    insertPathInstructions(graphic, group, zoom, xOffset, yOffset, styleId);
}

void KeynoteExportController::insertPathInstructions(TWGraphic &graphic, xmlNodePtr group,
                                                     float zoom, float xOffset, float yOffset,
                                                     const QString &styleId)
{
    if (auto *line = dynamic_cast<TWLine *>(&graphic))
        insertLine(*line, group, zoom, xOffset, yOffset, styleId);
    else if (auto *textArea = dynamic_cast<TWTextArea *>(&graphic))
        insertTextBoxes(*textArea, group, zoom, xOffset, yOffset, styleId,
                        m_slideTextBoxStyles ? &*m_slideTextBoxStyles : nullptr);
    else
        insertOutlineShape(graphic, group, zoom, xOffset, yOffset, styleId);
}

// --- shapes ---

void KeynoteExportController::insertOutlineShape(TWGraphic &graphic, xmlNodePtr group, float zoom,
                                                 float xOffset, float yOffset,
                                                 const QString &styleId)
{
    const KeynoteNamespaces ns = namespacesOf(group);
    const qint64 g = graphic.graphicNumber();

    std::shared_ptr<BezierPath> source = graphic.bezierPath();
    // A picture inside a plain shape takes the shape's outline.
    if (TWMapBranch *branch = graphic.branch()) {
        const auto &main = branch->mainGraphic();
        if (main && branch->enclosedImage().get() == &graphic && isPlainShape(*main))
            source = main->bezierPath();
    }
    const BezierPath outline = source ? *source : rectanglePath(graphic.bounds());
    const BezierPath flat = outline.bezierPathByFlatteningPath(0.2f);
    const Rect flatBounds = flat.bounds();
    const float bx = flatBounds.x();
    const float by = flatBounds.y();

    xmlNodePtr shape = addElement(group, ns.sf, "shape");
    setAttribute(shape, ns.sfa, "ID", id("ShapeInfo", g));
    xmlNodePtr geometry = addElement(shape, ns.sf, "geometry");
    setAttribute(geometry, ns.sfa, "ID", id("AffineGeometry", g));

    auto place = [&](Point p) { return Point((p.x - bx) * zoom, (p.y - by) * zoom); };
    BezierPath scaled;
    for (const BezierPath::Element &e : flat.elements()) {
        switch (e.type) {
        case BezierPath::MoveToElement:
            scaled.moveToPoint(place(e.points[0]));
            break;
        case BezierPath::LineToElement: {
            Point p = place(e.points[0]);
            // Keynote drops segments that lie exactly on the top edge.
            if (p.y == 0)
                p.y = float(std::abs(Random::next() % 1000)) * 1e-7f;
            scaled.lineToPoint(p);
            break;
        }
        case BezierPath::CurveToElement:
            scaled.curveToPoint(place(e.points[2]), place(e.points[0]), place(e.points[1]));
            break;
        case BezierPath::ClosePathElement:
            scaled.closePath();
            break;
        }
    }

    const Rect scaledBounds = scaled.bounds();
    const float w = scaledBounds.width();
    const float h = scaledBounds.height() == 0 ? 1.0f : scaledBounds.height();
    addSize(ns, geometry, "naturalSize", precise(w), precise(h));
    addSize(ns, geometry, "size", precise(w), precise(h));
    addPosition(ns, geometry, precise(zoom * bx + xOffset), precise(zoom * by + yOffset));

    addStyleRef(ns, shape, styleId);
    QString text;
    for (const BezierPath::Element &e : scaled.elements()) {
        const auto &p = e.points;
        switch (e.type) {
        case BezierPath::MoveToElement:
            text += CFormat::format(" M %.15f %.15f", double(p[0].x), double(p[0].y));
            break;
        case BezierPath::LineToElement:
            text += CFormat::format(" L %.15f %.15f", double(p[0].x), double(p[0].y));
            break;
        case BezierPath::CurveToElement:
            text += CFormat::format(" C %.15f %.15f %.15f %.15f %.15f %.15f", double(p[0].x),
                                    double(p[0].y), double(p[1].x), double(p[1].y), double(p[2].x),
                                    double(p[2].y));
            break;
        case BezierPath::ClosePathElement:
            text += QStringLiteral(" Z");
            break;
        }
    }
    addBezier(ns, shape, id("BezierPathSource", g), id("BezierPath", g), text);
}

void KeynoteExportController::insertTextBoxes(TWTextArea &textArea, xmlNodePtr group, float zoom,
                                              float xOffset, float yOffset, const QString &styleId,
                                              const KeynoteTextBoxStyles *given)
{
    const KeynoteNamespaces ns = namespacesOf(group);
    const qint64 g = textArea.graphicNumber();
    const KeynoteTextBoxStyles styles = given ? *given : KeynoteTextBoxStyles::forSlideOf(group);

    if (textArea.shouldDrawFlexiText()) {
        if (textArea.cachedFlexiCharacters().empty())
            textArea.generateFlexiCharacters();
        // A copy: writing the text lays nothing out again, but stay safe.
        const TWTextArea::FlexiCharacterList characters = textArea.cachedFlexiCharacters();
        int i = 0;
        for (const auto &character : characters) {
            if (!character)
                continue;
            const Size size = character->size();
            const Point at = character->drawPoint();
            const float a = character->angle();
            const float sinA = std::fabs(std::sin(a));
            const float cosA = std::fabs(std::cos(a));
            xmlNodePtr shape = addAutosizingShape(ns, group, id("ShapeInfo", g, i));
            xmlNodePtr geometry = addElement(shape, ns.sf, "geometry");
            setAttribute(geometry, ns.sfa, "ID", id("AffineGeometry", g, i));
            setAttribute(geometry, ns.sf, "angle", CFormat::f(float(a * 57.2957795)));
            addSize(ns, geometry, "naturalSize", QStringLiteral("100"), QStringLiteral("100"));
            addSize(ns, geometry, "size", CFormat::f(size.width * zoom),
                    CFormat::f(size.height * zoom));
            // The top left of the box around the turned character, centred
            // on its draw point.
            addPosition(ns, geometry,
                        CFormat::f(xOffset + zoom * at.x -
                                   0.5f * zoom * (sinA * size.height + cosA * size.width)),
                        CFormat::f(yOffset + zoom * at.y -
                                   0.5f * zoom * (cosA * size.height + sinA * size.width)));
            addStyleRef(ns, shape, styleId);
            addBezier(ns, shape, id("BezierPathSource", g, i), id("BezierPath", g, i),
                      kTextBoxPath);
            addTextFrame(ns, shape, styles, id("Frame", g, i), id("Storage", g, i),
                         character->attributedString(), zoom);
            ++i;
        }
        return;
    }

    const Rect bounds = textArea.bounds();
    xmlNodePtr shape = addAutosizingShape(ns, group, id("ShapeInfo", g));
    xmlNodePtr geometry = addElement(shape, ns.sf, "geometry");
    setAttribute(geometry, ns.sfa, "ID", id("AffineGeometry", g));
    addSize(ns, geometry, "naturalSize", QStringLiteral("100"), QStringLiteral("100"));
    addSize(ns, geometry, "size", CFormat::f(zoom * bounds.width()),
            CFormat::f(zoom * bounds.height()));
    addPosition(ns, geometry, CFormat::f(zoom * bounds.x() + xOffset),
                CFormat::f(zoom * bounds.y() + yOffset));
    addStyleRef(ns, shape, styleId);
    addBezier(ns, shape, id("BezierPathSource", g), id("BezierPath", g), kTextBoxPath);
    addTextFrame(ns, shape, styles, id("Frame", g), id("Storage", g), textArea.text(), zoom);
}
