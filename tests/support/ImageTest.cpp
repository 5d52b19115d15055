#include "support/Image.h"
#include "ImageTestData.h"
#include "LogCapture.h"
#include "support/Base64.h"
#include "support/TWXMLProtocol.h"
#include "support/TWXMLValues.h"
#include "support/XMLDocument.h"

#include <gtest/gtest.h>

#include <QImageReader>

using namespace ImageTestData;

namespace {

QByteArray written(const Image &image)
{
    XMLDocument doc(XMLElement::create("XMLObj"));
    image.addXmlDataToNode(doc.rootElement().node());
    return doc.rootElement().xmlString();
}

std::optional<Image> readBack(const QByteArray &xml)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(xml);
    EXPECT_TRUE(doc.has_value()) << xml.constData();
    if (!doc)
        return std::nullopt;
    return Image::withXMLNode(doc->rootElement().node(), doc->xmlDoc());
}

QByteArray imageXML(const QByteArray &data, const char *children = "")
{
    return "<XMLObj><NSImage>" + QByteArray(children) + "<TIFFRepresentation>" +
           TWBase64::twBase64String(data).toLatin1() + "</TIFFRepresentation></NSImage></XMLObj>";
}

Image pngImage()
{
    std::optional<Image> image = Image::initWithData(encoded("png"));
    EXPECT_TRUE(image.has_value());
    return image.value_or(Image());
}

} // namespace

TEST(Image, ReadsEveryBitmapFormatLazily)
{
    for (const char *format : {"png", "jpeg", "tiff", "bmp"}) {
        const QByteArray bytes = encoded(format);
        ASSERT_FALSE(bytes.isEmpty()) << format;
        const std::optional<Image> image = Image::initWithData(bytes);
        ASSERT_TRUE(image.has_value()) << format;
        EXPECT_EQ(image->dataType(), QByteArray(format));
        EXPECT_EQ(image->data(), bytes);
        EXPECT_EQ(image->size(), Size(3, 2)) << format;
        ASSERT_EQ(image->representations().size(), 1);
        const QImage pixels = image->toQImage();
        ASSERT_EQ(pixels.size(), QSize(3, 2)) << format;
        if (QByteArray(format) != "jpeg") {
            EXPECT_EQ(pixels.pixel(0, 0), qRgb(255, 0, 0)) << format;
            EXPECT_EQ(pixels.pixel(2, 1), qRgb(128, 128, 128)) << format;
        }
    }
    const std::optional<Image> gifImage = Image::initWithData(gif());
    ASSERT_TRUE(gifImage.has_value());
    EXPECT_EQ(gifImage->dataType(), "gif");
    EXPECT_EQ(gifImage->size(), Size(1, 1));
    EXPECT_EQ(gifImage->toQImage().pixel(0, 0), qRgb(255, 255, 255));
}

TEST(Image, PageDescriptionsKeepTheirBytes)
{
    const std::optional<Image> pdfImage = Image::initWithData(pdf());
    ASSERT_TRUE(pdfImage.has_value());
    EXPECT_EQ(pdfImage->dataType(), "pdf");
    EXPECT_EQ(pdfImage->size(), Size(200.5f, 100));
    ASSERT_TRUE(std::holds_alternative<PDFImageRep>(pdfImage->representations().at(0)));
    EXPECT_EQ(std::get<PDFImageRep>(pdfImage->representations().at(0)).PDFRepresentation(), pdf());
    EXPECT_TRUE(pdfImage->toQImage().isNull());

    const std::optional<Image> epsImage = Image::initWithData(eps());
    ASSERT_TRUE(epsImage.has_value());
    EXPECT_EQ(epsImage->dataType(), "eps");
    EXPECT_EQ(epsImage->size(), Size(100, 50));
    EXPECT_EQ(std::get<EPSImageRep>(epsImage->representations().at(0)).EPSRepresentation(), eps());

    EXPECT_FALSE(Image::initWithData("not a picture").has_value());
    EXPECT_FALSE(Image::initWithData(QByteArray()).has_value());
    // Formats Qt reads but documents do not carry are not taken.
    EXPECT_FALSE(Image::initWithData("<svg xmlns='http://www.w3.org/2000/svg'/>").has_value());
}

