#include "BranchTestSupport.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "support/TWXMLUtils.h"

#include <libxml/tree.h>

using namespace BranchTest;

namespace {

class TWGraphicKindsXMLTest : public BranchFixture
{
protected:
    // Writes the graphic into a fresh container and reads it back for `branch`.
    std::shared_ptr<TWGraphic> roundTrip(TWGraphic &graphic, TWMapBranch *branch,
                                         QByteArray *text = nullptr)
    {
        xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
        xmlNodePtr container = xmlNewNode(nullptr, BAD_CAST "graphic");
        xmlDocSetRootElement(doc, container);
        graphic.addXmlDataToNode(container);
        if (text) {
            xmlBufferPtr buffer = xmlBufferCreate();
            xmlNodeDump(buffer, doc, container, 0, 0);
            *text = QByteArray(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                               xmlBufferLength(buffer));
            xmlBufferFree(buffer);
        }
        auto read = TWGraphic::graphicWithXMLNode(container, doc, branch);
        xmlFreeDoc(doc);
        return read;
    }
    std::shared_ptr<TWGraphic> read(const QByteArray &children, TWMapBranch *branch,
                                    const char *className)
    {
        const QByteArray text = QByteArray("<graphic><TWGraphic><class>") + className +
                                "</class><graphicNumber>7</graphicNumber>" + children +
                                "</TWGraphic></graphic>";
        xmlDocPtr doc =
            xmlReadMemory(text.constData(), int(text.size()), nullptr, nullptr, XML_PARSE_NONET);
        auto graphic = TWGraphic::graphicWithXMLNode(xmlDocGetRootElement(doc), doc, branch);
        xmlFreeDoc(doc);
        return graphic;
    }
};

TEST_F(TWGraphicKindsXMLTest, TextAreasKeepTheirTextAndAskForARefit)
{
    auto a = child(root, 100, "a");
    const AttributedString text(
        "label",
        {{NSFontAttributeName, QVariant::fromValue(Font(QStringLiteral("Helvetica"), 14))}});
    a->enclosedTextArea()->setText(text);
    QByteArray written;
    auto copy =
        std::dynamic_pointer_cast<TWTextArea>(roundTrip(*a->enclosedTextArea(), a.get(), &written));
    ASSERT_TRUE(copy);
    EXPECT_TRUE(written.contains("<text><NSAttributedString>"));
    EXPECT_EQ(copy->text(), text);
    EXPECT_FALSE(a->needsMakeNaturalSize());

    // No text element: an empty text, the area still made.
    auto empty = std::dynamic_pointer_cast<TWTextArea>(read("", a.get(), "TWTextArea"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->hasText());
    EXPECT_TRUE(empty->text().isEmpty());

    // A Windows font in the stored text: the branch refits once loaded.
    AttributedString windows("w");
    windows.addAttribute(TWWinFontAttributeName,
                         QVariant::fromValue(TWWinFont("DejaVuSans", 9, false, false)), {0, 1});
    auto note = TWGraphic::make<TWTextArea>(Rect(0, 0, 40, 20));
    note->setText(windows);
    auto fromWindows = std::dynamic_pointer_cast<TWTextArea>(roundTrip(*note, a.get()));
    ASSERT_TRUE(fromWindows);
    EXPECT_EQ(fromWindows->outlineString(), "w");
    EXPECT_TRUE(a->needsMakeNaturalSize());
}

TEST_F(TWGraphicKindsXMLTest, FlexiBranchesAndPicturesRoundTrip)
{
    auto flexi = TWGraphic::make<TWFlexiBranch>(Rect(100, 100, 200, 30));
    flexi->setIntermediate1(Point(150.5f, 200.25f));
    QByteArray written;
    auto copy = std::dynamic_pointer_cast<TWFlexiBranch>(roundTrip(*flexi, root.get(), &written));
    ASSERT_TRUE(copy);
    EXPECT_TRUE(written.contains("<intermediate1><x>150.500000</x><y>200.250000</y>"
                                 "</intermediate1><intermediate2>"));
    EXPECT_TRUE(written.contains("</innerEndRight><straightLeft>"));
    for (auto get : {&TWFlexiBranch::leftPoint, &TWFlexiBranch::rightPoint,
                     &TWFlexiBranch::intermediate1, &TWFlexiBranch::intermediate2,
                     &TWFlexiBranch::innerEndLeft, &TWFlexiBranch::innerEndRight,
                     &TWFlexiBranch::straightLeft, &TWFlexiBranch::straightRight})
        EXPECT_EQ(((*copy).*get)(), ((*flexi).*get)());
    // Missing coordinates read as 0.
    auto bare = std::dynamic_pointer_cast<TWFlexiBranch>(
        read("<leftPoint><x>4</x></leftPoint>", root.get(), "TWFlexiBranch"));
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->leftPoint(), Point(4, 0));
    EXPECT_EQ(bare->rightPoint(), Point());
    // Points of a branch far out in a big map are kept; damaged ones are not.
    auto far = std::dynamic_pointer_cast<TWFlexiBranch>(
        read("<leftPoint><x>-2500000</x><y>40000.5</y></leftPoint>"
             "<rightPoint><x>3e7</x><y>nan</y></rightPoint>",
             root.get(), "TWFlexiBranch"));
    ASSERT_TRUE(far);
    EXPECT_EQ(far->leftPoint(), Point(-2500000, 40000.5f));
    EXPECT_EQ(far->rightPoint(), Point());

    auto image = TWGraphic::make<TWImage>(Rect(1, 2, 30, 40));
    EXPECT_TRUE(std::dynamic_pointer_cast<TWImage>(roundTrip(*image, root.get())));
}

TEST_F(TWGraphicKindsXMLTest, LinkLinesWriteEveryChildInOrder)
{
    auto a = child(root, 100, "a"), b = child(root, 300, "b");
    auto line = TWGraphic::make<TWLinkLine>();
    line->setBranch(a.get());
    line->setStartGraphicNumber(a->mainGraphic()->graphicNumber());
    line->setEndGraphicNumber(b->mainGraphic()->graphicNumber());
    line->setStartArrowLength(12.5f);
    line->setColorMode(0);
    line->setIntermediatePoint2(Point(3, 4));
    line->setEndArrowStyle(1);
    line->setStartFilled(false);
    line->setLabelOffset(Point(5, 6));

    QByteArray written;
    auto copy = std::dynamic_pointer_cast<TWLinkLine>(roundTrip(*line, a.get(), &written));
    ASSERT_TRUE(copy);
    const char *order[] = {
        "startGraphicNumber", "endGraphicNumber", "startArrowLength", "startArrowWidth",
        "endArrowLength",     "endArrowWidth",    "colorMode",        "intermediatePoint1",
        "intermediatePoint2", "startArrowStyle",  "endArrowStyle",    "startFilled",
        "endFilled",          "labelDirection",   "labelAngle",       "labelOffset"};
    qsizetype last = written.indexOf("</shapeName>") > 0 ? written.indexOf("</shapeName>") : 0;
    for (const char *name : order) {
        const qsizetype at = written.indexOf(QByteArray("<") + name + ">");
        EXPECT_GT(at, last) << name;
        last = at;
    }
    EXPECT_FALSE(written.contains("<label>")); // no label, no element
    EXPECT_EQ(copy->startGraphic(), a->mainGraphic());
    EXPECT_EQ(copy->startArrowLength(), 12.5f);
    EXPECT_EQ(copy->storedColorMode(), 0);
    EXPECT_EQ(copy->intermediatePoint2(), Point(3, 4));
    EXPECT_EQ(copy->endArrowStyle(), 1);
    EXPECT_FALSE(copy->startFilled());
    EXPECT_EQ(copy->labelOffset(), Point(5, 6));

    // Reader defaults; "yes" is not "YES"; a label with characters is written.
    const QByteArray ends = "<startGraphicNumber>1</startGraphicNumber>"
                            "<endGraphicNumber>2</endGraphicNumber>";
    auto defaults = std::dynamic_pointer_cast<TWLinkLine>(
        read(ends + "<startFilled>yes</startFilled>", a.get(), "TWLinkLine"));
    ASSERT_TRUE(defaults);
    EXPECT_FALSE(defaults->startFilled());
    EXPECT_TRUE(defaults->endFilled());
    EXPECT_EQ(defaults->startArrowLength(), 15.0f);
    EXPECT_EQ(defaults->storedColorMode(), 2);
    EXPECT_EQ(defaults->endArrowStyle(), 0);
    line->setLabel(AttributedString("why"));
    auto labelled = std::dynamic_pointer_cast<TWLinkLine>(roundTrip(*line, a.get()));
    ASSERT_TRUE(labelled && labelled->label());
    EXPECT_EQ(labelled->label()->string(), "why");

    // Without either end number the line is dropped.
    EXPECT_FALSE(read("<endGraphicNumber>2</endGraphicNumber>", a.get(), "TWLinkLine"));
    EXPECT_FALSE(read("<startGraphicNumber>1</startGraphicNumber>", a.get(), "TWLinkLine"));
}

} // namespace
