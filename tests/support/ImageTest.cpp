#include "support/Image.h"
#include "ImageTestData.h"
#include "TestHelpers.h"
#include "support/Base64.h"
#include "support/TWXMLProtocol.h"
#include "support/TWXMLValues.h"

using namespace ImageTestData;
using XMLTest::written;

namespace {

std::optional<Image> readImage(const QString &innerXML)
{
    return XMLTest::readFrom(innerXML, &Image::withXMLNode);
}

QString imageXML(const QByteArray &data, const QString &children = {})
{
    return "<NSImage>" + children + "<TIFFRepresentation>" + TWBase64::twBase64String(data) +
           "</TIFFRepresentation></NSImage>";
}

Image pngImage()
{
    std::optional<Image> image = Image::initWithData(encoded("png"));
    EXPECT_TRUE(image.has_value());
    return image.value_or(Image());
}

TEST(Image, ReadsEveryFormatKeepingItsBytes)
{
    for (const char *format : {"png", "jpeg", "tiff", "bmp", "gif"}) {
        SCOPED_TRACE(format);
        const QByteArray bytes = QByteArray(format) == "gif" ? gif() : encoded(format);
        const std::optional<Image> image = Image::initWithData(bytes);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->dataType(), QByteArray(format));
        EXPECT_EQ(image->data(), bytes);
        ASSERT_EQ(image->representations().size(), 1);
        const QImage pixels = image->toQImage();
        EXPECT_EQ(image->size(), QByteArray(format) == "gif" ? Size(1, 1) : Size(3, 2));
        EXPECT_EQ(pixels.width(), int(image->size().width));
        if (QByteArray(format) != "jpeg" && QByteArray(format) != "gif") {
            EXPECT_EQ(pixels.pixel(0, 0), qRgb(255, 0, 0));
            EXPECT_EQ(pixels.pixel(2, 1), qRgb(128, 128, 128));
        }
    }

    // Page descriptions keep their bytes and have no pixels.
    const std::optional<Image> pdfImage = Image::initWithData(pdf());
    ASSERT_TRUE(pdfImage.has_value());
    EXPECT_EQ(pdfImage->dataType(), "pdf");
    EXPECT_EQ(pdfImage->size(), Size(200.5f, 100));
    EXPECT_EQ(std::get<PDFImageRep>(pdfImage->representations().at(0)).PDFRepresentation(), pdf());
    EXPECT_TRUE(pdfImage->toQImage().isNull());
    const std::optional<Image> epsImage = Image::initWithData(eps());
    ASSERT_TRUE(epsImage.has_value());
    EXPECT_EQ(epsImage->size(), Size(100, 50));
    EXPECT_EQ(std::get<EPSImageRep>(epsImage->representations().at(0)).EPSRepresentation(), eps());

    // Formats Qt reads but documents do not carry are not taken.
    for (const QByteArray &bad : {QByteArray("not a picture"), QByteArray(),
                                  QByteArray("<svg xmlns='http://www.w3.org/2000/svg'/>")})
        EXPECT_FALSE(Image::initWithData(bad).has_value()) << bad.left(20).constData();
}

TEST(Image, BytesThatDoNotDecodeAreKept)
{
    LogCapture log;
    const QByteArray png = encoded("png");
    const QByteArray truncated = png.left(png.indexOf("IDAT") + 8); // header intact
    std::optional<Image> image = Image::initWithData(truncated);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), Size(3, 2));
    EXPECT_TRUE(image->toQImage().isNull());
    EXPECT_TRUE(image->toQImage().isNull()); // tried once, logged once
    EXPECT_EQ(log.containing("could not be decoded"), 1);
    EXPECT_EQ(readImage(written(*image))->data(), truncated);

    // Huge declared pixels are not decoded at all.
    image = Image::initWithData(pngHeader(200000, 100000));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), Size(200000, 100000));
    EXPECT_TRUE(image->toQImage().isNull());
    EXPECT_TRUE(log.contains("Image of 200000 x 100000 pixels is too large to decode"));
}