TEST(Image, BytesThatDoNotDecodeAreKept)
{
    LogCapture log;
    const QByteArray png = encoded("png");
    // Header intact, pixel data cut short.
    const QByteArray truncated = png.left(png.indexOf("IDAT") + 8);
    std::optional<Image> image = Image::initWithData(truncated);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), Size(3, 2));
    EXPECT_TRUE(image->toQImage().isNull());
    EXPECT_TRUE(image->toQImage().isNull()); // tried once, logged once
    EXPECT_EQ(log.lines().filter(QStringLiteral("could not be decoded")).size(), 1);
    // Saving writes what was read.
    const std::optional<Image> back = readBack(written(*image));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->data(), truncated);
}

TEST(Image, HugeDeclaredPixelsAreNotDecoded)
{
    LogCapture log;
    std::optional<Image> image = Image::initWithData(pngHeader(200000, 100000));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), Size(200000, 100000));
    EXPECT_TRUE(image->toQImage().isNull());
    EXPECT_TRUE(log.contains("Image of 200000 x 100000 pixels is too large to decode"));

    // A header the reader itself refuses gives no image at all.
    EXPECT_FALSE(Image::initWithData(bmpHeader(2000000, 1000000)).has_value());
}

TEST(ImageXML, WritesEveryChildInOrder)
{
    Image image = pngImage();
    image.setBackgroundColor(Color::colorWithCalibratedRed(0.25, 0.5, 0.75, 1));
    image.setCacheDepthMatchesImageDepth(true);
    image.setCacheMode(2);
    image.setCachedSeparately(true);
    image.setDataRetained(true);
    image.setFlipped(true);
    image.setMatchesOnMultipleResolution(false);
    image.setName(QStringLiteral("Bild <1> & Ä"));
    image.setPrefersColorMatch(false);
    image.setScalesWhenResized(true);
    image.setSize({30.5f, 20});
    image.setUsesEPSOnResolutionMismatch(true);

    const QByteArray xml = written(image);
    QList<QByteArray> children;
    for (const QByteArray &line : xml.split('\n'))
        if (line.startsWith("    <") && !line.startsWith("    </"))
            children.append(line.mid(5, line.indexOf('>') - 5));
    EXPECT_EQ(children, QList<QByteArray>({"backgroundColor", "cacheDepthMatchesImageDepth",
                                           "cacheMode", "isCachedSeparately", "isDataRetained",
                                           "isFlipped", "matchesOnMultipleResolution", "name",
                                           "prefersColorMatch", "scalesWhenResized", "size",
                                           "TIFFRepresentation", "usesEPSOnResolutionMismatch"}));
    EXPECT_TRUE(xml.contains("<cacheMode>2</cacheMode>"));
    EXPECT_TRUE(xml.contains("<isFlipped>YES</isFlipped>"));
    EXPECT_TRUE(xml.contains("<name>Bild &lt;1&gt; &amp; \xC3\x84</name>"));
    EXPECT_TRUE(xml.contains("<width>30.500000</width>"));
    EXPECT_TRUE(xml.contains("<TIFFRepresentation>" +
                             TWBase64::twBase64String(encoded("png")).toLatin1() +
                             "</TIFFRepresentation>"));

    const std::optional<Image> back = readBack(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, image);
}

