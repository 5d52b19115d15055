#include "BranchTestSupport.h"
#include "support/Base64.h"
#include "support/Shadow.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <QRegularExpression>
#include <cmath>
#include <libxml/tree.h>

using namespace BranchTest;

namespace {

// The element's XML text without indentation.
QByteArray compact(const XMLElement &e)
{
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, e.doc(), e.node(), 0, 0);
    QByteArray text(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                    xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return text;
}

QByteArray element(const QString &children)
{
    return QStringLiteral("<mainGraphic><TWGraphic><class>TWGraphic</class>%1</TWGraphic>"
                          "</mainGraphic>")
        .arg(children)
        .toUtf8();
}

// The element text without the two number children, which every read renews.
QByteArray withoutNumbers(QByteArray text)
{
    static const QRegularExpression numbers("<(original)?graphicNumber>-?\\d+</\\w+>",
                                            QRegularExpression::CaseInsensitiveOption);
    return QString::fromUtf8(text).remove(numbers).toUtf8();
}

class TWGraphicXMLTest : public BranchFixture
{
protected:
    std::shared_ptr<TWGraphic> read(const QByteArray &text)
    {
        const XMLElement container = XMLElement::parse(text);
        return TWGraphic::graphicWithXMLNode(container.node(), container.doc(), root.get());
    }
    QByteArray write(TWGraphic &graphic, bool embed = false)
    {
        const XMLElement container = XMLElement::create("mainGraphic");
        graphic.addXmlDataToNode(container.node(), embed);
        return compact(container);
    }
};

TEST_F(TWGraphicXMLTest, ElementRoundTripIsStableOnTheSecondWrite)
{
    auto g = TWGraphic::createWithBounds(Rect(10.5f, -20, 300, 40.25f));
    g->setDrawsStroke(false);
    g->setStrokeWidth(2.5f);
    g->setStrokeStyle(4);
    g->setStrokeColor(Color::colorWithCalibratedRed(0.25, 0.5, 0.75, 1));
    g->setFillColor(Color::colorWithCalibratedRed(1, 0, 0, 0.5));
    g->setDrawsShadow(true);
    g->setShadow(Shadow(Size(2, -3), 4, Color::colorWithCalibratedRed(0, 0, 0, 0.5)));
    g->setOriginalGraphicNumber(77);
    g->setImageFilename(QStringLiteral("Images/Graphic7/photo.png"));
    g->setCornerAmount(12);
    g->setStyleID(QStringLiteral("style-1"));
    g->setMoviePath(QStringLiteral("Movies/a.mov"));
    g->setMovieReferenceStyle(2);
    g->setShapeName(QStringLiteral("Star"));
    g->setLinkBackData(QVariantMap{{"key", QStringLiteral("value")}, {"n", 3}});
    g->setLinkBackItemKey(QStringLiteral("item-1"));

    const QByteArray first = write(*g);
    // Fixed child order, "%f" reals, "YES"/"NO" and the optional children in place.
    EXPECT_TRUE(first.contains("<class>TWGraphic</class><bounds><x>10.500000</x><y>-20.000000</y>"
                               "<width>300.000000</width><height>40.250000</height></bounds>"
                               "<drawsStroke>NO</drawsStroke><strokeWidth>2.500000</strokeWidth>"
                               "<strokeStyle>4</strokeStyle><strokeColor><NSColor>"))
        << first.constData();
    EXPECT_TRUE(first.contains("<cornerAmount>12.000000</cornerAmount><styleID>style-1</styleID>"
                               "<moviePath>Movies/a.mov</moviePath><movieReferenceStyle>2"
                               "</movieReferenceStyle><shapeName>Star</shapeName><linkBackData>"));
    EXPECT_FALSE(first.contains("embeddedImageData"));

    auto copy = read(first);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->graphicNumber(), g->graphicNumber());
    EXPECT_EQ(copy->originalGraphicNumber(), g->graphicNumber());
    EXPECT_EQ(copy->shadow(), g->shadow());
    EXPECT_EQ(copy->linkBackData(), g->linkBackData());
    const QByteArray second = write(*copy);
    EXPECT_EQ(withoutNumbers(second), withoutNumbers(first));
}

