// Graphics of the old property-list documents, read once and then kept in
// the package format.
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "support/Image.h"
#include "support/OldStyleValues.h"

#include <QDebug>
#include <variant>

using namespace OldStyleValues;

namespace {

// Stores the picture's data in the document under the graphic's folder and
// gives `shower` its path: each PDF and EPS representation in turn (the last
// one wins), else the TIFF of its bitmap.
void extractPicture(const Image &image, long number, TWGraphic &shower)
{
    TWMapBranch *branch = shower.branch();
    TWMap *map = branch ? branch->map() : nullptr;
    TWMapsDoc *document = map ? map->document() : nullptr;
    const QString folder = QStringLiteral("Images/Graphic%1/ExtractedImage.").arg(number);
    auto store = [&](const QByteArray &data, const char *extension) {
        const QString path = folder + QLatin1String(extension);
        if (document)
            document->setObjectInCachedData(data, path);
        shower.setImageFilename(path);
    };
    bool stored = false;
    for (const ImageRepresentation &rep : image.representations()) {
        if (const auto *pdf = std::get_if<PDFImageRep>(&rep)) {
            store(pdf->PDFRepresentation(), "pdf");
            stored = true;
        } else if (const auto *eps = std::get_if<EPSImageRep>(&rep)) {
            store(eps->EPSRepresentation(), "eps");
            stored = true;
        }
    }
    if (stored)
        return;
    const QByteArray tiff = image.TIFFRepresentation();
    if (tiff.isEmpty()) {
        qWarning("Picture of graphic %ld has no data that can be kept - left out", number);
        return;
    }
    store(tiff, "tiff");
}

} // namespace

std::shared_ptr<TWGraphic> TWGraphic::graphicWithOldStyleDictionary(const QVariantMap &dictionary,
                                                                    TWMapBranch *branch,
                                                                    bool isMainGraphic)
{
    QString name = string(dictionary.value(QStringLiteral("Class"))).value_or(QString());
    if (name == u"InterBranchLink")
        name = QStringLiteral("TWLinkLine");
    // The boundary proxy stands for a branch's settings and is never stored.
    if (name == u"TWBoundaryProxy")
        return nullptr;
    std::shared_ptr<TWGraphic> graphic = makeOfClass(name);
    if (!graphic)
        return nullptr;
    graphic->init();
    graphic->setBranch(branch);
    graphic->loadPropertyListRepresentation(dictionary, isMainGraphic);
    return graphic;
}

void TWGraphic::loadPropertyListRepresentation(const QVariantMap &dictionary, bool isMainGraphic)
{
    auto has = [&dictionary](const char *key) { return dictionary.contains(QLatin1String(key)); };
    auto value = [&dictionary](const char *key) { return dictionary.value(QLatin1String(key)); };

    // The old format stores no numbers: references are made afresh.
    m_originalGraphicNumber = m_graphicNumber;
    storeCachedBezierPath(nullptr);
    m_bounds = rect(value("Bounds"));

    if (has("FillColor"))
        setFillColor(unarchivedColor(value("FillColor")));
    if (has("StrokeColor"))
        setStrokeColor(unarchivedColor(value("StrokeColor")));
    if (has("DrawsFill"))
        m_flags.drawsFill = isYes(value("DrawsFill"));
    if (has("DrawsStroke"))
        m_flags.drawsStroke = isYes(value("DrawsStroke"));
    if (has("inheritsFill"))
        m_flags.inheritsFill = isYes(value("inheritsFill"));
    if (has("inheritsStroke"))
        m_flags.inheritsStroke = isYes(value("inheritsStroke"));
    if (has("flippedVertically"))
        m_flags.flippedVertically = isYes(value("flippedVertically"));
    if (has("flippedHorizontally"))
        m_flags.flippedHorizontally = isYes(value("flippedHorizontally"));
    if (has("StrokeLineWidth"))
        m_strokeWidth = correctedReal(floatValue(value("StrokeLineWidth")), 1.0f);
    if (has("internalOrdering"))
        m_internalOrdering = intValue(value("internalOrdering"));
    m_flags.drawsShadow = isYes(value("drawsShadow"));
    m_flags.inheritsShadow = true;

    if (has("image")) {
        if (const std::optional<Image> image = unarchivedImage(value("image"))) {
            TWMapBranch *owner = branch();
            if (isMainGraphic && owner) {
                // The picture goes inside the shape, as pictures of branches do now.
                std::shared_ptr<TWImage> picture = make<TWImage>();
                picture->setBranch(owner);
                picture->m_strokeWidth = 0;
                picture->m_strokeStyle = 1;
                picture->m_flags.drawsStroke = false;
                picture->m_flags.drawsFill = false;
                picture->m_flags.inheritsShadow = true;
                picture->m_flags.inheritsFill = true;
                picture->m_flags.inheritsStroke = true;
                picture->m_flags.drawsShadow = false;
                picture->m_internalOrdering = m_internalOrdering;
                picture->m_cornerMode = 0;
                picture->m_cornerAmount = 10;
                picture->m_drawnZoomAmount = -1;
                picture->m_flags.manipulatingBounds = true;
                owner->setEnclosedImage(picture);
                owner->setEnclosedImageLayoutMode(0);
                picture->m_bounds = imageBoundsAssertingMainGraphic(true);
                extractPicture(*image, m_graphicNumber, *picture);
            } else {
                extractPicture(*image, m_graphicNumber, *this);
            }
        }
    }

    m_cornerMode = !has("rectRoundedCorners") || isYes(value("rectRoundedCorners")) ? 1 : 0;
    m_cornerAmount =
        has("rectRadius") ? correctedReal(floatValue(value("rectRadius")), 15.0f) : 15.0f;
    setDrawingBoundsValid(false);
}

