// Feeds arbitrary bytes to the MindManager readers that take outside input:
// the XML tree, the element engine with the core elements and the whole map
// catalogue (a Document.xml read as a map), and the XHTML notes reader with
// its CSS parsing. What is written back must parse again, and a map written,
// read and written again must come out the same.
#include "FuzzSupport.h"
#include "MindManagerImpExp/NSAttributedString-XHTML.h"
#include "MindManagerImpExp/apDocumentElements.h"
#include "MindManagerImpExp/apMapElements.h"
#include "MindManagerImpExp/apMarkerElements.h"
#include "MindManagerImpExp/apStyleElements.h"
#include "MindManagerImpExp/corElements.h"
#include "support/NSString+XHTML.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace {

const MMElementClass &(*const kClasses[])() = {
    &corObject::staticClass,
    &corObjectReference::staticClass,
    &corParentObjectReference::staticClass,
    &corProperty::staticClass,
    &corMultiple::staticClass,
    &corCustom::staticClass,
    &corBinaryData::staticClass,
    &corBase64::staticClass,
    &corXhtmlData::staticClass,
    &corBaselines::staticClass,
    &corPropertyReference::staticClass,
    &apTopic::staticClass,
    &apText::staticClass,
    &apIcon::staticClass,
    &apNotesGroup::staticClass,
    &apDocumentGroup::staticClass,
    &apStyleGroup::staticClass,
    &apMarkersSetGroup::staticClass,
    &apIconMarker::staticClass,
    &apMapViewGroup::staticClass,
};

QString writtenText(const MMXMLBaseObject &object)
{
    XMLTree out = XMLTree::initRootless();
    object.createSubtreeInTree(out);
    return out.description();
}

// The file as a map: written, read back and written again gives the same text.
void readAsMap(const XMLTree &tree)
{
    auto map = MMXMLBaseObject::initWithXMLTree<apMap>(tree);
    if (!map)
        return;
    const QString first = writtenText(*map);
    const XMLTree again = XMLTree::initWithString(first);
    if (again.isNull())
        __builtin_trap();
    auto reread = MMXMLBaseObject::initWithXMLTree<apMap>(again);
    if (!reread || writtenText(*reread) != first)
        __builtin_trap();
}

void mustParse(const XMLTree &written)
{
    if (XMLTree::initWithString(written.description()).isNull())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const XMLTree tree = XMLTree::initWithData(bytes);
    if (!tree.isNull()) {
        readAsMap(tree);
        // The root and its first children as every core element.
        QList<XMLTree> elements{tree};
        for (unsigned i = 0; i < tree.childrenCount() && i < 8; ++i)
            elements.append(tree.childAtIndex(i));
        for (const XMLTree &element : elements) {
            for (auto cls : kClasses) {
                if (MMObjectPtr object = MMXMLBaseObject::initWithXMLTree(cls(), element)) {
                    XMLTree out = XMLTree::initWithName("out");
                    object->createSubtreeInTree(out);
                    mustParse(out);
                    if (auto xhtml = std::dynamic_pointer_cast<corXhtmlData>(object))
                        XHTML::attributedStringWithXHTML(xhtml->xhtmlTree());
                }
            }
        }
        // Notes: read, write back, read again.
        const AttributedString notes = XHTML::attributedStringWithXHTML(tree);
        const XMLTree written = XHTML::XHTMLRepresentation(notes);
        mustParse(written);
        XHTML::attributedStringWithXHTML(written);
    }

    const QString text = QString::fromUtf8(bytes);
    TextAttributes attributes;
    XHTML::parseCSS(text, attributes);
    XHTML::parseCSSSizSpec(text, 12);
    XHTML::parseCSSColorSpec(text);
    XHTML::lines(text);
    if (XHTML::stringByUnescapingXML(XHTML::stringByEscapingXML(text)) != text)
        __builtin_trap();
    return 0;
}
