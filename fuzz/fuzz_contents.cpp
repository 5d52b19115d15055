// Feeds arbitrary bytes as a document's Contents.xml: loading must never
// crash, and a document that loads must save and load again.
#include "FuzzSupport.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::silenceLogs();
    FuzzSupport::startGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PackageData package;
    package.insert(QStringLiteral("Thinkweb/Contents.xml"),
                   QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    package.insert(QStringLiteral("Thinkweb/fileVersion.txt"), QByteArray("4.1"));
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::createWithDictionary(package, false);
    if (!document)
        return 0;
    PackageData saved;
    const QVariantMap dictionary = document->generateSaveDictionary();
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
        saved.insert(it.key(), it->typeId() == QMetaType::QByteArray ? it->toByteArray()
                                                                     : it->toString().toUtf8());
    std::shared_ptr<TWMapsDoc> again = TWMapsDoc::createWithDictionary(saved, false);
    if (!again)
        __builtin_trap(); // what we save must load
    again->detach();
    document->detach();
    return 0;
}
