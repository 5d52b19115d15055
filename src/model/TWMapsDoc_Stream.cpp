#include "model/PackageReader.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc_Private.h"
#include "support/ContentsXMLReader.h"
#include "support/XMLArena.h"
#include "support/XMLStreamWriter.h"

#include <algorithm>

bool TWMapsDoc::writeContentsXML(XMLStreamWriter &writer, QList<QByteArray> *drawnFrom)
{
    // The maps are written from the model, map by map, where the live
    // element has its `maps` child.
    updateLiveXMLElement();
    // A document type read with the file is not written, so what its
    // entities stand for is written in their place.
    if (xmlDocPtr doc = m_liveXMLElement.doc(); doc && xmlGetIntSubset(doc))
        XMLDetail::expandEntityReferences(m_liveXMLElement.node());
    const XMLElement maps = m_liveXMLElement.elementForName(u"maps");
    // A map's picture follows from its own text and the document's settings
    // around the maps, in any order, but not from the stamp every save changes.
    QList<QByteArray> settings;
    QList<QByteArray> mapTexts;
    // Every reader of the file drops blanks between elements: indentation
    // would be half its bytes, all of them to compress, digest and parse.
    writer.setIndented(false);
    writer.writeStartDocument();
    writer.writeStartElement(m_liveXMLElement);
    for (const XMLElement &child : m_liveXMLElement.elements()) {
        if (child != maps) {
            const bool stamp = child.name() == u"revisionNumber" || child.name() == u"lastSaveDate";
            XMLStreamWriter::Digest setting;
            if (drawnFrom && !stamp)
                writer.startDigest(&setting);
            writer.writeElement(child);
            writer.stopDigest();
            if (drawnFrom && !stamp)
                settings.append(setting.toHex());
            continue;
        }
        writer.writeStartElement(u"maps");
        for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps)) {
            writer.writeStartElement(u"map");
            if (!map->writeXML(writer, drawnFrom ? &mapTexts.emplace_back() : nullptr))
                return false;
            writer.writeEndElement();
        }
        writer.writeEndElement();
        if (writer.failed())
            return false;
    }
    writer.writeEndElement();
    if (drawnFrom) {
        drawnFrom->clear();
        std::sort(settings.begin(), settings.end());
        const QByteArray around = settings.join(' ');
        if (mapTexts.size() == m_maps.size())
            for (const QByteArray &text : std::as_const(mapTexts))
                drawnFrom->append(around + " / " + text);
    }
    return !writer.failed();
}

bool TWMapsDoc::loadFromContentsXMLReader(ContentsXMLReader &reader, qint64 branchCount)
{
    // The root without children becomes the live element and the other
    // children join it as read: the map reader may consult those read so far.
    m_liveXMLElement = reader.shallowCopy();
    if (m_liveXMLElement.isNull())
        return false;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(StartLoadingCountNotification, nullptr, {{CountKey, branchCount}});

    clearMapsForLoading();
    bool mapsRead = false;
    bool settingsAfterMaps = false;
    if (reader.enterElement()) {
        while (reader.nextChildElement()) {
            if (!reader.nameIs("maps")) {
                m_liveXMLElement.addChild(reader.expandElement());
                settingsAfterMaps = settingsAfterMaps || mapsRead;
                continue;
            }
            // Only the first `maps` is read; a save replaces every one.
            if (mapsRead)
                continue;
            mapsRead = true;
            m_liveXMLElement.addChild(reader.shallowCopy());
            if (!reader.enterElement())
                continue;
            while (reader.nextChildElement()) {
                if (!reader.nameIs("map") || !reader.enterElement())
                    continue;
                bool mapSeen = false;
                while (reader.nextChildElement()) {
                    if (mapSeen || !reader.nameIs("TWMap"))
                        continue;
                    mapSeen = true;
                    if (std::shared_ptr<TWMap> map = TWMap::createWithXMLReader(reader, this))
                        m_maps.append(map);
                }
            }
        }
    }
    if (!reader.readToEnd()) {
        clearMapsForLoading();
        return false;
    }
    // The maps were read before the children that follow them: what they
    // take from the root is only complete now.
    if (settingsAfterMaps)
        for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
            map->rereadSettingsFromElement();
    readRootValues(m_liveXMLElement);
    center.post(FinishLoadingNotification);
    return true;
}

