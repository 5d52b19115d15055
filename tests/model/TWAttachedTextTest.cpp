#include "model/TWAttachedText.h"
#include "RecordTestSupport.h"
#include "model/TWAttachedTextCategory.h"
#include "platform/UndoManager.h"
#include "support/Font.h"

using namespace RecordTest;

namespace {

std::shared_ptr<const AttributedString> rich(const QString &text)
{
    return std::make_shared<const AttributedString>(
        text, TextAttributes{{NSForegroundColorAttributeName,
                              QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0))}});
}

QByteArray written(const TWAttachedText &text)
{
    return writtenUnder("item", [&](xmlNodePtr parent) { text.addXmlDataToNode(parent); });
}

std::shared_ptr<TWAttachedText> readText(const QByteArray &xml, UndoManager *undo = nullptr)
{
    return readFrom(xml, [undo](xmlNodePtr parent, xmlDocPtr doc) {
        return TWAttachedText::initWithXMLNode(parent, doc, undo);
    });
}

} // namespace

TEST(TWAttachedTextTest, ElementsOnBothRoutes)
{
    auto full = std::make_shared<TWAttachedText>(QString("Notes"), nullptr);
    full->setText(rich(QString::fromUtf8("Ränder & <Ecken>")));
    full->setSelectedRange({12, 3});
    auto bare = std::make_shared<TWAttachedText>(QString(""), nullptr);
    bare->setText(rich(""));
    bare->setSelectedRange({4294967295u, 0});

    for (const auto &original : {full, bare}) {
        const QByteArray first = written(*original);
        const auto read = readText(first);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(written(*read), first);
        EXPECT_EQ(read->selectedRange(), original->selectedRange());

        const XMLElement element = original->freshXMLElement();
        EXPECT_EQ(XMLElement::parse(first).firstChildIfElement().xmlString(), element.xmlString());
        const auto fromElement = TWAttachedText::objectWithXMLElement(element, nullptr);
        ASSERT_NE(fromElement, nullptr);
        EXPECT_EQ(fromElement->freshXMLElement().xmlString(), element.xmlString());
    }

    const XMLElement fullElement = full->freshXMLElement();
    QStringList names;
    for (const XMLElement &child : fullElement.elements())
        names << child.name();
    EXPECT_EQ(names, (QStringList{"text", "category", "selectedRange"}));
    EXPECT_EQ(fullElement.elementForPath(u"selectedRange/location").stringValue(), "12.000000");
    const auto fullRead = readText(written(*full));
    EXPECT_EQ(*fullRead->text(), *full->text());
    EXPECT_EQ(fullRead->category(), QString("Notes"));

    // Empty text and category: only the range is written, and they read as none.
    EXPECT_EQ(bare->freshXMLElement().xmlString(), "<TWAttachedText>\n"
                                                   "  <selectedRange>\n"
                                                   "    <location>4294967295.000000</location>\n"
                                                   "    <length>0.000000</length>\n"
                                                   "  </selectedRange>\n"
                                                   "</TWAttachedText>");
    const auto bareRead = readText(written(*bare));
    EXPECT_EQ(bareRead->text(), nullptr);
    EXPECT_EQ(bareRead->category(), std::nullopt);
}

TEST(TWAttachedTextTest, StoredRangesAreClampedToUnsigned32Bits)
{
    struct Case
    {
        const char *location;
        quint32 expected;
    };
    const Case cases[] = {
        {"-3.000000", 0},
        {"7.9", 7},
        {"0", 0},
        {"4294967295.0", 4294967295u},
        {"4294967296", 4294967295u},
        {"1e300", 4294967295u},
        {"nan", 0},
        {"inf", 4294967295u},
        {"-inf", 0},
        {"", 0},
        {"twelve", 0},
    };
    for (const Case &c : cases) {
        const auto text =
            readText(QByteArray("<item><TWAttachedText><selectedRange><location>") + c.location +
                     "</location><length>2</length>"
                     "</selectedRange></TWAttachedText></item>");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->selectedRange().location, c.expected) << c.location;
        EXPECT_EQ(text->selectedRange().length, 2u);
    }
    // Missing parts stay 0; no element, no text.
    const auto empty = readText("<item><TWAttachedText/></item>");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->selectedRange(), (TWAttachedText::SelectedRange{0, 0}));
    EXPECT_EQ(readText("<item><other/></item>"), nullptr);
}

