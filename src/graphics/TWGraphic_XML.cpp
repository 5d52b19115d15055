#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWCheckBox.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWScribble.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWBranchReadDamage.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/CFormat.h"
#include "support/Base64.h"
#include "support/PropertyList.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <QDebug>
#include <QHash>
#include <QMutex>

namespace {

struct KindRegistry
{
    QMutex lock;
    QHash<QString, std::function<std::shared_ptr<TWGraphic>()>> kinds;
};

KindRegistry &registry()
{
    static KindRegistry *shared = [] {
        auto *r = new KindRegistry;
        // The kinds declared beside the base; each kind's own header may
        // register it again, which replaces the entry with the same maker.
        auto add = [r]<class T>(const char *name, T *) {
            r->kinds.insert(QString::fromLatin1(name), [] {
                return std::static_pointer_cast<TWGraphic>(std::make_shared<T>());
            });
        };
        add("TWGraphic", static_cast<TWGraphic *>(nullptr));
        add("TWTextArea", static_cast<TWTextArea *>(nullptr));
        add("TWLinkLine", static_cast<TWLinkLine *>(nullptr));
        add("TWBoundaryProxy", static_cast<TWBoundaryProxy *>(nullptr));
        add("TWChildConnection", static_cast<TWChildConnection *>(nullptr));
        add("TWTitleConnection", static_cast<TWTitleConnection *>(nullptr));
        add("TWLine", static_cast<TWLine *>(nullptr));
        add("TWRectangle", static_cast<TWRectangle *>(nullptr));
        add("TWCircle", static_cast<TWCircle *>(nullptr));
        add("TWCloud", static_cast<TWCloud *>(nullptr));
        add("TWCustomBranchShape", static_cast<TWCustomBranchShape *>(nullptr));
        add("TWCheckBox", static_cast<TWCheckBox *>(nullptr));
        add("TWScribble", static_cast<TWScribble *>(nullptr));
        return r;
    }();
    return *shared;
}

xmlNodePtr firstChildElement(xmlNodePtr node, const char *name)
{
    for (xmlNodePtr child = node ? node->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST name))
            return child;
    }
    return nullptr;
}

// Decoded Base64 text, or nothing (logged) when the text is not Base64.
std::optional<QByteArray> decodeBase64(const QString &text, const char *what)
{
    try {
        return TWBase64::dataWithTWBase64String(text);
    } catch (const Base64Error &error) {
        qWarning().noquote() << QStringLiteral("Graphic %1 is not valid Base64 (%2) - left out")
                                    .arg(QLatin1String(what), error.reason());
        return std::nullopt;
    }
}

// A picture's data cut short keeps every byte that came whole (the rest of
// a picture may be all there is of it) and is saved again as read. Text
// that is no Base64 at all gives nothing.
std::optional<QByteArray> embeddedPictureData(const QString &text, bool &cutShort)
{
    cutShort = false;
    try {
        return TWBase64::dataWithTWBase64String(text);
    } catch (const Base64Error &error) {
        cutShort = true;
        qWarning().noquote() << QStringLiteral("Graphic embeddedImageData is cut short (%1) - "
                                               "kept as far as it goes")
                                    .arg(error.reason());
        // The last group's whole bytes too; the open tells of a picture
        // that does not come to its end.
        return QByteArray::fromBase64(text.toLatin1());
    }
}

// A shadow whose blur or offset is not a usable number gets the reader's
// values for a missing one, as the other reals of the element do.
Shadow correctedShadow(Shadow shadow)
{
    const Size offset = shadow.shadowOffset();
    shadow.setShadowOffset(Size(TWGraphic::correctedReal(offset.width, 5),
                                TWGraphic::correctedReal(offset.height, -5)));
    shadow.setShadowBlurRadius(TWGraphic::correctedReal(shadow.shadowBlurRadius(), 5));
    return shadow;
}

} // namespace

bool TWGraphic::registerClass(const QString &className,
                              std::function<std::shared_ptr<TWGraphic>()> create)
{
    KindRegistry &r = registry();
    QMutexLocker locker(&r.lock);
    r.kinds.insert(className, std::move(create));
    return true;
}

bool TWGraphic::isClassRegistered(const QString &className)
{
    KindRegistry &r = registry();
    QMutexLocker locker(&r.lock);
    return r.kinds.contains(className);
}

std::shared_ptr<TWGraphic> TWGraphic::makeOfClass(const QString &className)
{
    std::function<std::shared_ptr<TWGraphic>()> create;
    {
        KindRegistry &r = registry();
        QMutexLocker locker(&r.lock);
        create = r.kinds.value(className);
    }
    return create ? create() : nullptr;
}