std::shared_ptr<TWMapsDoc>
TWMapsDoc::createWithStreamedContents(const PackageEntries &packageData,
                                      const StreamedPackageEntry &contents, bool)
{
    std::shared_ptr<TWMapsDoc> document = create();
    // A version is a few bytes; a large entry of that name is no version.
    const QString versionPath = QString::fromLatin1(TWFileIO::fileVersionPath);
    if (const auto version = packageData.constFind(versionPath);
        version != packageData.cend() && version->size() <= 64)
        TWFileIO::checkFileVersion({{versionPath, version->bytes().value_or(QByteArray())}});
    if (contents.present && !contents.validUtf8) {
        TWFileIO::noteReadFailure(
            contents.utf16
                ? QStringLiteral("its contents are written in UTF-16, not in UTF-8")
                : QStringLiteral("its contents are not UTF-8 text from byte %1 on")
                      .arg(contents.firstInvalidByte));
        qWarning("This is not a valid Thinkweb file - its contents are not UTF-8");
        return nullptr;
    }
    std::unique_ptr<PackageEntryStream> stream =
        contents.present && contents.open ? contents.open() : nullptr;
    if (!stream) {
        qWarning("This is not a valid Thinkweb file - no contents found");
        return nullptr;
    }

    // Inflating and guarding the text, and parsing it, run on threads of
    // their own beside the building of the model: the elements walked into
    // come as their starts and ends, the rest whole.
    enum Kind { Document, Maps, Map, MapElement, Root, LinkLines, Branch, Children };
    ContentsXMLReader reader([&stream](char *data, qint64 max) { return stream->read(data, max); },
                             {{Document, "maps", Maps},
                              {Maps, "map", Map},
                              {Map, "TWMap", MapElement},
                              {MapElement, "root", Root},
                              {MapElement, "linkLines", LinkLines},
                              {Root, "TWMapBranch", Branch},
                              {Branch, "children", Children},
                              {Children, "TWMapBranch", Branch}});
    // Blanks between tags were taken out of the text the reader parsed: a
    // failure is told as the text in the file reads, lines as numbered there.
    const auto failure = [&reader, &contents] {
        if (reader.droppedBlankBytes() > 0)
            if (std::unique_ptr<PackageEntryStream> again = contents.open()) {
                const QString error = ContentsXMLReader::errorReadingAll(
                    [&again](char *data, qint64 max) { return again->read(data, max); });
                if (!error.isEmpty())
                    return error;
            }
        return reader.errorString();
    };
    QString error;
    if (!reader.readRootElement())
        error = failure();
    else if (!reader.nameIs("TWMapsDoc"))
        error = QStringLiteral("the root element is <%1>, not <TWMapsDoc>").arg(reader.name());
    if (!error.isEmpty()) {
        qWarning().noquote() << QStringLiteral("Error loading document %1").arg(error);
        TWFileIO::noteReadFailure(error);
        return nullptr;
    }

    UndoManager *undo = document->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    // Contents.xml itself is never kept: every save writes it afresh.
    document->removeAllObjectsInCachedData();
    for (auto it = packageData.cbegin(); it != packageData.cend(); ++it)
        document->setObjectInCachedData(it.value(), it.key());
    const bool loaded = document->loadFromContentsXMLReader(reader, contents.startTagCount);
    if (undo)
        undo->enableUndoRegistration();
    if (!loaded) {
        const QString error = failure();
        qWarning().noquote() << QStringLiteral("Error loading document %1").arg(error);
        TWFileIO::noteReadFailure(error);
        return nullptr;
    }

    NotificationCenter::defaultCenter().post(BranchHideLevelChangedNotification);
    return document;
}