TEST(TWAttachedTextTest, SettersUndoAndAnnounce)
{
    UndoManager undo;
    auto text = std::make_shared<TWAttachedText>(QString("Notes"), &undo);
    ChangeRecorder changes(text.get());

    const auto first = rich("first");
    text->publicSetText(first);
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoActionName(), "Text Editing");
    // The same text object again registers nothing; an equal copy does.
    text->setText(text->text());
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoStepCount(), 1);
    text->setText(std::make_shared<const AttributedString>(*first));
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoStepCount(), 2);
    undo.undo();
    EXPECT_EQ(text->text(), first);

    text->publicSetCategory(QString("Tasks"));
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoActionName(), "Set Attached Text Category");
    text->publicSetSelectedRange({3, 4});
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoActionName(), "Set Selected Range");
    text->setSelectedRange({3, 4});
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoStepCount(), 3);

    undo.undo();
    EXPECT_EQ(text->selectedRange(), (TWAttachedText::SelectedRange{0, 0}));
    undo.undo();
    EXPECT_EQ(text->category(), QString("Notes"));
    undo.undo();
    EXPECT_EQ(text->text(), nullptr);
    undo.redo();
    EXPECT_EQ(text->text(), first);
    undo.redo();
    EXPECT_EQ(text->category(), QString("Tasks"));
    EXPECT_EQ(changes.keys, (QStringList{"text", "text", "text", "category", "selectedRange",
                                         "selectedRange", "category", "text", "text", "category"}));

    // A text whose undo manager went registers nowhere.
    auto orphan = std::make_shared<TWAttachedText>(std::nullopt, nullptr);
    {
        UndoManager gone;
        orphan->setUndoManager(&gone);
    }
    orphan->publicSetText(rich("x"));
    EXPECT_EQ(orphan->undoManager(), nullptr);
    EXPECT_EQ(orphan->text()->string(), "x");
}

TEST(TWAttachedTextCategoryTest, TheRoutesWriteTheirOwnOrder)
{
    const Color green = Color::colorWithCalibratedRed(0, 1, 0);
    const TWAttachedTextCategory notes("N", "Notes", green);
    const auto childNames = [](const XMLElement &e) {
        QStringList names;
        for (const XMLElement &child : e.elements())
            names << child.name();
        return names;
    };

    const XMLElement element = notes.freshXMLElement();
    EXPECT_EQ(childNames(element), (QStringList{"shortName", "longName", "iconColor"}));
    const auto fromElement = TWAttachedTextCategory::objectWithXMLElement(element);
    ASSERT_NE(fromElement, nullptr);
    EXPECT_TRUE(fromElement->isEqual(notes));
    EXPECT_EQ(fromElement->freshXMLElement().xmlString(), element.xmlString());

    const QByteArray first =
        writtenUnder("holder", [&](xmlNodePtr parent) { notes.addXmlDataToNode(parent); });
    EXPECT_EQ(childNames(XMLElement::parse(first).firstChildIfElement()),
              (QStringList{"iconColor", "shortName", "longName"}));
    const auto read = readFrom(first, &TWAttachedTextCategory::initWithXMLNode);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->isEqual(notes));
    EXPECT_EQ(writtenUnder("holder", [&](xmlNodePtr parent) { read->addXmlDataToNode(parent); }),
              first);

    // Without a colour: none on either route.
    const auto colorless = readFrom(
        "<holder><TWAttachedTextCategory><shortName>T</shortName><longName>Tasks</longName>"
        "</TWAttachedTextCategory></holder>",
        &TWAttachedTextCategory::initWithXMLNode);
    ASSERT_NE(colorless, nullptr);
    EXPECT_EQ(colorless->iconColor(), std::nullopt);
    EXPECT_EQ(colorless->longName(), QString("Tasks"));
    const auto colorlessElement = TWAttachedTextCategory::objectWithXMLElement(XMLElement::parse(
        "<TWAttachedTextCategory><iconColor/><shortName/></TWAttachedTextCategory>"));
    EXPECT_EQ(colorlessElement->iconColor(), std::nullopt);
    EXPECT_EQ(colorlessElement->shortName(), QString(""));
    EXPECT_EQ(colorlessElement->longName(), std::nullopt);
    EXPECT_EQ(readFrom("<holder/>", &TWAttachedTextCategory::initWithXMLNode), nullptr);
}

