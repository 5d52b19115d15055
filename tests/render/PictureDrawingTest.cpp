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