std::optional<QString> TWGraphic::sanitizedPicturePath(const QString &path)
{
    static const QString folder = QStringLiteral("Images");
    if (path.isEmpty() || path.startsWith(u'/') || path.contains(u'\\') || path.contains(u':') ||
        path.contains(QChar(0)))
        return std::nullopt;
    QStringList parts;
    for (const QString &part : path.split(u'/')) {
        if (part.isEmpty() || part == u".")
            continue;
        if (part == u"..")
            return std::nullopt;
        parts.append(part);
    }
    // A picture lies in a file below the folder, never the folder itself.
    if (parts.size() < 2 || parts.first() != folder)
        return std::nullopt;
    return parts.join(u'/');
}

// --- writing ---

xmlNodePtr TWGraphic::addXmlDataToNode(xmlNodePtr node, bool embeddingBinaryData)
{
    if (!node)
        return nullptr;
    XMLNodeOut out(node);
    writeXml(out, embeddingBinaryData);
    return out.lastElement();
}

void TWGraphic::writeXml(XMLOut &out, bool embeddingBinaryData)
{
    out.startElement("TWGraphic");
    out.textElement("class", className());
    out.startElement("bounds");
    const Rect r = bounds();
    out.realElement("x", r.x());
    out.realElement("y", r.y());
    out.realElement("width", r.width());
    out.realElement("height", r.height());
    out.endElement();
    out.boolElement("drawsStroke", drawsStroke());
    out.realElement("strokeWidth", strokeWidth());
    out.integerElement("strokeStyle", strokeStyle());
    if (const std::optional<Color> color = strokeColor()) {
        out.startElement("strokeColor");
        color->writeXml(out);
        out.endElement();
    }
    out.boolElement("drawsFill", drawsFill());
    if (const std::optional<Color> color = fillColor()) {
        out.startElement("fillColor");
        color->writeXml(out);
        out.endElement();
    }
    out.boolElement("inheritsShadow", inheritsShadow());
    out.boolElement("drawsShadow", drawsShadow());
    if (const std::optional<Shadow> s = shadow()) {
        out.startElement("shadow");
        s->writeXml(out);
        out.endElement();
    }
    out.boolElement("inheritsFill", inheritsFill());
    out.boolElement("inheritsStroke", inheritsStroke());
    out.integerElement("internalOrdering", internalOrdering());
    out.integerElement("graphicNumber", graphicNumber());
    out.integerElement("originalGraphicNumber", originalGraphicNumber());
    const std::optional<QString> picture = imageFilename();
    if (picture && !picture->isEmpty())
        out.textElement("imageFilename", *picture);
    out.boolElement("flippedHorizontally", flippedHorizontally());
    out.boolElement("flippedVertically", flippedVertically());
    out.integerElement("cornerMode", cornerMode());
    out.realElement("cornerAmount", cornerAmount());
    if (const std::optional<QString> style = styleID())
        out.textElement("styleID", *style);
    if (const std::optional<QString> movie = moviePath(); movie && !movie->isEmpty())
        out.textElement("moviePath", *movie);
    out.integerElement("movieReferenceStyle", movieReferenceStyle());
    if (const std::optional<QString> shape = shapeName(); shape && !shape->isEmpty())
        out.textElement("shapeName", *shape);
    if (embeddingBinaryData && picture && !picture->isEmpty()) {
        TWMap *m = map();
        if (m && m->document()) {
            if (const std::optional<QByteArray> data =
                    m->document()->objectForKeyInCachedData(*picture))
                out.textElement("embeddedImageData", TWBase64::twBase64String(*data));
        }
    }
    const QVariant payload = linkBackData();
    if (payload.isValid()) {
        QString error;
        if (const std::optional<QByteArray> plist =
                PropertyList::dataWithPropertyList(payload, &error))
            out.textElement("linkBackData", TWBase64::twBase64String(*plist));
        else
            qWarning().noquote() << QStringLiteral("LinkBack payload of graphic %1 not saved: %2")
                                        .arg(graphicNumber())
                                        .arg(error);
        out.textElement("linkBackItemKey", linkBackItemKey());
    }
    addKindXmlData(out, embeddingBinaryData);
    out.endElement();
}

// --- reading ---

std::shared_ptr<TWGraphic> TWGraphic::graphicWithXMLNode(xmlNodePtr node, xmlDocPtr doc,
                                                         TWMapBranch *branch)
{
    std::optional<QString> name;
    {
        const TWXMLUtils::XPathReader reader(node, doc);
        name = reader.text("TWGraphic/class");
    }
    std::function<std::shared_ptr<TWGraphic>()> create;
    if (name) {
        KindRegistry &r = registry();
        QMutexLocker locker(&r.lock);
        create = r.kinds.value(*name);
    }
    if (!create) {
        qWarning().noquote() << QStringLiteral(
                                    "Could not find class named %1 - aborting load of graphic!")
                                    .arg(name ? *name : QStringLiteral("(null)"));
        return nullptr;
    }
    std::shared_ptr<TWGraphic> graphic = create();
    if (!graphic->initWithXMLNode(node, doc, branch))
        return nullptr;
    return graphic;
}