TEST(ImageXML, DefaultsOfANewImage)
{
    const Image image = pngImage();
    const QByteArray xml = written(image);
    EXPECT_FALSE(xml.contains("backgroundColor"));
    EXPECT_FALSE(xml.contains("<name>"));
    EXPECT_TRUE(xml.contains("<cacheDepthMatchesImageDepth>NO</cacheDepthMatchesImageDepth>"));
    EXPECT_TRUE(xml.contains("<matchesOnMultipleResolution>YES</matchesOnMultipleResolution>"));
    EXPECT_TRUE(xml.contains("<prefersColorMatch>YES</prefersColorMatch>"));
    const std::optional<Image> back = readBack(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, image);
}

TEST(ImageXML, MissingChildren)
{
    // Only the data: flags from the data, the size the data gives.
    std::optional<Image> bare = readBack(imageXML(encoded("png")));
    ASSERT_TRUE(bare.has_value());
    EXPECT_FALSE(bare->cacheDepthMatchesImageDepth());
    EXPECT_FALSE(bare->isFlipped());
    EXPECT_TRUE(bare->prefersColorMatch());
    EXPECT_EQ(bare->size(), Size(3, 2));
    EXPECT_FALSE(bare->backgroundColor().has_value());

    // A missing cacheDepthMatchesImageDepth reads NO, anything but "YES" is NO.
    std::optional<Image> flags = readBack(imageXML(
        encoded("png"), "<isFlipped>yes</isFlipped><prefersColorMatch>NO</prefersColorMatch>"
                        "<size><height>7</height></size>"));
    ASSERT_TRUE(flags.has_value());
    EXPECT_FALSE(flags->cacheDepthMatchesImageDepth());
    EXPECT_FALSE(flags->isFlipped());
    EXPECT_FALSE(flags->prefersColorMatch());
    EXPECT_EQ(flags->size(), Size(3, 7));
}

TEST(ImageXML, DataProblemsGiveNothing)
{
    LogCapture log;
    EXPECT_FALSE(readBack("<XMLObj><NSImage><size><width>3</width></size></NSImage></XMLObj>"));
    EXPECT_TRUE(log.contains("No referenced data for image"));
    log.clear();
    EXPECT_FALSE(readBack(imageXML("this is no picture at all")));
    EXPECT_TRUE(log.contains("Unable to initialize with read data"));
    log.clear();
    EXPECT_FALSE(readBack("<XMLObj><NSImage><TIFFRepresentation>iVBORw0KGgoA"
                          "B</TIFFRepresentation></NSImage></XMLObj>"));
    EXPECT_EQ(log.lines().size(), 2); // the Base64 damage, then the failure
    EXPECT_TRUE(log.contains("Unable to initialize with read data"));
    log.clear();
    EXPECT_FALSE(readBack("<XMLObj/>"));
}

TEST(ImageXML, ImplausibleSizesKeepTheDataSize)
{
    LogCapture log;
    for (const char *size : {"<size><width>1e30</width><height>-4</height></size>",
                             "<size><width>nan</width><height>inf</height></size>"}) {
        log.clear();
        const std::optional<Image> image = readBack(imageXML(encoded("png"), size));
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->size(), Size(3, 2)) << size;
        EXPECT_EQ(log.lines().size(), 2) << size;
    }
}

TEST(ImageXML, SnippetRoundTrip)
{
    Image image = pngImage();
    image.setName(QStringLiteral("snippet"));
    const QString text = image.xmlRepresentation();
    EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<XMLObj>\n  <NSImage>")));
    const std::optional<Image> back = Image::imageFromXMLRepresentation(text);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, image);

    EXPECT_FALSE(Image::imageFromXMLRepresentation(QString()).has_value());
    EXPECT_FALSE(Image::imageFromXMLRepresentation(QStringLiteral("<XMLObj>")).has_value());
    EXPECT_FALSE(Image::imageFromXMLRepresentation(QStringLiteral("<Other/>")).has_value());
}

