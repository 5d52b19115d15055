#include "support/Cursor.h"
#include "ImageTestData.h"
#include "TestHelpers.h"
#include "support/GlyphInfo.h"

using namespace XMLTest;

namespace {

std::optional<Cursor> readCursor(const QString &xml)
{
    return readFrom(xml, &Cursor::cursorWithXMLNode);
}

const std::optional<Image> &picture()
{
    static const std::optional<Image> image = Image::initWithData(ImageTestData::encoded("png"));
    return image;
}

TEST(CursorXML, StandardCursorsAreWrittenByNameAlone)
{
    EXPECT_EQ(written(Cursor(Cursor::IBeamCursor)),
              "<NSCursor><standardCursor>IBeamCursor</standardCursor></NSCursor>");
    // Every name survives, including those Qt has no shape for.
    const QStringList &names = Cursor::standardCursorNames();
    ASSERT_EQ(names.size(), 13);
    EXPECT_EQ(names.first(), "arrowCursor");
    EXPECT_EQ(names.last(), "resizeUpDownCursor");
    for (int i = 0; i < 13; ++i) {
        const std::optional<Cursor> back = readCursor(written(Cursor(Cursor::StandardCursor(i))));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->standardCursorName(), names.at(i));
    }
}

TEST(CursorXML, CustomCursorExactTextAndRoundTrip)
{
    ASSERT_TRUE(picture().has_value());
    Cursor cursor(picture(), {1.5f, 1});
    cursor.setOnMouseEntered(true);
    const QString xml = written(cursor);
    EXPECT_EQ(xml, "<NSCursor><hotSpot><x>1.500000</x><y>1.000000</y></hotSpot><image>" +
                       written(*picture()) +
                       "</image><isSetOnMouseEntered>YES</isSetOnMouseEntered>"
                       "<isSetOnMouseExited>NO</isSetOnMouseExited></NSCursor>");
    const std::optional<Cursor> back = readCursor(xml);
    EXPECT_EQ(back, cursor);
    EXPECT_EQ(back->image()->data(), picture()->data());
}

TEST(CursorXML, MissingUnknownAndBrokenParts)
{
    LogCapture log;
    EXPECT_FALSE(readCursor("<NSCursor><standardCursor>busyCursor</standardCursor>"
                            "<hotSpot><x>1</x><y>1</y></hotSpot></NSCursor>"));
    EXPECT_FALSE(readCursor(""));
    // An empty name is no name; missing flags are NO and a missing picture
    // shows the arrow.
    const std::optional<Cursor> custom =
        readCursor("<NSCursor><standardCursor></standardCursor><hotSpot><y>4</y></hotSpot>"
                   "<isSetOnMouseExited>YES</isSetOnMouseExited></NSCursor>");
    ASSERT_TRUE(custom.has_value());
    EXPECT_FALSE(custom->isStandard());
    EXPECT_EQ(custom->hotSpot(), Point(0, 4));
    EXPECT_FALSE(custom->isSetOnMouseEntered());
    EXPECT_TRUE(custom->isSetOnMouseExited());
    EXPECT_FALSE(custom->image().has_value());
    EXPECT_EQ(custom->toQCursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(written(*custom), "<NSCursor><hotSpot><x>0.000000</x><y>4.000000</y></hotSpot>"
                                "<image/><isSetOnMouseEntered>NO</isSetOnMouseEntered>"
                                "<isSetOnMouseExited>YES</isSetOnMouseExited></NSCursor>");

    // A picture whose data is no image: logged, the cursor still comes.
    const std::optional<Cursor> broken =
        readCursor("<NSCursor><hotSpot><x>nan</x><y>1</y></hotSpot><image><NSImage>"
                   "<TIFFRepresentation>AAAA</TIFFRepresentation></NSImage></image></NSCursor>");
    ASSERT_TRUE(broken.has_value());
    EXPECT_FALSE(broken->image().has_value());
    EXPECT_EQ(broken->hotSpot(), Point(0, 1));
    EXPECT_TRUE(log.contains("Unable to initialize with read data"));
}

TEST(Cursor, QtShapes)
{
    EXPECT_EQ(Cursor().toQCursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(Cursor(Cursor::IBeamCursor).toQCursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(Cursor(Cursor::ResizeLeftRightCursor).toQCursor().shape(), Qt::SizeHorCursor);
    EXPECT_EQ(Cursor(Cursor::ResizeUpCursor).toQCursor().shape(), Qt::SizeVerCursor);
    const QCursor custom = Cursor(picture(), {2, 1}).toQCursor();
    EXPECT_EQ(custom.shape(), Qt::BitmapCursor);
    EXPECT_EQ(custom.hotSpot(), QPoint(2, 1));
    EXPECT_EQ(custom.pixmap().size(), QSize(3, 2));
    // A hot spot off the picture is brought onto it.
    EXPECT_EQ(Cursor(picture(), {50, -3}).toQCursor().hotSpot(), QPoint(2, 0));
}

TEST(GlyphInfoXML, EachKindExactTextAndRoundTrip)
{
    const QString font = "<font><NSFont><fontName>NoSuchFont-Bold</fontName><size>14.000000</size>"
                         "</NSFont></font>";
    const std::pair<GlyphInfo, QString> cases[] = {
        {GlyphInfo::glyphInfoWithGlyphName(QStringLiteral("f_i"), Font("NoSuchFont-Bold", 14),
                                           QStringLiteral("fi")),
         "<className>NSGlyphNameGlyphInfo</className><baseString>fi</baseString>"
         "<glyphName>f_i</glyphName>" +
             font},
        {GlyphInfo::glyphInfoWithGlyph(1234, Font("NoSuchFont-Bold", 14), QString("\u00e9")),
         "<className>NSIdentityGlyphInfo</className><baseString>\u00e9</baseString>"
         "<glyph>1234</glyph>" +
             font},
        {GlyphInfo::glyphInfoWithCharacterIdentifier(7, 2, QStringLiteral("x")),
         "<className>NSCIDGlyphInfo</className><baseString>x</baseString><cid>7</cid>"
         "<characterCollection>2</characterCollection>"}};
    for (const auto &[info, children] : cases) {
        EXPECT_EQ(written(info), "<NSGlyphInfo>" + children + "</NSGlyphInfo>");
        EXPECT_EQ(readFrom(written(info), &GlyphInfo::glyphInfoWithXMLNode), info);
    }
}

TEST(GlyphInfoXML, MissingAndUnknownParts)
{
    LogCapture log;
    EXPECT_FALSE(readFrom("<NSGlyphInfo><className>NSFancyGlyphInfo</className></NSGlyphInfo>",
                          &GlyphInfo::glyphInfoWithXMLNode));
    EXPECT_FALSE(readFrom("<NSGlyphInfo><baseString>a</baseString></NSGlyphInfo>",
                          &GlyphInfo::glyphInfoWithXMLNode));
    EXPECT_EQ(readFrom("<NSGlyphInfo><className>NSIdentityGlyphInfo</className></NSGlyphInfo>",
                       &GlyphInfo::glyphInfoWithXMLNode),
              GlyphInfo::glyphInfoWithGlyph(0, std::nullopt, std::nullopt));
    EXPECT_EQ(readFrom("<NSGlyphInfo><className>NSCIDGlyphInfo</className><cid>9</cid>"
                       "</NSGlyphInfo>",
                       &GlyphInfo::glyphInfoWithXMLNode),
              GlyphInfo::glyphInfoWithCharacterIdentifier(9, 0, std::nullopt));
}

} // namespace