TEST(ImageXML, ExactTextAndRoundTrip)
{
    Image image = pngImage();
    image.setBackgroundColor(Color::colorWithCalibratedRed(0.25, 0.5, 0.75, 1));
    image.setCacheDepthMatchesImageDepth(true);
    image.setCacheMode(2);
    image.setCachedSeparately(true);
    image.setDataRetained(true);
    image.setFlipped(true);
    image.setMatchesOnMultipleResolution(false);
    image.setName(QStringLiteral("Bild <1> & \u00c4"));
    image.setPrefersColorMatch(false);
    image.setScalesWhenResized(true);
    image.setSize({30.5f, 20});
    image.setUsesEPSOnResolutionMismatch(true);
    const QString xml = written(image);
    EXPECT_EQ(xml, "<NSImage><backgroundColor>" +
                       written(Color::colorWithCalibratedRed(0.25, 0.5, 0.75, 1)) +
                       "</backgroundColor><cacheDepthMatchesImageDepth>YES"
                       "</cacheDepthMatchesImageDepth><cacheMode>2</cacheMode>"
                       "<isCachedSeparately>YES</isCachedSeparately><isDataRetained>YES"
                       "</isDataRetained><isFlipped>YES</isFlipped><matchesOnMultipleResolution>NO"
                       "</matchesOnMultipleResolution><name>Bild &lt;1&gt; &amp; \u00c4</name>"
                       "<prefersColorMatch>NO</prefersColorMatch><scalesWhenResized>YES"
                       "</scalesWhenResized><size><width>30.500000</width><height>20.000000"
                       "</height></size><TIFFRepresentation>" +
                       TWBase64::twBase64String(encoded("png")) +
                       "</TIFFRepresentation><usesEPSOnResolutionMismatch>YES"
                       "</usesEPSOnResolutionMismatch></NSImage>");
    EXPECT_EQ(readImage(xml), image);
    // A new image has a transparent background and no name.
    const QString plain = written(pngImage());
    EXPECT_TRUE(plain.startsWith("<NSImage><backgroundColor>" +
                                 written(Color::colorWithCalibratedRed(0, 0, 0, 0)) +
                                 "</backgroundColor><cacheDepthMatchesImageDepth>"));
    EXPECT_FALSE(plain.contains("<name>"));
    image.setBackgroundColor(std::nullopt);
    EXPECT_FALSE(written(image).contains("backgroundColor"));
    EXPECT_TRUE(plain.contains("<cacheDepthMatchesImageDepth>NO</cacheDepthMatchesImageDepth>"));
    EXPECT_EQ(readImage(plain), pngImage());

    // The snippet form reads back too.
    image.setBackgroundColor(Color::colorWithCalibratedRed(0.25, 0.5, 0.75, 1));
    EXPECT_EQ(Image::imageFromXMLRepresentation(image.xmlRepresentation()), image);
    for (const char *junk : {"", "<XMLObj>", "<Other/>"})
        EXPECT_FALSE(Image::imageFromXMLRepresentation(junk).has_value()) << junk;
}

// Only the data is needed; flags default as for a new image, anything but
// "YES" is NO, and an unusable size keeps the size of the data.
TEST(ImageXML, MissingAndOddChildren)
{
    const std::optional<Image> bare = readImage(imageXML(encoded("png")));
    EXPECT_EQ(bare, pngImage());
    EXPECT_TRUE(bare->prefersColorMatch());
    EXPECT_TRUE(bare->matchesOnMultipleResolution());
    EXPECT_EQ(bare->backgroundColor(), Color::colorWithCalibratedRed(0, 0, 0, 0));

    const std::optional<Image> flags =
        readImage(imageXML(encoded("png"), "<isFlipped>yes</isFlipped><prefersColorMatch>NO"
                                           "</prefersColorMatch><size><height>7</height></size>"));
    ASSERT_TRUE(flags.has_value());
    EXPECT_FALSE(flags->isFlipped());
    EXPECT_FALSE(flags->prefersColorMatch());
    EXPECT_EQ(flags->size(), Size(3, 7));

    LogCapture log;
    for (const char *size : {"<size><width>1e30</width><height>-4</height></size>",
                             "<size><width>nan</width><height>inf</height></size>"})
        EXPECT_EQ(readImage(imageXML(encoded("png"), size))->size(), Size(3, 2)) << size;
    EXPECT_EQ(log.lines().size(), 4);
}