TEST_F(TWGraphicXMLTest, ReaderDefaultsDifferFromANewGraphic)
{
    auto fresh = TWGraphic::create();
    EXPECT_FALSE(fresh->drawsShadow());
    EXPECT_FALSE(fresh->flippedVertically());

    auto g = read(element("<graphicNumber>5</graphicNumber>"));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->bounds(), Rect());
    EXPECT_TRUE(g->drawsStroke());
    EXPECT_EQ(g->strokeWidth(), 1.0f);
    EXPECT_TRUE(g->drawsFill());
    EXPECT_TRUE(g->drawsShadow());
    EXPECT_FALSE(g->flippedHorizontally());
    EXPECT_TRUE(g->flippedVertically());
    EXPECT_EQ(g->cornerAmount(), 10.0f);
    EXPECT_EQ(g->originalGraphicNumber(), 5);
    EXPECT_EQ(g->branch(), root.get());

    // Booleans are YES exactly; a width beyond the limit is replaced.
    g = read(element("<graphicNumber>5</graphicNumber><drawsStroke>yes</drawsStroke>"
                     "<bounds><width>20000000</width></bounds>"));
    EXPECT_FALSE(g->drawsStroke());
    EXPECT_EQ(g->bounds().width(), 100.0f);
    // A far branch of a big map keeps its place.
    g = read(element("<graphicNumber>5</graphicNumber><bounds><x>-123456.5</x>"
                     "<y>2500000</y><width>20000</width><height>40</height></bounds>"));
    EXPECT_EQ(g->bounds(), Rect(-123456.5f, 2500000, 20000, 40));

    // A LinkBack payload that is no property list is dropped; its key stays.
    g = read(element(QStringLiteral("<graphicNumber>1</graphicNumber><linkBackData>%1"
                                    "</linkBackData><linkBackItemKey>k</linkBackItemKey>")
                         .arg(TWBase64::twBase64String("not a plist"))));
    EXPECT_FALSE(g->linkBackData().isValid());
    EXPECT_EQ(g->linkBackItemKey(), u"k");
}

TEST_F(TWGraphicXMLTest, FactoryRefusesUnknownClassesAndMissingNumbers)
{
    EXPECT_FALSE(read("<mainGraphic><TWGraphic><class>NoSuchKind</class>"
                      "<graphicNumber>1</graphicNumber></TWGraphic></mainGraphic>"));
    EXPECT_FALSE(read(element("")));

    // A kind registered by name is made by the factory.
    struct Kind : TWGraphic
    {
        QString className() const override { return QStringLiteral("TestKind"); }
        bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr, xmlDocPtr) override
        {
            extra = reader.text("extra").value_or(QString());
            return true;
        }
        void addKindXmlData(XMLOut &out, bool) override { out.textElement("extra", extra); }
        QString extra;
    };
    TWGraphic::registerKind<Kind>("TestKind");
    auto made = std::make_shared<Kind>();
    made->init();
    made->extra = QStringLiteral("kept");
    const QByteArray text = write(*made);
    // The kind's children follow the base's.
    EXPECT_TRUE(text.endsWith("<movieReferenceStyle>0</movieReferenceStyle><extra>kept</extra>"
                              "</TWGraphic></mainGraphic>"))
        << text.constData();
    auto kind = std::dynamic_pointer_cast<Kind>(read(text));
    ASSERT_TRUE(kind);
    EXPECT_EQ(kind->extra, u"kept");
}

TEST_F(TWGraphicXMLTest, PastedPicturesMoveToNamesOfTheirOwn)
{
    const QByteArray picture("\x89PNG picture bytes", 18);
    document->setObjectInCachedData(picture, QStringLiteral("Images/Graphic7/photo.png"));
    auto g = TWGraphic::createWithBounds(Rect(0, 0, 10, 10));
    g->setBranch(root.get());
    g->setImageFilename(QStringLiteral("Images/Graphic7/photo.png"));
    EXPECT_FALSE(write(*g, false).contains("embeddedImageData"));
    const QByteArray text = write(*g, true);
    ASSERT_TRUE(text.contains("<embeddedImageData>" + picture.toBase64() + "</embeddedImageData>"));

    auto pasted = read(text);
    const QString expected =
        QStringLiteral("Images/Graphic7/PastedGraphic%1.png").arg(pasted->graphicNumber());
    EXPECT_EQ(pasted->imageFilename(), expected);
    EXPECT_EQ(document->objectForKeyInCachedData(expected), picture);
    EXPECT_EQ(document->objectForKeyInCachedData("Images/Graphic7/photo.png"), picture);

    // Data cut short keeps the bytes that came whole, under the pasted
    // picture's name, and the rest loads.
    const int entries = document->countOfCachedData();
    auto corrupt = read(element("<graphicNumber>1</graphicNumber>"
                                "<imageFilename>Images/G/a.png</imageFilename>"
                                "<embeddedImageData>AAAA/w</embeddedImageData>"
                                "<cornerMode>1</cornerMode>"));
    ASSERT_TRUE(corrupt);
    EXPECT_EQ(corrupt->cornerMode(), 1);
    const QString kept =
        QStringLiteral("Images/G/PastedGraphic%1.png").arg(corrupt->graphicNumber());
    EXPECT_EQ(corrupt->imageFilename(), kept);
    EXPECT_EQ(document->objectForKeyInCachedData(kept), QByteArray("\0\0\0\xff", 4));
    EXPECT_EQ(document->countOfCachedData(), entries + 1);
}

