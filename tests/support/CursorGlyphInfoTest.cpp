#include "ImageTestData.h"
#include "LogCapture.h"
#include "support/Cursor.h"
#include "support/GlyphInfo.h"
#include "support/ShadowZoomed.h"
#include "support/XMLDocument.h"

#include <gtest/gtest.h>

#include <QPixmap>

namespace {

template <class T> QByteArray written(const T &value)
{
    XMLDocument doc(XMLElement::create("XMLObj"));
    value.addXmlDataToNode(doc.rootElement().node());
    return doc.rootElement().xmlString();
}

template <class Read> auto readBack(const QByteArray &xml, Read read)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(xml);
    EXPECT_TRUE(doc.has_value()) << xml.constData();
    if (!doc)
        return decltype(read(nullptr, nullptr))();
    return read(doc->rootElement().node(), doc->xmlDoc());
}

std::optional<Cursor> readCursor(const QByteArray &xml)
{
    return readBack(xml, &Cursor::cursorWithXMLNode);
}

std::optional<GlyphInfo> readGlyphInfo(const QByteArray &xml)
{
    return readBack(xml, &GlyphInfo::glyphInfoWithXMLNode);
}

QStringList childNames(const QByteArray &xml, const char *path)
{
    QStringList names;
    for (const XMLElement &child : XMLElement::parse(xml).elementForPath(path).elements())
        names.append(child.name());
    return names;
}

} // namespace

TEST(CursorXML, StandardCursorIsWrittenByNameAlone)
{
    const Cursor iBeam(Cursor::IBeamCursor);
    EXPECT_EQ(written(iBeam), QByteArray("<XMLObj>\n"
                                         "  <NSCursor>\n"
                                         "    <standardCursor>IBeamCursor</standardCursor>\n"
                                         "  </NSCursor>\n"
                                         "</XMLObj>"));
    EXPECT_EQ(readCursor(written(iBeam)), iBeam);

    // Every standard name survives, including those Qt has no shape for.
    ASSERT_EQ(Cursor::standardCursorNames().size(), 13);
    for (int i = 0; i < 13; ++i) {
        const Cursor cursor{Cursor::StandardCursor(i)};
        const std::optional<Cursor> back = readCursor(written(cursor));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->standardCursorName(), Cursor::standardCursorNames().at(i));
    }
    EXPECT_EQ(Cursor::standardCursorNames().first(), QStringLiteral("arrowCursor"));
    EXPECT_EQ(Cursor::standardCursorNames().last(), QStringLiteral("resizeUpDownCursor"));
}

TEST(CursorXML, UnknownStandardNameReadsAsNothing)
{
    LogCapture log;
    EXPECT_FALSE(readCursor("<XMLObj><NSCursor><standardCursor>busyCursor</standardCursor>"
                            "<hotSpot><x>1</x><y>1</y></hotSpot></NSCursor></XMLObj>"));
    EXPECT_FALSE(readCursor("<XMLObj/>"));
    // An empty name is no name: the picture form is read.
    const std::optional<Cursor> custom =
        readCursor("<XMLObj><NSCursor><standardCursor></standardCursor>"
                   "<hotSpot><x>2</x><y>3</y></hotSpot></NSCursor></XMLObj>");
    ASSERT_TRUE(custom.has_value());
    EXPECT_FALSE(custom->isStandard());
    EXPECT_EQ(custom->hotSpot(), Point(2, 3));
}

TEST(CursorXML, CustomCursorRoundTrip)
{
    const std::optional<Image> image = Image::initWithData(ImageTestData::encoded("png"));
    ASSERT_TRUE(image.has_value());
    Cursor cursor(image, {1.5f, 1});
    cursor.setOnMouseEntered(true);
    const QByteArray xml = written(cursor);
    EXPECT_EQ(childNames(xml, "NSCursor"),
              QStringList({"hotSpot", "image", "isSetOnMouseEntered", "isSetOnMouseExited"}));
    EXPECT_EQ(childNames(xml, "NSCursor/hotSpot"), QStringList({"x", "y"}));
    EXPECT_EQ(childNames(xml, "NSCursor/image"), QStringList({"NSImage"}));
    EXPECT_TRUE(xml.contains("<x>1.500000</x>"));
    EXPECT_TRUE(xml.contains("<isSetOnMouseEntered>YES</isSetOnMouseEntered>"));
    EXPECT_TRUE(xml.contains("<isSetOnMouseExited>NO</isSetOnMouseExited>"));
    const std::optional<Cursor> back = readCursor(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, cursor);
    ASSERT_TRUE(back->image().has_value());
    EXPECT_EQ(back->image()->data(), image->data());
}

TEST(CursorXML, MissingFlagsAndPictureReadAsNo)
{
    LogCapture log;
    const std::optional<Cursor> cursor =
        readCursor("<XMLObj><NSCursor><hotSpot><y>4</y></hotSpot>"
                   "<isSetOnMouseExited>YES</isSetOnMouseExited></NSCursor></XMLObj>");
    ASSERT_TRUE(cursor.has_value());
    EXPECT_EQ(cursor->hotSpot(), Point(0, 4));
    EXPECT_FALSE(cursor->isSetOnMouseEntered());
    EXPECT_TRUE(cursor->isSetOnMouseExited());
    EXPECT_FALSE(cursor->image().has_value());
    EXPECT_EQ(cursor->toQCursor().shape(), Qt::ArrowCursor);

    // A picture whose data is no image: logged, the cursor still comes.
    const std::optional<Cursor> broken = readCursor(
        "<XMLObj><NSCursor><hotSpot><x>nan</x><y>1</y></hotSpot><image><NSImage>"
        "<TIFFRepresentation>AAAA</TIFFRepresentation></NSImage></image></NSCursor></XMLObj>");
    ASSERT_TRUE(broken.has_value());
    EXPECT_FALSE(broken->image().has_value());
    EXPECT_EQ(broken->hotSpot(), Point(0, 1));
    EXPECT_TRUE(log.contains("Unable to initialize with read data"));
}

