#pragma once

#include "MindManagerImpExp/MMImportPictures.h"
#include "MindManagerImpExp/mmConverter.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include <libxml/parser.h>

class TWGraphic;
class TWMap;
class TWMapBranch;

// Where a MindManager map is read from: `parse` streams the map's XML
// afresh through the given parser context, whose handlers see it (`ahead`:
// an archive may inflate on a thread of its own, ahead of the parser); it
// answers false when the XML could not be opened or its stream broke off.
// Pictures the map keeps as archive members come from `members`.
struct MMMapSource
{
    QString path; // named in messages
    std::function<bool(xmlParserCtxtPtr context, QString *error, bool ahead)> parse;
    mmConverter::MemberReader members;
    // What the import may spend on pictures before it is refused.
    MMImportPictures::Budget pictureBudget;
    // Why the last opened stream stopped early (an archive past its limit).
    std::shared_ptr<QString> streamError = std::make_shared<QString>();
    // The stream is read on a thread of its own while the import's thread
    // makes the records, and an archive inflates on a third; off, one
    // thread does all.
    bool readsOnAWorkerThread = true;
    // A plain new branch is sized once, when its label and settings are
    // converted; off, it is also sized as it is made. The map is the same
    // either way.
    bool sizesBranchesOnce = true;
    // The map's XML whole, for a second reading of a document refused only
    // for characters XML 1.0 forbids; nothing, with the reason, when it
    // cannot be had.
    std::function<std::optional<QByteArray>(QString *error)> bytes;
    // Set for that second reading: stand-ins are turned back as they are
    // read.
    bool restoresCharacters = false;
};

// What a map holds that has no place in a map here, counted as it is read.
struct MMLeftOut
{
    int attachments = 0;
    int tags = 0;
    int backgroundObjects = 0;
    // Relationships with an end among what was left out.
    int relationshipsToLeftOut = 0;
    int notePictures = 0;
    // Imported, but as ordinary branches of the topic they float beside.
    int floatingTopics = 0;
    // References to entities declared only in a document type, which is
    // never read.
    int undeclaredEntities = 0;
    // Characters XML 1.0 forbids that the file held: read as they stand, or
    // left out where nothing can hold them. The file is named with them.
    int forbiddenCharactersKept = 0;
    int forbiddenCharactersLeftOut = 0;
    QString fileName;

    bool isEmpty() const
    {
        return !attachments && !tags && !backgroundObjects && !relationshipsToLeftOut &&
               !notePictures && !floatingTopics && !undeclaredEntities &&
               !forbiddenCharactersKept && !forbiddenCharactersLeftOut;
    }
    // A sentence for the user on each of: what was not imported, counting
    // each kind; floating topics; entity references; forbidden characters.
    // Empty when there is nothing to say.
    QString message() const;
    bool operator==(const MMLeftOut &) const = default;
};

// Imports a MindManager map into the blank map of a new document. The XML
// is streamed once, never held whole: the style group, relationships and
// document group are kept as element objects, each topic as a compact
// record of its own elements (notes already converted). The style group
// follows the topics in the file, so the branches are built once the file
// has read to its end, parents before children, each record let go as its
// branch is made. The stream is parsed on a thread of its own while the
// import's thread makes the records.
class mmImpExpController
{
public:
    // The source for a "mmap" archive (its Document.xml) or a plain XML
    // file; nothing, with the reason, when the archive cannot be used.
    static std::optional<MMMapSource> sourceForFile(const QString &path, QString *error = nullptr);
    // A map held in memory.
    static MMMapSource sourceForData(const QByteArray &xml, const QString &name = QString());

    // Fills the map; refusals are shown as alerts and end the import early.
    // False when the file was refused.
    // `leftOut`, where given, is told what the map holds that was not
    // imported.
    static bool populateDadoZiz(TWMap &map, const QString &path, MMLeftOut *leftOut = nullptr);
    static bool populateDadoZiz(TWMap &map, const MMMapSource &source,
                                MMLeftOut *leftOut = nullptr);

    // Depth-first: the main graphic of the first branch with the identifier.
    static TWGraphic *mainGraphicForBranchWithOID(const QString &oid, TWMapBranch *branch);
};
