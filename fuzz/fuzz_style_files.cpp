// Feeds arbitrary bytes to the readers of style, theme and template files, and
// applies what they read to a map as the style palettes, the theme chooser and
// a new map from a template do. The map must then still save and load. The
// first byte picks the kind of file.
#include "../bench/GeneratedMap.h"
#include "FuzzDocuments.h"
#include "FuzzSupport.h"
#include "application/TWTemplate.h"
#include "model/TWMapsDoc.h"
#include "styles/TWStyle.h"
#include "styles/TWTheme.h"
#include "support/XMLElement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    FuzzSupport::startGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const int kind = data[0] % 3;
    QTemporaryDir folder;
    const QString path = QDir(folder.path())
                             .filePath(kind == 0   ? QStringLiteral("fuzz.TWStyle")
                                       : kind == 1 ? QStringLiteral("fuzz.TWTheme")
                                                   : QStringLiteral("fuzz.twtemplate"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return 0;
    file.close();

    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    std::shared_ptr<TWMap> map = TWMap::create(document.get());
    document->addMap(map, true);
    GeneratedMap::fill(*map, 6);
    if (kind == 0) {
        if (const std::shared_ptr<TWStyle> style = TWStyle::createWithContentsOfFile(path)) {
            if (style->type() == TWStyle::MapStyle)
                map->setMapStyle(style);
            else
                map->setDefaultGraphicStyle(style);
        }
    } else if (kind == 1) {
        if (const std::shared_ptr<TWTheme> theme = TWTheme::createWithContentsOfFile(path))
            map->setTheme(theme);
    } else if (const std::shared_ptr<TWTemplateGroup> group =
                   TWTemplateGroup::initWithContentsOfFile(path)) {
        for (const std::shared_ptr<TWTemplate> &entry : group->templates) {
            XMLElement element = XMLElement::parse(entry->mapXMLData);
            if (element.isNull())
                continue;
            TWTemplateGroup::mergeCachedData(*document, group->cachedData, element);
            if (std::shared_ptr<TWMap> made = TWMap::createWithXMLElement(
                    element, document.get(), TWMap::Identifier::MakeNew))
                document->addMap(made, false);
        }
    }
    FuzzSupport::requireSavedDocumentLoads(document);
    return 0;
}
