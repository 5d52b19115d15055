#include "graphics/TWLinkLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

#include "support/ContentsXMLReader.h"
#include "support/XMLStreamWriter.h"

#include <algorithm>

// The map's own children are expanded one at a time and kept in the live
// element; the branch tree is read into the model as the stream reaches it.
std::shared_ptr<TWMap> TWMap::createWithXMLReader(ContentsXMLReader &reader, TWMapsDoc *document)
{
    if (!reader.nameIs("TWMap")) {
        reader.skipElement();
        return nullptr;
    }
    std::shared_ptr<TWMap> map = create(document);
    XMLElement live = reader.shallowCopy();
    std::shared_ptr<TWMapBranch> root;
    QList<XMLElement> linkLines;
    LinkLineList lines;
    bool rootSeen = false;
    bool linkLinesSeen = false;
    if (reader.enterElement()) {
        while (reader.nextChildElement()) {
            if (reader.nameIs("root") || reader.nameIs("linkLines")) {
                // Only the first of each is read; a save writes them afresh.
                bool &seen = reader.nameIs("root") ? rootSeen : linkLinesSeen;
                const bool isRoot = &seen == &rootSeen;
                if (seen) {
                    reader.skipElement();
                    continue;
                }
                seen = true;
                if (!reader.enterElement())
                    continue;
                bool rootTried = false;
                while (reader.nextChildElement()) {
                    if (isRoot && !rootTried && reader.nameIs("TWMapBranch")) {
                        rootTried = true;
                        root = TWMapBranch::createWithXMLReader(reader, nullptr, map.get());
                    } else if (!isRoot && reader.nameIs("linkLine") && root) {
                        // Made as read, from the reader's own nodes: a copy
                        // of every line's element, all held until the last,
                        // took most of the memory of a document of many.
                        if (xmlNodePtr node = reader.expandInPlace())
                            if (auto line = std::dynamic_pointer_cast<TWLinkLine>(
                                    TWGraphic::graphicWithXMLNode(node, node->doc, root.get())))
                                lines.append(std::move(line));
                        reader.skipElement();
                    } else if (!isRoot && reader.nameIs("linkLine")) {
                        linkLines.append(reader.expandElement());
                    } else {
                        reader.skipElement();
                    }
                }
                continue;
            }
            live.addChild(reader.expandElement());
        }
    }
    if (reader.hasError())
        return nullptr;
    map->m_liveXMLElement = live;
    map->readFromElement(true);
    map->setOutlineNumbersNeedUpdating(true);
    map->m_graphicOrderCache.clear();
    map->m_selectedGraphics.clear();
    if (root)
        map->m_linkLines = std::move(lines);
    map->adoptLoadedTree(root, linkLines);
    return map;
}

void TWMap::rereadSettingsFromElement()
{
    readFromElement(true);
}

bool TWMap::writeXML(XMLStreamWriter &writer, QByteArray *drawnFrom)
{
    // The document brought the settings of the live element up to date
    // before writing; the tree and the link lines follow them, from the model.
    if (m_liveXMLElement.isNull())
        m_liveXMLElement = XMLElement::create("TWMap");
    // Settings are read by name, and updating them may move them: their
    // order tells nothing. Graphics are numbered afresh on every load.
    QList<QByteArray> settings;
    XMLStreamWriter::Digest tree(QList<QByteArray>{"graphicNumber", "childGraphicNumber",
                                                   "parentGraphicNumber", "connectedGraphicNumber",
                                                   "startGraphicNumber", "endGraphicNumber"},
                                 QList<QByteArray>{"originalGraphicNumber"});
    writer.writeStartElement(m_liveXMLElement);
    for (const XMLElement &child : m_liveXMLElement.elements()) {
        XMLStreamWriter::Digest setting;
        if (drawnFrom)
            writer.startDigest(&setting);
        writer.writeElement(child);
        writer.stopDigest();
        if (drawnFrom)
            settings.append(setting.toHex());
    }
    writer.writeStartElement(u"root");
    if (drawnFrom)
        writer.startDigest(&tree);
    if (m_root && !m_root->writeXML(writer)) {
        writer.stopDigest(); // the digest goes with this frame
        return false;
    }
    writer.stopDigest();
    writer.writeEndElement();
    writer.writeStartElement(u"linkLines");
    if (drawnFrom)
        writer.startDigest(&tree);
    XMLStreamOut out(writer);
    for (const std::shared_ptr<TWLinkLine> &line : std::as_const(m_linkLines)) {
        out.startElement("linkLine");
        line->writeXml(out);
        out.endElement();
    }
    writer.stopDigest();
    writer.writeEndElement();
    writer.writeEndElement();
    if (drawnFrom) {
        std::sort(settings.begin(), settings.end());
        *drawnFrom = settings.join(' ') + " / " + tree.toHex();
    }
    return !writer.failed();
}