void TWFlexiBranch::loadPropertyListRepresentation(const QVariantMap &dictionary,
                                                   bool isMainGraphic)
{
    TWGraphic::loadPropertyListRepresentation(dictionary, isMainGraphic);
    static const char *const keys[8] = {"fbLeftPoint",     "fbRightPoint",   "fbIntermediate1",
                                        "fbIntermediate2", "fbInnerEndLeft", "fbInnerEndRight",
                                        "fbStraightLeft",  "fbStraightRight"};
    bool complete = true;
    for (int i = 0; i < 8; ++i) {
        const QString key = QLatin1String(keys[i]);
        if (!dictionary.contains(key)) {
            complete = false;
            continue;
        }
        setPoint(allPoints[i], point(dictionary.value(key)), false);
    }
    if (!complete)
        initializePoints();
    dropCurve();
    clearCachedHitTestPath();
}

void TWTextArea::loadPropertyListRepresentation(const QVariantMap &dictionary, bool isMainGraphic)
{
    TWGraphic::loadPropertyListRepresentation(dictionary, isMainGraphic);
    const QString key = QStringLiteral("Text");
    if (dictionary.contains(key)) {
        if (std::optional<AttributedString> text =
                unarchivedAttributedString(dictionary.value(key)))
            setText(*text);
    }
    setIsEditing(false);
}

void TWLinkLine::loadPropertyListRepresentation(const QVariantMap &dictionary, bool isMainGraphic)
{
    TWGraphic::loadPropertyListRepresentation(dictionary, isMainGraphic);
    auto has = [&dictionary](const char *key) { return dictionary.contains(QLatin1String(key)); };
    auto value = [&dictionary](const char *key) { return dictionary.value(QLatin1String(key)); };
    auto real = [&](const char *key, float fallback) {
        return has(key) ? correctedReal(floatValue(value(key)), fallback) : fallback;
    };

    if (has("hasStartArrow"))
        m_startArrowStyle = isYes(value("hasStartArrow")) ? ArrowHead : NoArrow;
    if (has("hasEndArrow"))
        m_endArrowStyle = isYes(value("hasEndArrow")) ? ArrowHead : NoArrow;
    if (has("startArrowLength"))
        m_startArrowLength = float(intValue(value("startArrowLength")));
    if (has("startArrowWidth"))
        m_startArrowWidth = float(intValue(value("startArrowWidth")));
    if (has("endArrowLength"))
        m_endArrowLength = float(intValue(value("endArrowLength")));
    if (has("endArrowWidth"))
        m_endArrowWidth = float(intValue(value("endArrowWidth")));
    if (has("colorMode"))
        m_colorMode = intValue(value("colorMode"));
    if (has("lineColor"))
        setStrokeColor(unarchivedColor(value("lineColor")));
    if (has("linkLineWidth"))
        setStrokeWidth(real("linkLineWidth", 1.0f));
    m_intermediatePoint1 = Point(real("intermediatePoint1x", m_intermediatePoint1.x),
                                 real("intermediatePoint1y", m_intermediatePoint1.y));
    m_intermediatePoint2 = Point(real("intermediatePoint2x", m_intermediatePoint2.x),
                                 real("intermediatePoint2y", m_intermediatePoint2.y));

    // Until the map resolves them, the ends are branch numbers.
    if (TWMapBranch *owner = branch())
        setStartGraphicNumber(owner->branchNumber());
    if (has("endNodeHash"))
        setEndGraphicNumber(TWMapBranch::oldStyleBranchNumber(value("endNodeHash")));

    m_startFilled = true;
    m_endFilled = true;
    m_label.reset();
    m_labelDirection = 0;
    m_labelAngle = 0;
    m_labelOffset = Point();
}

std::shared_ptr<TWEnclosedGraphic>
TWEnclosedGraphic::loadFromOldStyleDictionary(const QVariantMap &dictionary, TWMapBranch *branch)
{
    std::shared_ptr<TWGraphic> graphic;
    const QVariantMap stored =
        OldStyleValues::dictionary(dictionary.value(QStringLiteral("graphic")));
    if (!stored.isEmpty())
        graphic = TWGraphic::graphicWithOldStyleDictionary(stored, branch, false);
    return std::make_shared<TWEnclosedGraphic>(
        string(dictionary.value(QStringLiteral("name"))).value_or(QString()),
        string(dictionary.value(QStringLiteral("path"))).value_or(QString()), graphic);
}
