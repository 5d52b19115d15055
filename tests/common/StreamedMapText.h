#pragma once

#include "model/PackageArchive.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "support/XMLDocument.h"
#include "support/XMLStreamWriter.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>

namespace StreamedMapText {

// Where two texts part: the line number and both lines (text without line
// breaks: the offset and what follows it), or nothing.
inline std::string firstDifference(const QByteArray &a, const QByteArray &b)
{
    const QList<QByteArray> left = a.split('\n'), right = b.split('\n');
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const QByteArray l = left.value(i, "(end)"), r = right.value(i, "(end)");
        if (l == r)
            continue;
        qsizetype at = 0;
        while (at < l.size() && at < r.size() && l.at(at) == r.at(at))
            ++at;
        const qsizetype from = std::max<qsizetype>(0, at - 40);
        return "line " + std::to_string(i + 1) + ", byte " + std::to_string(at + 1) + ":\n  " +
               l.mid(from, 160).toStdString() + "\n  " + r.mid(from, 160).toStdString();
    }
    return {};
}

// An element as libxml2 prints it, indented or compact.
inline QByteArray printed(const XMLElement &element, bool indented)
{
    if (indented)
        return element.xmlString();
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, element.doc(), element.node(), 0, 0);
    QByteArray text(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                    xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return text;
}

// Each map's tree and link lines, written by the save's stream, against the
// tree form the map gives other documents, printed by libxml2: indented, and
// compact as the document's contents are written.
inline void expectMapsStreamAsTheirTreesPrint(TWMapsDoc &document)
{
    for (const std::shared_ptr<TWMap> &map : document.maps()) {
        const XMLElement settings = map->liveXMLElement();
        ASSERT_FALSE(settings.isNull());
        for (const bool indented : {true, false}) {
            SCOPED_TRACE(indented ? "indented" : "compact");
            QByteArray streamed;
            XMLStreamWriter writer([&streamed](const char *data, qint64 size) {
                streamed.append(data, qsizetype(size));
                return true;
            });
            writer.setIndented(indented);
            writer.writeStartDocument();
            ASSERT_TRUE(map->writeXML(writer));
            ASSERT_TRUE(writer.writeEndDocument());
            const XMLDocument tree(map->freshXMLElementEmbeddingBinaryData(false));
            // The settings before the tree are the live element's, in the order
            // their updates left them: compared from the tree on.
            const QByteArray printed = indented ? tree.xmlData() : tree.compactXmlData();
            const QByteArray from = indented ? "\n  <root>" : "<root>";
            ASSERT_GE(streamed.indexOf(from), 0);
            const QByteArray streamedTree = streamed.mid(streamed.indexOf(from));
            const QByteArray printedTree = printed.mid(printed.indexOf(from));
            EXPECT_TRUE(streamedTree == printedTree) << firstDifference(streamedTree, printedTree);
        }
    }
}

// Each damaged document of the tests, as the tree route reads it.
inline void
forEachDamagedDocument(const std::function<void(const std::shared_ptr<TWMapsDoc> &)> &use)
{
    const QDir folder(QStringLiteral(THINKWEB_TEST_DATA "/damaged"));
    const QStringList files = folder.entryList({QStringLiteral("*.xml")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        PackageData data;
        data.insert(TWMapsDoc::ContentsPath, file.readAll());
        const std::shared_ptr<TWMapsDoc> read = TWMapsDoc::createWithDictionary(data, false);
        ASSERT_NE(read, nullptr);
        use(read);
    }
}

} // namespace StreamedMapText
