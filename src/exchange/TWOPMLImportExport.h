#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class TWMap;
class TWMapBranch;

// Reads an OPML outline into a map: the head's title, dates and owner, one
// branch per `outline` element of the body, further attributes as note
// lines. The map changes through its ordinary undoable operations.
class TWOPMLImportExport
{
public:
    // The file as read, before anything is put into a map.
    struct Outline
    {
        int lineNumber = 0; // pre-order over every outline of the body, from 0
        QList<std::pair<QString, QString>> attributes; // in document order
        std::vector<std::unique_ptr<Outline>> children;
        // Attributes whose value the parser refused (too long once its
        // entities are expanded): present, but empty.
        QStringList unreadAttributes;
    };
    struct Document
    {
        std::optional<QString> title, dateCreated, dateModified, ownerName, ownerEmail,
            expansionState;
        std::vector<std::unique_ptr<Outline>> outlines;
        // Values the parser refused, the outlines they belong to among them.
        int unreadValues = 0;
        // Characters XML 1.0 forbids, read as they stand or left out.
        int forbiddenCharactersKept = 0, forbiddenCharactersLeftOut = 0;
    };

    // Nothing when the data is not well-formed XML (in UTF-8 or the
    // encoding it declares) or has no root element. Only `outline` children
    // of /opml/body and of outlines are taken; everything else is skipped.
    // `reason` says why there is nothing, in words a user can act on.
    static std::optional<Document> readDocument(const QByteArray &data, QString *reason = nullptr);

    // The 32 date forms of outline files, in the order tried.
    static const QList<QString> &dateFormats();
    // Line numbers of the expanded outlines: each comma-separated piece's
    // leading integer, 0 when it has none.
    static QList<int> expandedLineNumbers(const QString &expansionState);

    // False, with the map unchanged, when the file cannot be read or is not
    // XML, with the reason in `reason`. The map is auto-arranged after the
    // outlines are added.
    bool importFile(const QString &path, TWMap &map, QString *reason = nullptr);
    // As importFile for data read already; `fileName` names the central
    // branch of a file without title.
    bool importData(const QByteArray &data, const QString &fileName, TWMap &map,
                    QString *reason = nullptr);

    // What the last import left out, in a sentence naming the file; empty
    // when it left out nothing.
    const QString &leftOut() const { return m_leftOut; }

    // Fills the branch from the outline and adds its children.
    static void processOutlineElement(const Outline &outline, TWMapBranch &branch,
                                      const QSet<int> &expanded, int branchType);

private:
    // One reading of the text, as it stands.
    static std::optional<Document> readText(const QByteArray &data, QString *reason);

    // The import without the layout that ends it.
    bool addOutlines(const QByteArray &data, const QString &fileName, TWMap &map, QString *reason);

    QString m_leftOut;
};
