// A topic's attachments: icons as pictures in the shape, its hyperlink, its
// task with resources, and its comments as tracked changes.
#include "MindManagerImpExp/mmImpExpController_Private.h"

#include "MindManagerImpExp/mmAdornments.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWTextArea.h"
#include "model/TWBranchRefitHold.h"
#include "model/TWHyperlink.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "model/TWResource.h"
#include "model/TWTrackedChange.h"
#include "platform/UndoManager.h"
#include "support/TimeZone.h"

#include <QRegularExpression>
#include <QStringTokenizer>

namespace mmImport {

namespace {

// Its look is set before it joins the branch: a graphic of no branch has
// no undo steps to record.
std::shared_ptr<TWImage> iconGraphic(TWMapBranch &branch, const QString &imageFilename)
{
    auto graphic = TWGraphic::make<TWImage>(Rect(0, 0, 16, 16));
    graphic->setDrawsStroke(false);
    graphic->setStrokeWidth(0);
    graphic->setStrokeStyle(8);
    graphic->setStrokeColor(std::nullopt);
    graphic->setDrawsFill(false);
    graphic->setFillColor(std::nullopt);
    graphic->setInheritsShadow(true);
    graphic->setDrawsShadow(false);
    graphic->setInheritsFill(true);
    graphic->setInheritsStroke(true);
    graphic->setCornerMode(0);
    graphic->setCornerAmount(10.0f);
    graphic->setImageFilename(imageFilename);
    graphic->setBranch(&branch);
    return graphic;
}

QString decodeMailPart(QString part)
{
    for (const auto &[sequence, character] : mmTables::kMailEscapes)
        part.replace(QLatin1String(sequence), QString(QLatin1Char(character)));
    return part;
}

} // namespace

void convertIcons(const apTopic &topic, const TopicPictures &pictures, TWMapBranch &branch,
                  ImportContext &ctx)
{
    const MMObjectPtr group = topic.child("iconsGroup");
    const MMObjectPtr icons = group ? group->child("icons") : nullptr;
    if (!icons)
        return;
    int position = 0;
    int customCount = 0;
    for (const MMObjectPtr &icon : icons->children("icons")) {
        const int index = position++;
        if (const std::optional<QString> type = icon->string("iconType")) {
            auto found = ctx.stockIcons.constFind(*type);
            if (found == ctx.stockIcons.constEnd()) {
                // Unknown urns are skipped like a missing picture.
                const std::optional<QString> path = mmTables::stockIconPath(type);
                const std::optional<QByteArray> bytes =
                    path ? mmAdornments::pictureData(*path) : std::nullopt;
                found = ctx.stockIcons.insert(
                    *type, bytes ? std::optional(ImportContext::StockIcon{
                                       *bytes, QStringLiteral("Images/Adornments") + *path,
                                       QLatin1String(mmAdornments::Folder) + *path})
                                 : std::nullopt);
            }
            if (!*found)
                continue;
            const ImportContext::StockIcon &stock = **found;
            if (ctx.document)
                ctx.document->setObjectInCachedData(stock.picture, stock.packagePath);
            auto graphic = iconGraphic(branch, stock.packagePath);
            branch.insertObjectInOtherEnclosedGraphicsAtIndex(
                std::make_shared<TWEnclosedGraphic>(*type, stock.adornmentPath, graphic),
                branch.countOfOtherEnclosedGraphics());
            continue;
        }
        const std::optional<QString> signature = icon->string("iconSignature");
        if (!signature)
            continue;
        std::optional<Image> picture;
        for (const auto &[candidate, image] : pictures.customIcons) {
            if (candidate == *signature) {
                picture = image;
                break;
            }
        }
        if (!picture)
            continue;
        // A branch's later custom icons carry their position, so that
        // each keeps a picture of its own.
        const QString packagePath =
            customCount++ == 0
                ? QStringLiteral("Images/CustomAdornments/Branch%1/ExtractedImage.tiff")
                      .arg(branch.branchNumber())
                : QStringLiteral("Images/CustomAdornments/Branch%1/ExtractedImage%2.tiff")
                      .arg(branch.branchNumber())
                      .arg(index);
        if (ctx.document)
            ctx.document->setObjectInCachedData(picture->TIFFRepresentation(), packagePath);
        auto graphic = iconGraphic(branch, packagePath);
        branch.insertObjectInOtherEnclosedGraphicsAtIndex(
            std::make_shared<TWEnclosedGraphic>(QString(), QString(), graphic),
            branch.countOfOtherEnclosedGraphics());
    }
}

std::optional<QString> topicOfMapLink(const QString &url)
{
    static const QRegularExpression pointer(
        QStringLiteral(R"re(^#xpointer\(.*\[@OId=(?:'([^']*)'|"([^"]*)")\]\)\s*$)re"));
    const QRegularExpressionMatch found = pointer.match(url);
    if (!found.hasMatch())
        return std::nullopt;
    return found.hasCaptured(1) ? found.captured(1) : found.captured(2);
}

QString cleanedLinkPath(const QString &url)
{
    QString path = url.trimmed();
    if (path.size() >= 2 && path.startsWith(u'"') && path.endsWith(u'"'))
        path = path.mid(1, path.size() - 2).trimmed();
    path.replace(u'\\', u'/');
    return path;
}

void convertHyperlink(const apTopic &topic, TWMapBranch &branch, ImportContext &ctx)
{
    const MMObjectPtr link = topic.child("hyperlink");
    if (!link)
        return;
    std::optional<QString> url = link->string("url");
    // A topic of this map: a link to that branch, named once it is made.
    if (const std::optional<QString> oid = url ? topicOfMapLink(*url) : std::nullopt) {
        branch.publicAddHyperlinkWithLinkType(mmTables::MapFileLink, QString(), std::nullopt,
                                              std::nullopt, std::nullopt, std::nullopt,
                                              std::nullopt, 0);
        if (std::shared_ptr<TWHyperlink> added = branch.objectInHyperlinksAtIndex(0))
            ctx.topicLinks.emplace_back(std::move(added), *oid);
        return;
    }
    if (url && !url->startsWith(QLatin1String("mailto:")) && !mmTables::hasURLScheme(*url))
        url = cleanedLinkPath(*url);
    int type = mmTables::FileLink;
    std::optional<QString> target = url;
    std::optional<QString> arg1;
    std::optional<QString> arg2;
    if (url && url->startsWith(QLatin1String("mailto:"))) {
        type = mmTables::MailLink;
        const QStringList pieces = url->mid(7).split(u'?');
        target = pieces.first();
        if (pieces.size() > 1) {
            const QStringList parts = pieces.at(1).split(u'&');
            arg1 = decodeMailPart(parts.first());
            if (parts.size() > 1)
                arg2 = decodeMailPart(parts.at(1));
        }
    } else if (url) {
        // Whatever names a scheme is the web's to open ("https:", "ftp:",
        // "file:"); the rest are paths.
        const bool web = mmTables::hasURLScheme(*url);
        const bool map = url->endsWith(QLatin1String(".tweb"));
        type = web ? (map ? mmTables::WebMapLink : mmTables::WebLink)
                   : (map ? mmTables::MapFileLink : mmTables::FileLink);
    }
    branch.publicAddHyperlinkWithLinkType(type, target, arg1, arg2, std::nullopt, std::nullopt,
                                          std::nullopt, 0);
}

void resolveTopicLinks(ImportContext &ctx)
{
    for (const auto &[link, oid] : ctx.topicLinks) {
        const TWMapBranch *target = ctx.branchesByOid.value(oid);
        if (target && target->enclosedTextArea())
            link->setValueForKey(target->enclosedTextArea()->text().string(),
                                 QStringLiteral("linkArg"));
    }
    ctx.topicLinks.clear();
}

void convertTask(const apTopic &topic, TWMapBranch &branch, const ImportContext &ctx)
{
    const MMObjectPtr task = topic.child("task");
    if (!task)
        return;
    // Priority, completion and resources each bring an indicator: the
    // branch is refitted once, for all of them.
    const TWBranchRefitHold refits(branch);
    const std::optional<QString> priority = task->string("taskPriority");
    if (priority && !priority->isEmpty() && priority->back().isDigit())
        branch.setPriority(priority->back().digitValue());
    const std::optional<int> hours = task->intNumber("durationHours");
    const std::optional<QString> unit = task->string("durationUnit");
    if (hours && unit && !unit->isEmpty()) {
        const QStringView name = unit->startsWith(mmTables::urnPrefix())
                                     ? QStringView(*unit).mid(mmTables::urnPrefix().size())
                                     : QStringView();
        for (const mmTables::DurationUnit &row : mmTables::kDurationUnits) {
            if (!name.isNull() && name == QLatin1String(row.name)) {
                branch.setDuration(float(double(quint32(*hours)) / row.hours));
                branch.setDurationUnits(row.unit);
                break;
            }
        }
    }
    branch.setStartDate(calendarDate(task->date("startDate")));
    branch.setEndDate(calendarDate(task->date("deadlineDate")));
    if (const std::optional<int> percentage = task->intNumber("taskPercentage"))
        branch.setPercentageComplete(float(*percentage));
    const std::optional<QString> resources = task->string("resources");
    if (!resources || resources->isEmpty() || !ctx.document)
        return;
    for (const QStringView piece : QStringTokenizer(*resources, u',')) {
        for (const QStringView part : QStringTokenizer(piece, u';')) {
            const QString name = part.toString().simplified();
            if (name.isEmpty())
                continue;
            auto resource = std::make_shared<TWResource>(name, branch.undoManager());
            ctx.document->insertObjectInResourcesAtIndex(resource,
                                                         int(ctx.document->resources().size()));
            if (const std::optional<QString> id = resource->resourceIdentifier())
                branch.insertObjectInResourcesAllocatedAtIndex(
                    *id, int(branch.resourcesAllocated().size()));
        }
    }
}

void convertComments(const apTopic &topic, TWMapBranch &branch)
{
    const MMObjectPtr comments = topic.child("comments");
    if (!comments)
        return;
    int i = 0;
    for (const MMObjectPtr &comment : comments->children("comments")) {
        const TWPerson person(comment->string("authorName"), std::nullopt, std::nullopt,
                              std::nullopt, comment->string("authorEmail"));
        const AttributedString text(comment->string("text").value_or(QString()));
        branch.insertObjectInTrackedChangesAtIndex(
            std::make_shared<TWTrackedChange>(person, calendarDate(comment->date("dateTime")),
                                              text),
            i++);
    }
}

} // namespace mmImport
