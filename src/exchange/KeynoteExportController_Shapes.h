#pragma once

// Helpers the map slide's writers (graphics, lines, overlays) share.

#include "exchange/KeynoteExportController.h"
#include "exchange/TWKeynoteXML.h"
#include "platform/CFormat.h"
#include "support/Color.h"

#include <QByteArray>
#include <QImage>

namespace KeynoteShapes {

// The namespaces of the node's document; xsi is declared on the root when
// the template lacks it, so typed colours and fills stay readable.
KeynoteNamespaces namespacesOf(xmlNodePtr node);

// sf:color with its colour space as schema type; colours outside RGB are
// written in device RGB.
xmlNodePtr addColor(const KeynoteNamespaces &ns, xmlNodePtr parent, const Color &color,
                    bool opaque = false);

// The picture's TIFF bytes; empty for a null image.
QByteArray tiffData(const QImage &image);
// The picture's size in points.
Size pointSize(const QImage &image);

// Graphic numbers as ids carry them, in full.
inline QString number(qint64 n)
{
    return QString::number(n);
}

// The ID of the element of the type that findNodeFromNode finds below
// `from` with the parent-ident given; "" and a log line when missing.
inline QString lookupId(xmlNodePtr from, const char *type, const QString &parentIdent)
{
    return KeynoteExportController::findValueOfPropertyNamed(
        QStringLiteral("ID"), QStringLiteral("sfa"), from, QLatin1String(type),
        QStringLiteral("parent-ident"), QStringLiteral("sf"), parentIdent);
}

// The ID of the slide's stylesheet.
inline QString stylesheetId(xmlNodePtr slide)
{
    return KeynoteExportController::findValueOfPropertyNamed(
        QStringLiteral("ID"), QStringLiteral("sfa"), slide, QStringLiteral("key:stylesheet"),
        QString(), QStringLiteral("sf"), QString());
}

// The slide the node belongs to; the document's root when it is on none.
xmlNodePtr enclosingSlide(xmlNodePtr node);

} // namespace KeynoteShapes
