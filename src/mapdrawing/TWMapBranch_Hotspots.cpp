#include "mapdrawing/TWMapBranch_Hotspots.h"

#include "graphics/TWCircle.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWLine.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/CFormat.h"
#include "support/NSString+XHTML.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>

namespace TWBranchHotspots {

namespace {

// Hyperlink kinds, as stored.
constexpr int FileLink = 1;
constexpr int WebLink = 2;
constexpr int MapAtAddressLink = 3;
constexpr int MapFileLink = 4;
constexpr int MailLink = 5;

QString escaped(const QString &text)
{
    return XHTML::stringByEscapingXML(text);
}

// The folder of the document's file; nothing for a document never saved.
std::optional<QString> documentFolder(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    const TWMapsDoc *document = map ? map->document() : nullptr;
    if (!document || !document->filename() || document->filename()->isEmpty())
        return std::nullopt;
    return QFileInfo(*document->filename()).path();
}

// A link relative to the document ("./notes.txt") resolved against its
// folder; the link itself where there is no folder to resolve against.
QString relativeFileLinkText(const QString &url, const TWMapBranch &branch)
{
    QString path;
    if (const std::optional<QString> folder = documentFolder(branch))
        path = QDir::cleanPath(*folder + QLatin1Char('/') + url);
    return QStringLiteral("file://") + escaped(path.isEmpty() ? url : path);
}

QString webOrMailLinkText(const TWHyperlink &link)
{
    if (link.linkType() == MailLink)
        return escaped(link.fullMailURL());
    return escaped(link.linkURL().value_or(QString()));
}

// Toward zero, as a C cast would, but defined for every float.
int truncated(float v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::clamp(v, float(std::numeric_limits<int>::min()), 2147483520.0f));
}

QString pointText(const char *fmt, float x, float y)
{
    return CFormat::format(fmt, double(x), double(y));
}

} // namespace

BezierPath rectanglePath(const Rect &rect)
{
    BezierPath path;
    path.moveToPoint({rect.x(), rect.y()});
    path.lineToPoint({rect.x() + rect.width(), rect.y()});
    path.lineToPoint({rect.x() + rect.width(), rect.y() + rect.height()});
    path.lineToPoint({rect.x(), rect.y() + rect.height()});
    path.closePath();
    return path;
}

BezierPath outlineBezierPath(const TWMapBranch &branch)
{
    const std::shared_ptr<TWGraphic> &main = branch.mainGraphic();
    if (!main)
        return {};
    const std::shared_ptr<TWTextArea> &label = branch.enclosedTextArea();
    if (dynamic_cast<TWCircle *>(main.get())) {
        const std::shared_ptr<BezierPath> circle = main->bezierPath();
        BezierPath path = circle ? *circle : BezierPath();
        if (branch.textRelativePosition() != 2 && label)
            path.appendBezierPath(rectanglePath(label->bounds()));
        return path;
    }
    if (dynamic_cast<TWLine *>(main.get())) {
        const std::shared_ptr<BezierPath> line = main->bezierPath();
        Rect lineBounds = line ? line->bounds() : Rect();
        lineBounds.origin.y -= 5;
        lineBounds.size.height += 5;
        const Rect area = label ? TWUnionRect(label->bounds(), lineBounds) : lineBounds;
        return rectanglePath(area);
    }
    if (auto *flexi = dynamic_cast<TWFlexiBranch *>(main.get())) {
        const std::shared_ptr<BezierPath> band = flexi->cachedHitTestPath();
        return band ? *band : BezierPath();
    }
    const std::shared_ptr<BezierPath> shape = main->bezierPath();
    return shape ? *shape : BezierPath();
}

