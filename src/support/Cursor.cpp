#include "support/Cursor.h"

#include "platform/CFormat.h"
#include "support/TWXMLUtils.h"

#include <QPixmap>
#include <QtDebug>
#include <algorithm>
#include <cmath>

Cursor::Cursor(const std::optional<Image> &image, Point hotSpot)
    : m_standard(NotStandard), m_image(image), m_hotSpot(hotSpot)
{}

const QStringList &Cursor::standardCursorNames()
{
    static const QStringList names = {
        QStringLiteral("arrowCursor"),        QStringLiteral("closedHandCursor"),
        QStringLiteral("crosshairCursor"),    QStringLiteral("disappearingItemCursor"),
        QStringLiteral("IBeamCursor"),        QStringLiteral("openHandCursor"),
        QStringLiteral("pointingHandCursor"), QStringLiteral("resizeDownCursor"),
        QStringLiteral("resizeLeftCursor"),   QStringLiteral("resizeLeftRightCursor"),
        QStringLiteral("resizeRightCursor"),  QStringLiteral("resizeUpCursor"),
        QStringLiteral("resizeUpDownCursor"),
    };
    return names;
}

Cursor::StandardCursor Cursor::standardCursorNamed(const QString &name)
{
    const qsizetype index = standardCursorNames().indexOf(name);
    return index < 0 ? NotStandard : StandardCursor(index);
}

QString Cursor::standardCursorName() const
{
    return isStandard() ? standardCursorNames().at(m_standard) : QString();
}

QCursor Cursor::toQCursor() const
{
    switch (m_standard) {
    case ArrowCursor:
        return QCursor(Qt::ArrowCursor);
    case ClosedHandCursor:
        return QCursor(Qt::ClosedHandCursor);
    case CrosshairCursor:
        return QCursor(Qt::CrossCursor);
    case DisappearingItemCursor:
        return QCursor(Qt::ForbiddenCursor); // the poof cursor has no Qt shape
    case StandardCursor::IBeamCursor:
        return QCursor(Qt::IBeamCursor);
    case OpenHandCursor:
        return QCursor(Qt::OpenHandCursor);
    case PointingHandCursor:
        return QCursor(Qt::PointingHandCursor);
    case ResizeDownCursor:
    case ResizeUpCursor:
    case ResizeUpDownCursor:
        return QCursor(Qt::SizeVerCursor);
    case ResizeLeftCursor:
    case ResizeRightCursor:
    case ResizeLeftRightCursor:
        return QCursor(Qt::SizeHorCursor);
    case NotStandard:
        break;
    }
    const QImage pixels = m_image ? m_image->toQImage() : QImage();
    if (pixels.isNull())
        return QCursor(Qt::ArrowCursor);
    // Qt wants the hot spot on the picture.
    const auto onPicture = [](float v, int extent) {
        return std::isfinite(v) ? std::clamp(int(std::lround(std::clamp(v, 0.0f, float(extent)))),
                                             0, std::max(0, extent - 1))
                                : 0;
    };
    return QCursor(QPixmap::fromImage(pixels), onPicture(m_hotSpot.x, pixels.width()),
                   onPicture(m_hotSpot.y, pixels.height()));
}

bool operator==(const Cursor &a, const Cursor &b)
{
    if (a.m_standard != b.m_standard)
        return false;
    if (a.isStandard())
        return true;
    return a.m_image == b.m_image && a.m_hotSpot == b.m_hotSpot &&
           a.m_setOnMouseEntered == b.m_setOnMouseEntered &&
           a.m_setOnMouseExited == b.m_setOnMouseExited;
}

void Cursor::addXmlDataToNode(xmlNodePtr parent) const
{
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "NSCursor");
    if (!node)
        return;
    if (isStandard()) {
        TWXMLUtils::addTextChild(node, "standardCursor", standardCursorName());
        return;
    }
    xmlNodePtr hotSpot = TWXMLUtils::addElementChild(node, "hotSpot");
    TWXMLUtils::addTextChild(hotSpot, "x", CFormat::f(m_hotSpot.x));
    TWXMLUtils::addTextChild(hotSpot, "y", CFormat::f(m_hotSpot.y));
    // The holder is always there; it stays empty when the picture is missing.
    xmlNodePtr image = TWXMLUtils::addElementChild(node, "image");
    if (m_image)
        m_image->addXmlDataToNode(image);
    TWXMLUtils::addTextChild(node, "isSetOnMouseEntered",
                             m_setOnMouseEntered ? QStringLiteral("YES") : QStringLiteral("NO"));
    TWXMLUtils::addTextChild(node, "isSetOnMouseExited",
                             m_setOnMouseExited ? QStringLiteral("YES") : QStringLiteral("NO"));
}

std::optional<Cursor> Cursor::cursorWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    TWXMLUtils::XPathReader reader(parent, doc);
    if (!reader.node("NSCursor"))
        return std::nullopt;
    const std::optional<QString> name = reader.text("NSCursor/standardCursor");
    if (name && !name->isEmpty()) {
        const StandardCursor standard = standardCursorNamed(*name);
        if (standard == NotStandard) {
            qWarning("Unknown standard cursor %s", qPrintable(*name));
            return std::nullopt;
        }
        return Cursor(standard);
    }

    const auto coordinate = [&](const char *path) {
        const float value = float(reader.floatValue(path).value_or(0.0));
        if (std::isfinite(value))
            return value;
        qWarning("Cursor %s is not a finite number; reading it as 0", path);
        return 0.0f;
    };
    const Point hotSpot(coordinate("NSCursor/hotSpot/x"), coordinate("NSCursor/hotSpot/y"));
    std::optional<Image> image;
    if (xmlNodePtr imageNode = reader.node("NSCursor/image"))
        image = Image::withXMLNode(imageNode, doc);
    Cursor cursor(image, hotSpot);
    cursor.setOnMouseEntered(reader.boolValue("NSCursor/isSetOnMouseEntered").value_or(false));
    cursor.setOnMouseExited(reader.boolValue("NSCursor/isSetOnMouseExited").value_or(false));
    return cursor;
}