TEST(TWAttachedTextCategoryTest, ChildrenOfOtherVersionsStayInPlace)
{
    const QByteArray stored = "<TWAttachedTextCategory>"
                              "<future a=\"1\">first</future>"
                              "<longName>Notes</longName>"
                              "<iconColor><NSColor><redComponent>1.000000</redComponent>"
                              "<greenComponent>0.000000</greenComponent>"
                              "<blueComponent>0.000000</blueComponent>"
                              "<alphaComponent>1.000000</alphaComponent></NSColor></iconColor>"
                              "<shortName>N</shortName><shortName>old</shortName>"
                              "<later><x/></later>"
                              "</TWAttachedTextCategory>";
    const auto category = TWAttachedTextCategory::objectWithXMLElement(XMLElement::parse(stored));
    ASSERT_NE(category, nullptr);
    EXPECT_EQ(category->shortName(), QString("N"));
    EXPECT_EQ(category->iconColor(), Color::colorWithCalibratedRed(1, 0, 0));

    // The duplicate goes; everything else is written where it stood.
    const XMLElement expected =
        XMLElement::parse(QByteArray(stored).replace("<shortName>old</shortName>", ""));
    EXPECT_EQ(category->freshXMLElement().xmlString(), expected.xmlString());
    EXPECT_EQ(category->copy()->freshXMLElement().xmlString(), expected.xmlString());
    const QByteArray libxml2 =
        writtenUnder("holder", [&](xmlNodePtr parent) { category->addXmlDataToNode(parent); });
    EXPECT_EQ(XMLElement::parse(libxml2).firstChildIfElement().xmlString(), expected.xmlString());

    // A name that was missing is added after the one before it.
    const auto partial = TWAttachedTextCategory::objectWithXMLElement(XMLElement::parse(
        "<TWAttachedTextCategory><x/><shortName>N</shortName><y/></TWAttachedTextCategory>"));
    EXPECT_EQ(partial->freshXMLElement().xmlString(),
              XMLElement::parse("<TWAttachedTextCategory><x/><shortName>N</shortName><y/>"
                                "</TWAttachedTextCategory>")
                  .xmlString());
    const auto named =
        std::make_shared<TWAttachedTextCategory>(QString("N"), QString("Notes"), std::nullopt);
    EXPECT_EQ(named->freshXMLElement().xmlString(),
              "<TWAttachedTextCategory>\n  <shortName>N</shortName>\n"
              "  <longName>Notes</longName>\n</TWAttachedTextCategory>");
}

TEST(TWAttachedTextCategoryTest, TheIconIsMadeOnRequestFromTheColour)
{
    TWAttachedTextCategory category("N", "Notes", Color::colorWithCalibratedRed(0, 0, 1));
    EXPECT_FALSE(category.cachedImage().has_value());
    std::optional<Color> tintedWith;
    category.generateCachedImageFromImage(Image(), Image(),
                                          [&](const Color &color, const Image &, const Image &) {
                                              tintedWith = color;
                                              Image made;
                                              made.setName(QString("tinted"));
                                              return made;
                                          });
    EXPECT_EQ(tintedWith, Color::colorWithCalibratedRed(0, 0, 1));
    ASSERT_TRUE(category.cachedImage().has_value());
    EXPECT_EQ(category.cachedImage()->name(), QString("tinted"));
    category.generateCachedImageFromImage(Image(), Image(), nullptr);
    EXPECT_FALSE(category.cachedImage().has_value());
}