TEST(Cursor, QtShapes)
{
    EXPECT_EQ(Cursor().toQCursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(Cursor(Cursor::IBeamCursor).toQCursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(Cursor(Cursor::PointingHandCursor).toQCursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Cursor(Cursor::ResizeLeftRightCursor).toQCursor().shape(), Qt::SizeHorCursor);
    EXPECT_EQ(Cursor(Cursor::ResizeUpCursor).toQCursor().shape(), Qt::SizeVerCursor);
    EXPECT_EQ(Cursor(Cursor::DisappearingItemCursor).standardCursorName(),
              QStringLiteral("disappearingItemCursor"));

    const std::optional<Image> image = Image::initWithData(ImageTestData::encoded("png"));
    const QCursor custom = Cursor(image, {2, 1}).toQCursor();
    EXPECT_EQ(custom.shape(), Qt::BitmapCursor);
    EXPECT_EQ(custom.hotSpot(), QPoint(2, 1));
    EXPECT_EQ(custom.pixmap().size(), QSize(3, 2));
    // A hot spot off the picture is brought onto it.
    EXPECT_EQ(Cursor(image, {50, -3}).toQCursor().hotSpot(), QPoint(2, 0));
}

TEST(GlyphInfoXML, EachKindWithItsChildren)
{
    const GlyphInfo byName = GlyphInfo::glyphInfoWithGlyphName(
        QStringLiteral("f_i"), Font(QStringLiteral("NoSuchFont-Bold"), 14), QStringLiteral("fi"));
    QByteArray xml = written(byName);
    EXPECT_EQ(childNames(xml, "NSGlyphInfo"),
              QStringList({"className", "baseString", "glyphName", "font"}));
    EXPECT_TRUE(xml.contains("<className>NSGlyphNameGlyphInfo</className>"));
    EXPECT_EQ(childNames(xml, "NSGlyphInfo/font"), QStringList({"NSFont"}));
    std::optional<GlyphInfo> back = readGlyphInfo(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, byName);
    EXPECT_EQ(back->font()->fontName(), QStringLiteral("NoSuchFont-Bold"));

    const GlyphInfo identity = GlyphInfo::glyphInfoWithGlyph(
        1234, Font(QStringLiteral("Helvetica"), 12), QString("\u00e9"));
    xml = written(identity);
    EXPECT_EQ(childNames(xml, "NSGlyphInfo"),
              QStringList({"className", "baseString", "glyph", "font"}));
    EXPECT_TRUE(xml.contains("<glyph>1234</glyph>"));
    back = readGlyphInfo(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, identity);

    const GlyphInfo cid = GlyphInfo::glyphInfoWithCharacterIdentifier(7, 2, QStringLiteral("x"));
    xml = written(cid);
    EXPECT_EQ(childNames(xml, "NSGlyphInfo"),
              QStringList({"className", "baseString", "cid", "characterCollection"}));
    back = readGlyphInfo(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, cid);
    EXPECT_EQ(back->kind(), GlyphInfo::CIDKind);
}

TEST(GlyphInfoXML, MissingAndUnknownParts)
{
    LogCapture log;
    EXPECT_FALSE(readGlyphInfo("<XMLObj><NSGlyphInfo><className>NSFancyGlyphInfo</className>"
                               "</NSGlyphInfo></XMLObj>"));
    EXPECT_FALSE(readGlyphInfo("<XMLObj><NSGlyphInfo><baseString>a</baseString>"
                               "</NSGlyphInfo></XMLObj>"));
    const std::optional<GlyphInfo> sparse = readGlyphInfo(
        "<XMLObj><NSGlyphInfo><className>NSIdentityGlyphInfo</className></NSGlyphInfo></XMLObj>");
    ASSERT_TRUE(sparse.has_value());
    EXPECT_EQ(sparse->glyph(), 0);
    EXPECT_FALSE(sparse->font().has_value());
    EXPECT_FALSE(sparse->baseString().has_value());
    const std::optional<GlyphInfo> cid = readGlyphInfo(
        "<XMLObj><NSGlyphInfo><className>NSCIDGlyphInfo</className><cid>9</cid></NSGlyphInfo>"
        "</XMLObj>");
    ASSERT_TRUE(cid.has_value());
    EXPECT_EQ(cid->characterIdentifier(), 9);
    EXPECT_EQ(cid->characterCollection(), 0);
}

TEST(ShadowZoom, ScalesOffsetAndBlur)
{
    const Shadow shadow(Size(3, -4), 5, Color::colorWithCalibratedRed(1, 0, 0, 0.5));
    const Shadow doubled = Zoomed::shadowZoomedTo(shadow, 200);
    EXPECT_EQ(doubled.shadowOffset(), Size(6, -8));
    EXPECT_EQ(doubled.shadowBlurRadius(), 10);
    EXPECT_EQ(doubled.shadowColor(), shadow.shadowColor());
    EXPECT_EQ(Zoomed::shadowZoomedTo(shadow, 100), shadow);
    EXPECT_EQ(Zoomed::shadowZoomedTo(shadow, 50).shadowBlurRadius(), 2.5);
}
