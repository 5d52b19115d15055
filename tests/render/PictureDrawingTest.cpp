#include "GoldenImage.h"
#include "PictureTestData.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"

#include <QElapsedTimer>
#include <QPainter>

namespace {

using namespace PictureTestData;

Image image(const QByteArray &bytes)
{
    std::optional<Image> image = Image::initWithData(bytes);
    EXPECT_TRUE(image.has_value());
    return image.value_or(Image());
}

bool drawn(QImage &canvas, const Image &picture, Rect rect)
{
    QPainter painter(&canvas);
    DrawingContext context(painter, false);
    return PictureDrawing::drawImage(context, picture, rect);
}

QImage whiteCanvas(Size size, qreal pixelsPerPoint = 1.0)
{
    return DrawingContext::makeImage(size, pixelsPerPoint, Qt::white);
}

TEST(PictureDrawing, PicturesOfEveryKindDrawAsTheReference)
{
    const Image png = image(pngPicture());
    const Image pdf = image(pdfPicture());
    const Image eps = image(epsPicture());
    ASSERT_EQ(pdf.dataType(), "pdf");
    ASSERT_EQ(eps.dataType(), "eps");
    EXPECT_EQ(png.size(), Size(2, 2)) << "4 pixels at 144 dpi";
    EXPECT_NEAR(pdf.size().width, 100, 0.5);
    EXPECT_EQ(eps.size(), Size(100, 50));

    QImage canvas = whiteCanvas(Size(380, 90));
    const Rect pngRect(10, 10, 60, 60), pdfRect(90, 10, 140, 70), epsRect(250, 20, 120, 60);
    EXPECT_TRUE(drawn(canvas, png, pngRect));
    EXPECT_TRUE(drawn(canvas, pdf, pdfRect));
    EXPECT_TRUE(drawn(canvas, eps, epsRect));
    // Each picture is upright: its top-left corner holds the blue mark.
    EXPECT_TRUE(isNear(canvas.pixel(14, 14), qRgb(30, 60, 220)));
    EXPECT_TRUE(isNear(canvas.pixel(93, 13), qRgb(30, 60, 220)));
    EXPECT_TRUE(isNear(canvas.pixel(253, 23), qRgb(30, 60, 220)));
    // The PDF's page is transparent where nothing is drawn.
    EXPECT_EQ(canvas.pixel(160, 12), qRgb(255, 255, 255));
    EXPECT_TRUE(isNear(canvas.pixel(120, 50), qRgb(0, 0, 0), 10));
    EXPECT_TRUE(GoldenImage::matches(canvas, "pictures"));
}

TEST(PictureDrawing, PagesAreRasterisedAtTheDevicesResolution)
{
    const Image pdf = image(pdfPicture());
    for (qreal pixelsPerPoint : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE(pixelsPerPoint);
        QImage canvas = whiteCanvas(Size(100, 50), pixelsPerPoint);
        ASSERT_TRUE(drawn(canvas, pdf, Rect(0, 0, 100, 50)));
        // The black half ends crisply at 50 points: no blended column.
        const int edge = int(50 * pixelsPerPoint);
        EXPECT_LT(qGray(canvas.pixel(edge - 1, 30 * pixelsPerPoint)), 20);
        EXPECT_GT(qGray(canvas.pixel(edge, 30 * pixelsPerPoint)), 235);
    }
    EXPECT_EQ(PictureDrawing::renderPDF(pdfPicture(), QSize(37, 19)).size(), QSize(37, 19));
    EXPECT_EQ(PictureDrawing::renderEPS(epsPicture(), QSize(37, 19)).size(),
              QSize(37, 19));
}

// A one-page PDF filled with the colour given as "r g b".
QByteArray filledPdf(const char *colour)
{
    const QByteArray content = QByteArray(colour) + " rg 0 0 50 50 re f";
    const QByteArray objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 50 50] /Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
            "\nendstream"};
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < 4; ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 5\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    return pdf + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) +
           "\n%%EOF\n";
}

QByteArray filledEps(const char *colour)
{
    return QByteArray("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 50 50\n%%EndComments\n") +
           colour + " setrgbcolor\n0 0 50 50 rectfill\nshowpage\n%%EOF\n";
}

// Pictures as long as each other but not the same are each drawn as
// themselves, never as the other one's kept raster.
TEST(PictureDrawing, PicturesOfTheSameLengthAreKeptApart)
{
    const struct
    {
        const char *what;
        QByteArray (*make)(const char *);
    } cases[] = {{"PDF", filledPdf}, {"EPS", filledEps}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray red = c.make("1 0 0"), blue = c.make("0 0 1");
        ASSERT_EQ(red.size(), blue.size());
        const std::pair<QByteArray, QRgb> pictures[] = {{red, qRgb(255, 0, 0)},
                                                         {blue, qRgb(0, 0, 255)}};
        for (const auto &[bytes, colour] : pictures) {
            QImage canvas = whiteCanvas(Size(40, 40));
            ASSERT_TRUE(drawn(canvas, image(bytes), Rect(0, 0, 40, 40)));
            EXPECT_TRUE(isNear(canvas.pixel(20, 20), colour)) << std::hex << canvas.pixel(20, 20);
        }
    }
}

TEST(PictureDrawing, PicturesThatDoNotRenderDrawNothing)
{
    const QByteArray cases[] = {
        ImageTestData::pngHeader(4, 4), // a sound header over pixel data that is not
        QByteArray("%PDF-1.4\n1 0 obj\n<< /MediaBox [0 0 50 50] >>\nno catalog here\n"),
        QByteArray("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 50 50\n%%EndComments\n"
                   "this is { not PostScript ] at all\n"),
        QByteArray("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 0 0\n0 0 moveto\n"),
    };
    for (const QByteArray &bytes : cases) {
        SCOPED_TRACE(bytes.left(20).toStdString());
        std::optional<Image> picture = Image::initWithData(bytes);
        ASSERT_TRUE(picture.has_value());
        QImage canvas = whiteCanvas(Size(60, 60));
        EXPECT_FALSE(drawn(canvas, *picture, Rect(5, 5, 50, 50)));
        EXPECT_EQ(canvas, whiteCanvas(Size(60, 60)));
    }
    QImage canvas = whiteCanvas(Size(10, 10));
    EXPECT_FALSE(drawn(canvas, image(pngPicture()), Rect(0, 0, 0, 5)));
    EXPECT_FALSE(drawn(canvas, Image(), Rect(0, 0, 5, 5)));
}

TEST(PictureDrawing, PostScriptThatNeverEndsIsGivenUp)
{
    const QByteArray endless("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 50 50\n"
                             "%%EndComments\n{ } loop\n");
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(PictureDrawing::renderEPS(endless, QSize(50, 50), 1500).isNull());
    EXPECT_LT(clock.elapsed(), 8000);
}

} // namespace
