#pragma once

// The pieces of the MindManager import shared by its files: the import's
// state, the topic conversion and the conversion of a topic's attachments.

#include "MindManagerImpExp/apContentElements.h"
#include "MindManagerImpExp/MMImportPictures.h"
#include "MindManagerImpExp/levelDefaults.h"
#include "MindManagerImpExp/mmConverter.h"
#include "MindManagerImpExp/mmTables.h"
#include "support/CalendarDate.h"
#include "support/Image.h"
#include "support/TimeZone.h"

class TWHyperlink;

#include <QDateTime>
#include <QHash>
#include <memory>
#include <optional>
#include <vector>

class TWMap;
class TWMapBranch;
class TWMapsDoc;

namespace mmImport {

using mmTables::pointsFromMillimetres;

// What a topic without its own shape or colours takes from its level's
// defaults, worked out once per kind and level of topic.
struct LevelStyle
{
    int shapeType = 0;
    int cornerMode = 0;
    std::optional<Color> fill;
    std::optional<Color> line;
};

struct ImportContext
{
    TWMap &map;
    TWMapsDoc *document = nullptr;
    const levelDefaults *defaults = nullptr;
    MMObjectPtr boundaryDefaults;
    // The import's pictures, each archive member made once.
    MMImportPictures *pictures = nullptr;
    QHash<QString, TWMapBranch *> branchesByOid;
    // By kind << 32 | level; the defaults do not change while topics are
    // converted.
    QHash<quint64, LevelStyle> levelStyles;
    // The last one asked for: siblings ask for the same one in turn.
    quint64 lastStyleKey = 0;
    const LevelStyle *lastStyle = nullptr;
    bool sizesBranchesOnce = true;
    // A stock icon's picture and paths by its icon type; none for a type
    // without a picture.
    struct StockIcon
    {
        QByteArray picture;
        QString packagePath;
        QString adornmentPath;
    };
    QHash<QString, std::optional<StockIcon>> stockIcons;
    // Links to topics of the map, by the target's identifier: they name
    // their branch once every branch is made.
    std::vector<std::pair<std::shared_ptr<TWHyperlink>, QString>> topicLinks;
};

inline std::optional<QString> childString(const MMObjectPtr &object, const char *child,
                                          const char *field)
{
    if (!object)
        return std::nullopt;
    const MMObjectPtr c = object->child(child);
    return c ? c->string(field) : std::nullopt;
}

inline std::optional<CalendarDate> calendarDate(const std::optional<QDateTime> &date)
{
    if (!date)
        return std::nullopt;
    return CalendarDate(*date, TimeZone::systemTimeZone());
}

// A topic's pictures, decoded while it is read so that its record keeps
// no Base64 text: its own picture and its custom icons by signature, in
// file order.
struct TopicPictures
{
    std::optional<Image> picture;
    QList<std::pair<QString, std::optional<Image>>> customIcons;
};

// A topic's label, converted before its branch is made for the kind and
// level of branch it was meant for.
struct PreparedLabel
{
    int type = -1;
    int level = -1;
    std::optional<AttributedString> text;
};

// The notes of an ap:NotesGroup, converted while its tree is in memory.
std::optional<AttributedString> notesOf(const MMObjectPtr &group);
// The label of a topic: its own text, else its level's.
std::optional<AttributedString> labelOf(const apTopic &topic, int type, int level,
                                        const levelDefaults *ld);
// Every step that needs the topic's own elements, once they are all read.
// A label prepared for another kind or level of branch is converted again.
// `unsized`: the branch was made without sizing (TWNewBranchSizingDeferred).
void convertTopic(const apTopic &topic, const std::optional<QString> &oid,
                  const std::optional<AttributedString> &notes, const TopicPictures &pictures,
                  const PreparedLabel &label, TWMapBranch &branch, int type, int level,
                  ImportContext &ctx, bool unsized = false);

// A topic's attachments.
void convertIcons(const apTopic &topic, const TopicPictures &pictures, TWMapBranch &branch,
                  ImportContext &ctx);
void convertHyperlink(const apTopic &topic, TWMapBranch &branch, ImportContext &ctx);
// The links to topics of the map point at their branches.
void resolveTopicLinks(ImportContext &ctx);
// The topic a link within the map points at ("#xpointer(...[@OId='...'])").
std::optional<QString> topicOfMapLink(const QString &url);
// A path as another system writes it, as a file system here opens it:
// without quotes around it, with slashes between its parts.
QString cleanedLinkPath(const QString &url);
void convertTask(const apTopic &topic, TWMapBranch &branch, const ImportContext &ctx);
void convertComments(const apTopic &topic, TWMapBranch &branch);

} // namespace mmImport
