#pragma once

#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "support/XMLDocument.h"
#include "support/XMLStreamWriter.h"

#include <gtest/gtest.h>

namespace StreamedMapText {

// Where two texts part: the line number and both lines, or nothing.
inline std::string firstDifference(const QByteArray &a, const QByteArray &b)
{
    const QList<QByteArray> left = a.split('\n'), right = b.split('\n');
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const QByteArray l = left.value(i, "(end)"), r = right.value(i, "(end)");
        if (l != r)
            return "line " + std::to_string(i + 1) + ":\n  " + l.toStdString() + "\n  " +
                   r.toStdString();
    }
    return {};
}

// Each map's tree and link lines, written by the save's stream, against the
// tree form the map gives other documents, printed by libxml2.
inline void expectMapsStreamAsTheirTreesPrint(TWMapsDoc &document)
{
    for (const std::shared_ptr<TWMap> &map : document.maps()) {
        const XMLElement settings = map->liveXMLElement();
        ASSERT_FALSE(settings.isNull());
        QByteArray streamed;
        XMLStreamWriter writer([&streamed](const char *data, qint64 size) {
            streamed.append(data, qsizetype(size));
            return true;
        });
        writer.writeStartDocument();
        ASSERT_TRUE(map->writeXML(writer));
        ASSERT_TRUE(writer.writeEndDocument());
        const XMLDocument tree(map->freshXMLElementEmbeddingBinaryData(false));
        // The settings before the tree are the live element's, in the order
        // their updates left them: compared from the tree on.
        const QByteArray printed = tree.xmlData();
        const QByteArray from = "\n  <root>";
        ASSERT_GE(streamed.indexOf(from), 0);
        const QByteArray streamedTree = streamed.mid(streamed.indexOf(from));
        const QByteArray printedTree = printed.mid(printed.indexOf(from));
        EXPECT_TRUE(streamedTree == printedTree) << firstDifference(streamedTree, printedTree);
    }
}

} // namespace StreamedMapText
