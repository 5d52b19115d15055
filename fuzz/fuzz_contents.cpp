// Feeds arbitrary bytes as a document's Contents.xml, through the tree route
// and the streaming route: loading must never crash, and a document that
// loads must save and load again.
#include "FuzzDocuments.h"
#include "FuzzSupport.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "support/ContentsXMLReader.h"
#include "support/XMLStreamWriter.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    FuzzSupport::startGuiApplication(argc, argv);
    return 0;
}

namespace {

void loadStreamed(const uint8_t *data, size_t size)
{
    size_t at = 0;
    ContentsXMLReader reader([&](char *out, qint64 max) {
        // Small pieces, so that the reader meets its input cut anywhere.
        const size_t n = std::min<size_t>({size - at, size_t(max), 7});
        std::memcpy(out, data + at, n);
        at += n;
        return qint64(n);
    });
    if (!reader.readRootElement() || !reader.nameIs("TWMapsDoc"))
        return;
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    if (document->loadFromContentsXMLReader(reader, 0)) {
        QByteArray text;
        XMLStreamWriter writer([&text](const char *bytes, qint64 n) {
            text.append(bytes, n);
            return true;
        });
        if (!document->writeContentsXML(writer) || !writer.writeEndDocument())
            __builtin_trap();
        PackageData saved{{QStringLiteral("Thinkweb/Contents.xml"), text}};
        std::shared_ptr<TWMapsDoc> again = TWMapsDoc::createWithDictionary(saved, false);
        if (!again)
            __builtin_trap(); // what we save must load
        again->detach();
    }
    document->detach();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    loadStreamed(data, size);
    PackageData package;
    package.insert(QStringLiteral("Thinkweb/Contents.xml"),
                   QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    package.insert(QStringLiteral("Thinkweb/fileVersion.txt"), QByteArray("4.1"));
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::createWithDictionary(package, false);
    if (!document)
        return 0;
    FuzzSupport::requireSavedDocumentLoads(document);
    return 0;
}
