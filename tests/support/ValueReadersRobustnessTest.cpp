#include "TestHelpers.h"
#include "support/CalendarDate.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"
#include "support/Shadow.h"
#include "support/TWWinFont.h"
#include "support/TextTab.h"

#include <functional>
#include <random>

// Random value elements built from the real vocabulary with hostile texts
// (huge, negative, not-a-number, junk, nested elements, duplicates). Every
// reader must cope, and what it reads must be a fixed point: written and
// read once more, it writes the same text.
namespace {

const QStringList kTexts =
    QString::fromUtf8("|0|1|-1|0.5| 7|YES|yes|abc|1e400|-1e400|nan|-inf|12.5xyz|&amp;|GMT|GMT+0545|"
                      "Asia/Tokyo|2147483648|-99999999999999999999|99999999999999999999|"
                      "Helvetica|0x1p3|\xc3\xa9")
        .split('|');

// Element name, children, and the two routes: each reads and writes again,
// giving an empty text when nothing was read.
struct Vocabulary
{
    const char *name;
    std::vector<const char *> children;
    std::function<QString(const QString &)> libxml2Route;
    std::function<QString(const QString &)> elementRoute;
};

template <class T> std::optional<T> maybe(const T &value)
{
    return value;
}
template <class T> std::optional<T> maybe(const std::optional<T> &value)
{
    return value;
}

template <class Read> std::function<QString(const QString &)> viaParent(Read read)
{
    return [read](const QString &xml) {
        const auto value = maybe(XMLTest::readFrom(xml, read));
        return value ? XMLTest::written(*value) : QString();
    };
}

template <class Read> std::function<QString(const QString &)> viaElement(Read read)
{
    return [read](const QString &xml) {
        const auto value = maybe(read(XMLTest::element(xml)));
        return value ? XMLTest::compact(value->freshXMLElement()) : QString();
    };
}

const std::vector<Vocabulary> &vocabulary()
{
    static const std::vector<Vocabulary> v = {
        {"NSColor",
         {"redComponent", "greenComponent", "blueComponent", "alphaComponent"},
         viaParent(&Color::colorWithXMLNode),
         viaElement(&Color::objectWithXMLElement)},
        {"NSFont",
         {"fontName", "size"},
         viaParent(&Font::fontWithXMLNode),
         viaElement(&Font::objectWithXMLElement)},
        {"TWWinFont",
         {"name", "size", "bold", "italic"},
         viaParent(&TWWinFont::fontWithXMLNode),
         {}},
        {"NSShadow",
         {"shadowOffset", "shadowBlurRadius", "shadowColor", "width", "height"},
         viaParent(&Shadow::withXMLNode),
         viaElement(&Shadow::objectWithXMLElement)},
        {"NSCalendarDate",
         {"year", "month", "day", "hour", "minute", "second", "timeZone", "utc"},
         viaParent(&CalendarDate::withXMLNode),
         viaElement(&CalendarDate::objectWithXMLElement)},
        {"NSParagraphStyle",
         {"alignment", "baseWritingDirection", "defaultTabInterval", "headIndent", "headerLevel",
          "lineBreakMode", "tabStop", "tailIndent", "tighteningFactorForTruncation"},
         viaParent(&ParagraphStyle::withXMLNode),
         viaElement(&ParagraphStyle::objectWithXMLElement)},
        {"NSTextTab",
         {"alignment", "location"},
         viaParent(&TextTab::withXMLNode),
         viaElement(&TextTab::objectWithXMLElement)}};
    return v;
}

class Generator
{
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    QString element(const Vocabulary &v, int depth)
    {
        QString xml = QString("<%1>").arg(v.name);
        if (pick(8) == 0)
            xml += text(); // text where children belong
        for (int i = pick(int(v.children.size()) * 2 + 1); i > 0; --i) {
            const QString child = v.children[size_t(pick(int(v.children.size())))];
            xml += "<" + child + ">" + content(depth) + "</" + child + ">";
        }
        return xml + QString("</%1>").arg(v.name);
    }

private:
    int pick(int n) { return int(m_random() % unsigned(n)); }
    QString text() { return kTexts[pick(int(kTexts.size()))]; }
    QString content(int depth)
    {
        if (depth < 3 && pick(4) == 0)
            return element(vocabulary()[pick(int(vocabulary().size()))], depth + 1);
        if (pick(10) == 0)
            return text() + "<width>" + text() + "</width><height>" + text() + "</height>";
        return text();
    }

    std::mt19937 m_random;
};

TEST(ValueReaders, HostileElementsAreReadAndReachAFixedPoint)
{
    LogCapture quiet;
    Generator generate(20240611);
    int datesRead = 0, fontsRead = 0; // the generator must reach past the nil cases
    for (int round = 0; round < 600; ++round) {
        const Vocabulary &v = vocabulary()[round % vocabulary().size()];
        const QString xml = generate.element(v, 0);
        SCOPED_TRACE(xml.toStdString());
        const QString once = v.libxml2Route(xml);
        if (!once.isEmpty()) {
            datesRead += v.name == QLatin1String("NSCalendarDate");
            fontsRead += v.name == QLatin1String("NSFont");
            EXPECT_EQ(v.libxml2Route(once), once);
        }
        if (v.elementRoute) {
            const QString first = v.elementRoute(xml);
            if (!first.isEmpty()) {
                EXPECT_EQ(v.elementRoute(first), first);
            }
        }
    }
    EXPECT_GT(datesRead, 2);
    EXPECT_GT(fontsRead, 10);
}

} // namespace