void appendDrawingSegments(const BezierPath &path, QString &string, float xOffset, float yOffset,
                           float zoomFactor)
{
    const auto parameter = [&](Point p) {
        const float x = (p.x - xOffset) * zoomFactor;
        const float y = (p.y - yOffset) * zoomFactor;
        return pointText("<parameter><x>%f</x><y>%f</y></parameter>\n", x, y);
    };
    for (const BezierPath::Element &element : path.elements()) {
        string += QLatin1String("<drawingSegment>\n");
        switch (element.type) {
        case BezierPath::MoveToElement:
            string += QLatin1String("<type>MoveTo</type>") + parameter(element.points[0]);
            break;
        case BezierPath::LineToElement:
            string += QLatin1String("<type>LineTo</type>") + parameter(element.points[0]);
            break;
        case BezierPath::CurveToElement:
            string += QLatin1String("<type>CurveTo</type>") + parameter(element.points[0]) +
                      parameter(element.points[1]) + parameter(element.points[2]);
            break;
        case BezierPath::ClosePathElement:
            string += QLatin1String("<type>ClosePath</type>\n");
            break;
        }
        string += QLatin1String("</drawingSegment>\n");
    }
}

QString presentationLinkText(const TWHyperlink &link, const TWMapBranch &branch)
{
    switch (link.linkType()) {
    case WebLink:
    case MapAtAddressLink:
    case MailLink:
        return webOrMailLinkText(link);
    case FileLink:
    case MapFileLink: {
        if (!link.linkURL())
            return {};
        const QString &url = *link.linkURL();
        if (url.isEmpty())
            return QStringLiteral("file://");
        if (url.startsWith(QLatin1Char('.')))
            return relativeFileLinkText(url, branch);
        return QStringLiteral("file://") + escaped(url);
    }
    default:
        return {};
    }
}

QString hotspotLinkText(const TWHyperlink &link, const TWMapBranch &branch)
{
    switch (link.linkType()) {
    case WebLink:
    case MapAtAddressLink:
    case MailLink:
        return webOrMailLinkText(link);
    case FileLink:
    case MapFileLink: {
        const QString url = link.linkURL().value_or(QString());
        if (url.isEmpty()) {
            // The document's folder; an unsaved document has none to name.
            const std::optional<QString> folder = documentFolder(branch);
            if (!folder)
                return QStringLiteral("file://");
            return QStringLiteral("file://") + escaped(QDir::cleanPath(*folder) + QLatin1Char('/'));
        }
        if (url.startsWith(QLatin1Char('.')))
            return relativeFileLinkText(url, branch);
        return QStringLiteral("file://") + escaped(url);
    }
    default:
        return {};
    }
}

void appendXMLPresentationInstructionsTo(const TWMapBranch &branch, QString &string, float xOffset,
                                         float yOffset, float zoomFactor)
{
    if (branch.hidden())
        return;
    const TWMap *map = branch.map();
    string += QLatin1String("<outline>\n");
    appendDrawingSegments(outlineBezierPath(branch), string, xOffset, yOffset, zoomFactor);
    string += QLatin1String("</outline>\n<fullBounds>\n");
    appendDrawingSegments(rectanglePath(TWBranchIndicators::branchBounds(branch)), string, xOffset,
                          yOffset, zoomFactor);
    string += QLatin1String("</fullBounds>\n");

    if (branch.countOfHyperlinks() > 0) {
        const std::shared_ptr<TWHyperlink> link = branch.objectInHyperlinksAtIndex(0);
        string += QLatin1String("<hotRegion>\n<linkTo>") +
                  (link ? presentationLinkText(*link, branch) : QString()) +
                  QLatin1String("</linkTo>\n<type>Hyperlink</type>\n");
        appendDrawingSegments(
            rectanglePath(TWBranchIndicators::boundsOfHyperlinkAtIndex(branch, 0)), string, xOffset,
            yOffset, zoomFactor);
        string += QLatin1String("</hotRegion>\n");
    }
    if (branch.countOfAttachedTextArray() > 0 && map && map->showTextIndicators()) {
        string += CFormat::format("<hotRegion>\n<linkTo>PresentationSupport/LongText%d.html</"
                                  "linkTo>\n<type>Popup</type>\n",
                                  branch.branchNumber());
        appendDrawingSegments(
            rectanglePath(TWBranchIndicators::boundsOfAttachedTextIndicatorAtIndex(branch, 0)),
            string, xOffset, yOffset, zoomFactor);
        string += QLatin1String("</hotRegion>\n");
    }
    if (!branch.screenWriterText().isEmpty() && map && map->showSWTextIndicators()) {
        string += CFormat::format("<hotRegion>\n<linkTo>PresentationSupport/"
                                  "ScreenwriterText%d.html</linkTo>\n<type>Popup</type>\n",
                                  branch.branchNumber());
        appendDrawingSegments(rectanglePath(branch.boundsOfScreenwriterTextIndicator()), string,
                              xOffset, yOffset, zoomFactor);
        string += QLatin1String("</hotRegion>\n");
    }
    for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
        if (!child || child->hidden())
            continue;
        string += QLatin1String("<child>\n");
        appendXMLPresentationInstructionsTo(*child, string, xOffset, yOffset, zoomFactor);
        string += QLatin1String("</child>\n");
    }
}