bool TWGraphic::initWithXMLNode(xmlNodePtr node, xmlDocPtr doc, TWMapBranch *branch)
{
    init();
    setBranch(branch);

    xmlNodePtr element = firstChildElement(node, "TWGraphic");
    const TWXMLUtils::XPathReader reader(element, doc);

    setBounds(Rect(float(reader.floatValue("bounds/x").value_or(0)),
                   float(reader.floatValue("bounds/y").value_or(0)),
                   float(reader.floatValue("bounds/width").value_or(0)),
                   float(reader.floatValue("bounds/height").value_or(0))));

    setDrawsStroke(reader.boolValue("drawsStroke").value_or(true));
    setStrokeWidth(correctedReal(reader.floatValue("strokeWidth"), 1.0f));
    setStrokeStyle(reader.intValue("strokeStyle").value_or(1));
    if (xmlNodePtr color = reader.node("strokeColor"))
        setStrokeColor(Color::colorWithXMLNode(color, doc));
    setDrawsFill(reader.boolValue("drawsFill").value_or(true));
    if (xmlNodePtr color = reader.node("fillColor"))
        setFillColor(Color::colorWithXMLNode(color, doc));
    setInheritsShadow(reader.boolValue("inheritsShadow").value_or(true));
    setDrawsShadow(reader.boolValue("drawsShadow").value_or(true));
    if (xmlNodePtr s = reader.node("shadow"))
        setShadow(correctedShadow(Shadow::withXMLNode(s, doc)));
    setInheritsFill(reader.boolValue("inheritsFill").value_or(true));
    setInheritsStroke(reader.boolValue("inheritsStroke").value_or(true));
    if (const std::optional<int> ordering = reader.intValue("internalOrdering"))
        setInternalOrdering(*ordering);

    const std::optional<int> number = reader.intValue("graphicNumber");
    if (!number) {
        qWarning().noquote()
            << "Error: no graphic number stored for graphic - aborting graphic loading";
        setPrimitiveBranch(nullptr);
        return false;
    }
    setOriginalGraphicNumber(*number);

    if (const std::optional<QString> stored = reader.text("imageFilename")) {
        const std::optional<QString> path = sanitizedPicturePath(*stored);
        if (!path) {
            qWarning().noquote() << QStringLiteral("Picture path \"%1\" refused: pictures lie "
                                                   "in the package's Images folder")
                                        .arg(*stored);
        } else {
            setImageFilename(*path);
            TWMapsDoc *document = branch && branch->map() ? branch->map()->document() : nullptr;
            bool cutShort = false;
            std::optional<QByteArray> data;
            if (const std::optional<QString> text = reader.text("embeddedImageData"))
                data = embeddedPictureData(*text, cutShort);
            // Inline data cut short never replaces the whole picture the
            // graphic names in the package: that one is kept, and the cut
            // is told as a damaged picture is.
            if (cutShort && document && document->cachedData().value(*path).size() > 0) {
                qWarning().noquote() << QStringLiteral("Picture %1 kept whole over its inline "
                                                       "copy, which is cut short")
                                            .arg(*path);
                TWBranchReadDamage::noteDamagedPicture();
                data.reset();
            }
            if (data) {
                const qsizetype slash = path->lastIndexOf(u'/');
                const QString name = path->mid(slash + 1);
                const qsizetype dot = name.lastIndexOf(u'.');
                const QString extension = dot > 0 ? name.mid(dot + 1) : QString();
                const QString renamed =
                    path->left(slash + 1) +
                    QStringLiteral("PastedGraphic%1.%2").arg(graphicNumber()).arg(extension);
                setImageFilename(renamed);
                if (TWMap *m = branch ? branch->map() : nullptr; m && m->document())
                    m->document()->setObjectInCachedData(*data, renamed);
            }
        }
    }

    setFlippedHorizontally(reader.boolValue("flippedHorizontally").value_or(false));
    setFlippedVertically(reader.boolValue("flippedVertically").value_or(true));
    setCornerMode(reader.intValue("cornerMode").value_or(0));
    setCornerAmount(correctedReal(reader.floatValue("cornerAmount"), 10.0f));
    if (const std::optional<QString> movie = reader.text("moviePath"))
        setMoviePath(*movie);
    setMovieReferenceStyle(reader.intValue("movieReferenceStyle").value_or(0));
    if (const std::optional<QString> shape = reader.text("shapeName"))
        setShapeName(*shape);

    if (const std::optional<QString> text = reader.text("linkBackData")) {
        if (const std::optional<QByteArray> data = decodeBase64(*text, "linkBackData")) {
            QString error;
            if (const std::optional<QVariant> payload =
                    PropertyList::propertyListWithData(*data, &error))
                setLinkBackData(*payload);
            else
                qWarning().noquote() << "LinkBack payload not read:" << error;
        }
    }
    if (const std::optional<QString> key = reader.text("linkBackItemKey"))
        setLinkBackItemKey(*key);
    if (const std::optional<QString> style = reader.text("styleID"))
        setStyleID(*style);

    if (!readKindXmlData(reader, element, doc)) {
        setPrimitiveBranch(nullptr);
        return false;
    }
    return true;
}
