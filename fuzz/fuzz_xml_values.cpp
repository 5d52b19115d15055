// Feeds arbitrary bytes to the readers of value XML that take outside input:
// the single-value snippet, dictionary files (element route), the
// libxml2-route dictionary reader and the Base64 decoder.
#include "FuzzSupport.h"
#include "support/Base64.h"
#include "support/OrderedDictionary.h"
#include "support/TWXMLProtocol.h"
#include "support/TWXMLUtils.h"
#include "support/TWXMLValues.h"
#include "support/XMLDocument.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Dictionary files: read, write back, read again.
    if (std::optional<XMLDocument> doc = XMLDocument::parse(bytes)) {
        const XMLElement root = doc->rootElement();
        if (std::optional<OrderedDictionary> d = OrderedDictionary::objectWithXMLElement(root)) {
            XMLDocument written(d->freshXMLElement());
            std::optional<XMLDocument> again = XMLDocument::parse(written.xmlData());
            if (!again || !OrderedDictionary::objectWithXMLElement(again->rootElement()))
                __builtin_trap(); // what we write must read back
        }
        TWXML::arrayWithXMLElement(root);
        TWXMLProtocol::objectWithXMLElement(root);
        root.boolValue();
        root.stringForPath("a/b");
        root.elementForPath("x/y/z");
    }

    // Snippets: the libxml2-route readers below the XMLObj root.
    TWXMLUtils::fromXMLRepresentation(
        QString::fromUtf8(bytes), [](xmlNodePtr parent, xmlDocPtr doc) {
            OrderedDictionary d = OrderedDictionary::withXMLNode(parent, doc);
            TWXMLUtils::XPathReader reader(parent, doc);
            reader.floatValue("NSColor/redComponent");
            reader.boolValue("TWWinFont/bold");
            return d.count();
        });

    try {
        TWBase64::dataWithTWBase64String(QString::fromUtf8(bytes));
    } catch (const Base64Error &) {
    }
    return 0;
}