TEST(ImageXML, DataProblemsGiveNothing)
{
    const std::pair<QString, QStringList> cases[] = {
        {"<NSImage><size><width>3</width></size></NSImage>", {"No referenced data for image"}},
        {imageXML("this is no picture at all"), {"Unable to initialize with read data"}},
        {"<NSImage><TIFFRepresentation>iVBORw0KGgoAB</TIFFRepresentation></NSImage>",
         {"Base64Error: Premature end of Base64 string", "Unable to initialize with read data"}}};
    for (const auto &[xml, lines] : cases) {
        LogCapture log;
        EXPECT_FALSE(readImage(xml));
        EXPECT_EQ(log.lines(), lines);
    }
    EXPECT_FALSE(readImage(""));
}

TEST(ImageXML, ElementRouteWritesRepresentationsButIsNotRead)
{
    Image image = pngImage();
    image.addRepresentation(*PDFImageRep::imageRepWithData(pdf()));
    image.addRepresentation(*EPSImageRep::imageRepWithData(eps()));
    const XMLElement element = image.freshXMLElement();
    QStringList names;
    for (const XMLElement &child : element.elements())
        names.append(child.name());
    EXPECT_EQ(names, QStringList({"backgroundColor", "size", "isFlipped", "NSBitmapImageRep",
                                  "NSPDFImageRep", "NSEPSImageRep"}));
    EXPECT_EQ(element.elementForPath("backgroundColor/NSColor/alphaComponent").floatValue(), 0);
    EXPECT_EQ(element.stringForPath("size/width"), "3.000000");
    EXPECT_EQ(element.stringForPath("isFlipped"), "NO");
    EXPECT_EQ(TWXML::dataWithXMLElement(element.elementForPath("NSPDFImageRep/NSData")), pdf());

    LogCapture log;
    XMLElement holder = XMLElement::create("arrayItem");
    holder.addChild(element.copy());
    EXPECT_FALSE(TWXMLProtocol::readContainerItem(holder).isValid());
    EXPECT_TRUE(log.contains("Object could not be created from XML element: NSImage"));
}

TEST(ImageRep, RepresentationsReadBackThroughTheRegistry)
{
    const BitmapImageRep bitmap = *BitmapImageRep::imageRepWithData(encoded("png"));
    for (const QVariant &rep :
         {QVariant::fromValue(bitmap), QVariant::fromValue(*PDFImageRep::imageRepWithData(pdf())),
          QVariant::fromValue(*EPSImageRep::imageRepWithData(eps()))})
        EXPECT_EQ(TWXMLProtocol::objectWithXMLElement(TWXMLProtocol::freshXMLElement(rep)), rep);

    // A bitmap element holding a PDF, or no data at all, gives nothing.
    LogCapture log;
    XMLElement wrong = XMLElement::create("NSBitmapImageRep");
    wrong.addChild(TWXML::dataFreshXMLElement(pdf()));
    EXPECT_FALSE(BitmapImageRep::objectWithXMLElement(wrong).has_value());
    EXPECT_FALSE(EPSImageRep::objectWithXMLElement(XMLElement::create("NSEPSImageRep")));

    // Other bitmaps give their TIFF; TIFF bytes are given as they are.
    QImage tiff;
    ASSERT_TRUE(tiff.loadFromData(bitmap.TIFFRepresentation(), "tiff"));
    EXPECT_EQ(tiff.pixel(2, 0), qRgb(0, 0, 255));
    EXPECT_EQ(BitmapImageRep::imageRepWithData(encoded("tiff"))->TIFFRepresentation(),
              encoded("tiff"));
}

} // namespace