QString coordinateList(const BezierPath &path, float xOffset, float yOffset, float heightZoomFactor,
                       float widthZoomFactor)
{
    QString list;
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const BezierPath::Element &element = path.elementAtIndex(i);
        switch (element.type) {
        case BezierPath::MoveToElement:
        case BezierPath::LineToElement: {
            const float x = (element.points[0].x - xOffset) * widthZoomFactor;
            const float y = (element.points[0].y - yOffset) * heightZoomFactor;
            list += CFormat::format("%d,%d", truncated(x), truncated(y));
            if (i != count - 1)
                list += QLatin1Char(',');
            break;
        }
        case BezierPath::CurveToElement:
            qWarning("Error:flattened path can't have a curve in it!");
            break;
        case BezierPath::ClosePathElement:
            break;
        }
    }
    return list;
}

void appendImageMapHotspotsToString(const TWMapBranch &branch, QString &string, float xOffset,
                                    float yOffset, float heightZoomFactor, float widthZoomFactor,
                                    const QString &href, const QString &target, bool doChildren,
                                    bool includeHidden)
{
    if (!includeHidden && branch.hidden())
        return;
    for (int i = 0; i < branch.countOfHyperlinks(); ++i) {
        const std::shared_ptr<TWHyperlink> link = branch.objectInHyperlinksAtIndex(i);
        string +=
            QLatin1String("<area shape=\"poly\" href=\"") +
            (link ? hotspotLinkText(*link, branch) : QString()) +
            QLatin1String("\" target=\"_new\" coords=\"") +
            coordinateList(rectanglePath(TWBranchIndicators::boundsOfHyperlinkAtIndex(branch, i)),
                           xOffset, yOffset, heightZoomFactor, widthZoomFactor) +
            QLatin1String("\">\n");
    }

    QString branchHref = href;
    if (doChildren) {
        QString anchor;
        if (!branch.parent()) {
            anchor = QStringLiteral("DadoZizTitle");
        } else {
            anchor = branch.outlineNumber();
            anchor.replace(QLatin1Char('.'), QLatin1Char('-'));
        }
        branchHref = href.endsWith(QLatin1String(".html")) ? href + QLatin1Char('#') + anchor
                                                           : QLatin1Char('#') + anchor;
    }
    // Anchors are made from user-defined outline-number formats, and the
    // caller's href and target may hold anything: none may end the attribute.
    string += QLatin1String("<area shape=\"poly\" href=\"") + escaped(branchHref) +
              QLatin1String("\" target=\"") + escaped(target) + QLatin1String("\" coords=\"") +
              coordinateList(outlineBezierPath(branch).bezierPathByFlatteningPath(HotspotFlatness),
                             xOffset, yOffset, heightZoomFactor, widthZoomFactor) +
              QLatin1String("\">\n");

    if (doChildren) {
        for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
            if (child)
                appendImageMapHotspotsToString(*child, string, xOffset, yOffset, heightZoomFactor,
                                               widthZoomFactor, href, target, doChildren,
                                               includeHidden);
        }
    }
}

} // namespace TWBranchHotspots
