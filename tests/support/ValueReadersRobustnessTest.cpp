#include "XMLTestHelpers.h"
#include "support/CalendarDate.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"
#include "support/Shadow.h"
#include "support/TWWinFont.h"
#include "support/TextTab.h"

#include <QtGlobal>
#include <functional>
#include <gtest/gtest.h>
#include <random>

// Random value elements built from the real vocabulary with hostile texts
// (huge, negative, not-a-number, junk, nested elements, duplicates). Every
// reader must cope, and what it reads must be a fixed point: written and
// read once more, it writes the same text.
namespace {

const char *const kTexts[] = {"",
                              "0",
                              "1",
                              "-1",
                              "0.5",
                              " 7",
                              "YES",
                              "yes",
                              "abc",
                              "1e400",
                              "-1e400",
                              "nan",
                              "-inf",
                              "12.5xyz",
                              "&amp;",
                              "GMT",
                              "GMT+0545",
                              "Asia/Tokyo",
                              "2147483648",
                              "-99999999999999999999",
                              "99999999999999999999",
                              "Helvetica",
                              "0x1p3",
                              "\xc3\xa9"};

struct Vocabulary
{
    const char *name;
    std::vector<const char *> children;
};

const Vocabulary kVocabulary[] = {
    {"NSColor", {"redComponent", "greenComponent", "blueComponent", "alphaComponent"}},
    {"NSFont", {"fontName", "size"}},
    {"TWWinFont", {"name", "size", "bold", "italic"}},
    {"NSShadow", {"shadowOffset", "shadowBlurRadius", "shadowColor", "width", "height"}},
    {"NSCalendarDate", {"year", "month", "day", "hour", "minute", "second", "timeZone", "utc"}},
    {"NSParagraphStyle",
     {"alignment", "baseWritingDirection", "defaultTabInterval", "headIndent", "headerLevel",
      "lineBreakMode", "tabStop", "tailIndent", "tighteningFactorForTruncation"}},
    {"NSTextTab", {"alignment", "location"}},
};

class Generator
{
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    QString element(const Vocabulary &v, int depth)
    {
        QString xml = QString("<%1>").arg(v.name);
        if (pick(8) == 0)
            xml += text(); // text where children belong
        const int count = pick(int(v.children.size()) * 2 + 1);
        for (int i = 0; i < count; ++i) {
            const QString child = v.children[size_t(pick(int(v.children.size())))];
            xml += "<" + child + ">" + content(depth) + "</" + child + ">";
        }
        return xml + QString("</%1>").arg(v.name);
    }

private:
    int pick(int n) { return int(m_random() % unsigned(n)); }
    QString text() { return QString::fromUtf8(kTexts[pick(std::size(kTexts))]); }
    QString content(int depth)
    {
        if (depth < 3 && pick(4) == 0)
            return element(kVocabulary[pick(std::size(kVocabulary))], depth + 1);
        if (pick(10) == 0)
            return text() + "<width>" + text() + "</width><height>" + text() + "</height>";
        return text();
    }

    std::mt19937 m_random;
};

struct Reader
{
    // Reads the value from the parent and writes it into a fresh parent; an
    // empty text when nothing was read.
    std::function<QString(xmlNodePtr, xmlDocPtr)> libxml2Route;
    // Reads the value element and writes it again.
    std::function<QString(const XMLElement &)> elementRoute;
};

template <class T> QString writeUnder(const T &value)
{
    XMLElement parent = XMLElement::create("parent");
    value.addXmlDataToNode(parent.node());
    return QString::fromUtf8(parent.xmlString());
}

template <class T> QString writeUnder(const std::optional<T> &value)
{
    return value ? writeUnder(*value) : QString();
}

template <class T> QString writeElement(const T &value)
{
    return QString::fromUtf8(value.freshXMLElement().xmlString());
}

template <class T> QString writeElement(const std::optional<T> &value)
{
    return value ? writeElement(*value) : QString();
}

std::map<QString, Reader> readers()
{
    std::map<QString, Reader> r;
    r["NSColor"] = {
        [](xmlNodePtr p, xmlDocPtr d) { return writeUnder(Color::colorWithXMLNode(p, d)); },
        [](const XMLElement &e) { return writeElement(Color::objectWithXMLElement(e)); }};
    r["NSFont"] = {
        [](xmlNodePtr p, xmlDocPtr d) { return writeUnder(Font::fontWithXMLNode(p, d)); },
        [](const XMLElement &e) { return writeElement(Font::objectWithXMLElement(e)); }};
    r["TWWinFont"] = {
        [](xmlNodePtr p, xmlDocPtr d) { return writeUnder(TWWinFont::fontWithXMLNode(p, d)); },
        nullptr};
    r["NSShadow"] = {
        [](xmlNodePtr p, xmlDocPtr d) { return writeUnder(Shadow::withXMLNode(p, d)); },
        [](const XMLElement &e) { return writeElement(Shadow::objectWithXMLElement(e)); }};
    r["NSCalendarDate"] = {
        [](xmlNodePtr p, xmlDocPtr d) { return writeUnder(CalendarDate::withXMLNode(p, d)); },
        [](const XMLElement &e) { return writeElement(CalendarDate::objectWithXMLElement(e)); }};
    r["NSParagraphStyle"] = {
        [](xmlNodePtr p, xmlDocPtr d) { return writeUnder(ParagraphStyle::withXMLNode(p, d)); },
        [](const XMLElement &e) { return writeElement(ParagraphStyle::objectWithXMLElement(e)); }};
    r["NSTextTab"] = {
        [](xmlNodePtr p, xmlDocPtr d) { return writeUnder(TextTab::withXMLNode(p, d)); },
        [](const XMLElement &e) { return writeElement(TextTab::objectWithXMLElement(e)); }};
    return r;
}

TEST(ValueReaders, HostileElementsAreReadAndReachAFixedPoint)
{
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const auto all = readers();
    Generator generate(20240611);
    int datesRead = 0, fontsRead = 0; // the generator must reach past the nil cases
    for (int round = 0; round < 600; ++round) {
        const Vocabulary &v = kVocabulary[round % std::size(kVocabulary)];
        const Reader &reader = all.at(v.name);
        const QString xml = generate.element(v, 0);
        SCOPED_TRACE(xml.toStdString());

        const XMLTest::Parent parent(xml);
        const QString once = reader.libxml2Route(parent.node(), parent.xmlDoc());
        if (!once.isEmpty()) {
            datesRead += v.name == QLatin1String("NSCalendarDate");
            fontsRead += v.name == QLatin1String("NSFont");
            const auto reread = XMLDocument::parse(once.toUtf8());
            ASSERT_TRUE(reread);
            const xmlNodePtr p = reread->rootElement().node();
            EXPECT_EQ(reader.libxml2Route(p, reread->xmlDoc()), once);
        }
        if (reader.elementRoute) {
            const QString first = reader.elementRoute(XMLTest::element(xml));
            if (!first.isEmpty())
                EXPECT_EQ(reader.elementRoute(XMLTest::element(first)), first);
        }
    }
    qInstallMessageHandler(previous);
    EXPECT_GT(datesRead, 2);
    EXPECT_GT(fontsRead, 10);
    RecordProperty("datesRead", datesRead);
    RecordProperty("fontsRead", fontsRead);
}

} // namespace