TEST_F(TWGraphicXMLTest, HostilePicturePathsAreRefused)
{
    struct Case
    {
        const char *stored;
        std::optional<QString> kept;
    } cases[] = {
        {"Images/Graphic7/photo.png", QStringLiteral("Images/Graphic7/photo.png")},
        {"Images//./Graphic7/photo.png", QStringLiteral("Images/Graphic7/photo.png")},
        {"../../etc/passwd", std::nullopt},
        {"Images/../../x.png", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"C:\\x.png", std::nullopt},
        {"Thinkweb/Contents.xml", std::nullopt},
        // The folder itself names no picture: pasted data would land at the
        // package root.
        {"Images", std::nullopt},
        {"Images/", std::nullopt},
        {"./Images//.", std::nullopt},
    };
    for (const Case &c : cases) {
        auto g = read(element(QStringLiteral("<graphicNumber>1</graphicNumber>"
                                             "<imageFilename>%1</imageFilename>"
                                             "<embeddedImageData>AAAA</embeddedImageData>")
                                  .arg(QString::fromUtf8(c.stored).toHtmlEscaped())));
        ASSERT_TRUE(g) << c.stored;
        if (c.kept)
            EXPECT_TRUE(
                g->imageFilename()->startsWith(c.kept->section('/', 0, -2) + "/PastedGraphic"))
                << c.stored;
        else
            EXPECT_FALSE(g->imageFilename()) << c.stored;
    }
    for (const QString &path : document->cachedData().keys())
        EXPECT_TRUE(path.startsWith("Images/") && !path.contains("..")) << path.toStdString();
}

TEST_F(TWGraphicXMLTest, RealsThatAreNotUsableNumbersReadAsIfMissing)
{
    const QString shadow = QStringLiteral(
        "<drawsShadow>YES</drawsShadow><inheritsShadow>NO</inheritsShadow><shadow><NSShadow>"
        "<shadowBlurRadius>%1</shadowBlurRadius><shadowOffset><width>%1</width>"
        "<height>%1</height></shadowOffset></NSShadow></shadow>");
    struct Case
    {
        QString children;
        float strokeWidth;
        float cornerAmount;
        float blur;
    } cases[] = {
        {"<strokeWidth>inf</strokeWidth>", 1, 10, 0},
        {"<strokeWidth>-inf</strokeWidth><cornerAmount>nan</cornerAmount>", 1, 10, 0},
        {"<strokeWidth>1e39</strokeWidth><cornerAmount>-1e39</cornerAmount>", 1, 10, 0},
        {"<strokeWidth>20000</strokeWidth>", 1, 10, 0},
        {"<strokeWidth>2.5</strokeWidth><cornerAmount>-3</cornerAmount>", 2.5f, -3, 0},
        {shadow.arg("inf"), 1, 10, 5},
        {shadow.arg("2"), 1, 10, 2},
    };
    auto a = child(root, 100, "a");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.children.toStdString());
        auto g = read(element("<bounds><x>10</x><y>10</y><width>50</width><height>20</height>"
                              "</bounds><graphicNumber>1</graphicNumber>" +
                              c.children));
        ASSERT_TRUE(g);
        EXPECT_EQ(g->strokeWidth(), c.strokeWidth);
        EXPECT_EQ(g->cornerAmount(), c.cornerAmount);
        if (c.blur > 0) {
            ASSERT_TRUE(g->shadow());
            EXPECT_EQ(g->shadow()->shadowBlurRadius(), c.blur);
            EXPECT_TRUE(std::isfinite(g->shadow()->shadowOffset().width));
        }
        // Attached to a branch, its drawing and the map's extent stay finite.
        g->setBranch(a.get());
        a->insertObjectInLinkedGraphicsAtIndex(g, 0);
        const Rect drawn = g->drawingBounds();
        const Rect extent = map->getBoundingDrawingRectForAllGraphics();
        for (const Rect &r : {drawn, extent}) {
            EXPECT_TRUE(std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
                        std::isfinite(r.height()))
                << r.x() << " " << r.width();
        }
        EXPECT_GT(drawn.width(), 50);
        a->removeObjectFromLinkedGraphicsAtIndex(0);
    }
}

} // namespace
