#include "model/TWMap.h"

#include "support/ContentsXMLReader.h"
#include "support/XMLStreamWriter.h"

// A map keeps its whole element for now, so each is expanded whole: only one
// map's tree exists at a time beside the maps read before it. Readers that
// build branches step into `root` themselves.
std::shared_ptr<TWMap> TWMap::createWithXMLReader(ContentsXMLReader &reader, TWMapsDoc *document)
{
    if (!reader.nameIs("TWMap")) {
        reader.skipElement();
        return nullptr;
    }
    return createWithXMLElement(reader.expandElement(), document, Identifier::KeepStored);
}

bool TWMap::writeXML(XMLStreamWriter &writer)
{
    // The document brought every live element up to date before writing;
    // updating again would move the lists to the end a second time.
    writer.writeElement(m_liveXMLElement);
    return !writer.failed();
}
