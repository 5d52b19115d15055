// Feeds arbitrary XML to the attributed-string readers of both routes, then
// writes what was read and reads it again: the text must survive, a second
// write must give the same bytes, and editing must stay inside the text.
#include "FuzzSupport.h"
#include "support/AttributedString.h"
#include "support/TWXMLUtils.h"
#include "support/XMLDocument.h"

#include <QtGlobal>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray write(const AttributedString &s)
{
    return TWXMLUtils::xmlRepresentation([&](xmlNodePtr root) { s.addXmlDataToNode(root); })
        .toUtf8();
}

std::optional<AttributedString> read(const QByteArray &xml)
{
    xmlDocPtr doc = XMLDetail::parseToXmlDoc(xml);
    if (!doc)
        return std::nullopt;
    QStringList notes;
    std::optional<AttributedString> result =
        AttributedString::initWithXMLNode(xmlDocGetRootElement(doc), doc, &notes);
    xmlFreeDoc(doc);
    return result;
}

void check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_attributed_string: %s\n", what);
        abort();
    }
}

void exercise(AttributedString s, size_t seed)
{
    const qsizetype n = s.length();
    for (qsizetype i = 0; i < s.runCount(); ++i) {
        const AttributedString::Range r = s.runRange(i);
        check(r.location >= 0 && r.length > 0 && r.end() <= n, "run outside the text");
    }
    if (n == 0)
        return;
    const qsizetype a = qsizetype(seed % size_t(n));
    const qsizetype b = qsizetype((seed / 7) % size_t(n - a + 1));
    AttributedString::Range range;
    s.attribute(NSFontAttributeName, a, &range);
    check(range.location <= a && a < range.end() && range.end() <= n, "attribute range");
    s.attributesAtIndex(a, &range);
    check(range.location <= a && a < range.end() && range.end() <= n, "attributes range");
    const AttributedString part = s.attributedSubstringFromRange({a, b});
    check(part.length() == b, "substring length");
    s.replaceCharactersInRange({a, b}, part);
    check(s.length() == n, "replace with itself changed the length");
    s.deleteCharactersInRange({a, b});
    check(s.length() == n - b, "delete length");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool initialised = [] {
        registerTypesAndResources();
        FuzzSupport::silenceLogs();
        return true;
    }();
    (void)initialised;

    const QByteArray xml(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<AttributedString> first = read(xml);

    // The element route, given the first element below the root.
    if (const XMLElement root = XMLElement::parse(xml); !root.isNull())
        (void)AttributedString::objectWithXMLElement(root.firstChildIfElement());

    if (!first)
        return 0;
    const QByteArray written = write(*first);
    const std::optional<AttributedString> second = read(written);
    check(second.has_value(), "written text does not read back");
    check(second->string() == first->string(), "text changed on a round trip");
    check(write(*second) == written, "second write differs");
    exercise(*first, size);
    return 0;
}