TEST(ImageXML, ElementRouteWritesRepresentations)
{
    Image image = pngImage();
    image.addRepresentation(*PDFImageRep::imageRepWithData(pdf()));
    image.addRepresentation(*EPSImageRep::imageRepWithData(eps()));
    image.setFlipped(true);
    const XMLElement element = image.freshXMLElement();
    QStringList names;
    for (const XMLElement &child : element.elements())
        names.append(child.name());
    EXPECT_EQ(names, QStringList({"backgroundColor", "size", "isFlipped", "NSBitmapImageRep",
                                  "NSPDFImageRep", "NSEPSImageRep"}));
    EXPECT_EQ(element.elementForPath("backgroundColor/NSColor/alphaComponent").floatValue(), 0);
    EXPECT_EQ(element.stringForPath("size/width"), QStringLiteral("3.000000"));
    EXPECT_EQ(element.stringForPath("isFlipped"), QStringLiteral("YES"));
    EXPECT_EQ(TWXML::dataWithXMLElement(element.elementForPath("NSPDFImageRep/NSData")), pdf());

    // Images are not read back from this form; a container says so.
    EXPECT_FALSE(Image::objectWithXMLElement(element).has_value());
    LogCapture log;
    XMLElement holder = XMLElement::create("arrayItem");
    holder.addChild(element.copy());
    EXPECT_FALSE(TWXMLProtocol::readContainerItem(holder).isValid());
    EXPECT_TRUE(log.contains("Object could not be created from XML element: NSImage"));
}

TEST(ImageRepXML, RepresentationsReadBackThroughTheRegistry)
{
    const BitmapImageRep bitmap = *BitmapImageRep::imageRepWithData(encoded("png"));
    const QVariant readBitmap = TWXMLProtocol::objectWithXMLElement(bitmap.freshXMLElement());
    ASSERT_TRUE(readBitmap.canConvert<BitmapImageRep>());
    EXPECT_EQ(readBitmap.value<BitmapImageRep>(), bitmap);
    EXPECT_EQ(readBitmap.value<BitmapImageRep>().image().pixel(1, 0), qRgb(0, 255, 0));

    const PDFImageRep pdfRep = *PDFImageRep::imageRepWithData(pdf());
    const QVariant readPDF = TWXMLProtocol::objectWithXMLElement(pdfRep.freshXMLElement());
    ASSERT_TRUE(readPDF.canConvert<PDFImageRep>());
    EXPECT_EQ(readPDF.value<PDFImageRep>().size(), Size(200.5f, 100));

    const EPSImageRep epsRep = *EPSImageRep::imageRepWithData(eps());
    const QVariant readEPS = TWXMLProtocol::objectWithXMLElement(epsRep.freshXMLElement());
    ASSERT_TRUE(readEPS.canConvert<EPSImageRep>());
    EXPECT_EQ(readEPS.value<EPSImageRep>(), epsRep);

    // A bitmap element holding a PDF, or no data at all, gives nothing.
    LogCapture log;
    XMLElement wrong = XMLElement::create("NSBitmapImageRep");
    wrong.addChild(TWXML::dataFreshXMLElement(pdf()));
    EXPECT_FALSE(BitmapImageRep::objectWithXMLElement(wrong).has_value());
    EXPECT_FALSE(EPSImageRep::objectWithXMLElement(XMLElement::create("NSEPSImageRep")));
}

TEST(ImageRep, TIFFRepresentationOfOtherBitmaps)
{
    const BitmapImageRep png = *BitmapImageRep::imageRepWithData(encoded("png"));
    const QByteArray tiff = png.TIFFRepresentation();
    QBuffer buffer;
    buffer.setData(tiff);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    EXPECT_EQ(reader.format(), "tiff");
    const QImage pixels = reader.read();
    EXPECT_EQ(pixels.pixel(2, 0), qRgb(0, 0, 255));

    const QByteArray tiffBytes = encoded("tiff");
    EXPECT_EQ(BitmapImageRep::imageRepWithData(tiffBytes)->TIFFRepresentation(), tiffBytes);
}
