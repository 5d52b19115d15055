#include "ExportTestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryFile>
#include <cmath>

#include <libspectre/spectre.h>
#include <poppler/qt6/poppler-qt6.h>

using namespace ExportTest;

namespace {

class TWExportRenderingTest : public ExportFixture
{
protected:
    TWExportRenderingTest() { setPrintingSize(Size(240, 90)); }

    // The map as the bitmap export draws it, on white.
    QImage mapOnWhite();
};

QImage onWhite(const QImage &image)
{
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    return flat;
}

QImage TWExportRenderingTest::mapOnWhite()
{
    return onWhite(controller.imageRepForMap(*map));
}

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// Mean difference of the grey levels, 0 to 255.
double meanDifference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (a.width() * a.height());
}

// The same at a third of the size: rasterisers place edges a little apart.
double blurredDifference(const QImage &a, const QImage &b)
{
    const QSize small = a.size() / 3;
    return meanDifference(a.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                          b.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

// Where the drawing's dark pixels lie agrees within a pixel.
void expectSameBox(const QImage &a, const QImage &b)
{
    auto box = [](const QImage &image) {
        QRect r;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    r |= QRect(x, y, 1, 1);
        return r;
    };
    const QRect ra = box(a), rb = box(b);
    ASSERT_FALSE(ra.isEmpty());
    EXPECT_LE(std::abs(ra.left() - rb.left()), 1);
    EXPECT_LE(std::abs(ra.top() - rb.top()), 1);
    EXPECT_LE(std::abs(ra.right() - rb.right()), 1);
    EXPECT_LE(std::abs(ra.bottom() - rb.bottom()), 1);
}

TEST_F(TWExportRenderingTest, PdfIsOnePageOfThePrintingBounds)
{
    const QByteArray pdf = controller.pdfDataForMap(*map);
    ASSERT_TRUE(pdf.startsWith("%PDF"));
    const auto document = Poppler::Document::loadFromData(pdf);
    ASSERT_TRUE(document);
    document->setRenderHint(Poppler::Document::Antialiasing);
    ASSERT_EQ(document->numPages(), 1);
    const auto page = document->page(0);
    EXPECT_NEAR(page->pageSizeF().width(), 240, 0.01);
    EXPECT_NEAR(page->pageSizeF().height(), 90, 0.01);
    const QImage rendered = page->renderToImage(72, 72).convertToFormat(QImage::Format_RGB32);
    const QImage expected = mapOnWhite();
    ASSERT_EQ(rendered.size(), expected.size());
    // Poppler's rasteriser snaps strokes to pixels.
    EXPECT_LT(blurredDifference(rendered, expected), 8.0);
    expectSameBox(rendered, expected);
    EXPECT_GT(meanDifference(rendered, blank(expected.size())), 5);
}

TEST_F(TWExportRenderingTest, EpsIsThePdfsDrawingWithItsBoundingBox)
{
    const QByteArray eps = controller.vectorImageDataOfType(TWExportController::EPS, *map);
    ASSERT_TRUE(eps.startsWith("%!PS-Adobe-3.0 EPSF-3.0")) << eps.left(40).toStdString();
    EXPECT_TRUE(eps.contains("%%BoundingBox: 0 0 240 90")) << eps.left(400).toStdString();

    // Ghostscript draws it as the map's own picture.
    QTemporaryFile file(QDir::tempPath() + "/export-XXXXXX.eps");
    ASSERT_TRUE(file.open());
    file.write(eps);
    file.close();
    SpectreDocument *document = spectre_document_new();
    spectre_document_load(document, QFile::encodeName(file.fileName()).constData());
    ASSERT_EQ(spectre_document_status(document), SPECTRE_STATUS_SUCCESS);
    int width = 0, height = 0;
    spectre_document_get_page_size(document, &width, &height);
    EXPECT_EQ(width, 240);
    EXPECT_EQ(height, 90);
    SpectreRenderContext *context = spectre_render_context_new();
    spectre_render_context_set_scale(context, 1, 1);
    spectre_render_context_set_antialias_bits(context, 4, 4);
    unsigned char *data = nullptr;
    int rowLength = 0;
    spectre_document_render_full(document, context, &data, &rowLength);
    ASSERT_TRUE(data);
    const QImage rendered = QImage(data, width, height, rowLength, QImage::Format_RGB32).copy();
    free(data);
    spectre_render_context_free(context);
    spectre_document_free(document);
    const QImage expected = mapOnWhite();
    ASSERT_EQ(rendered.size(), expected.size());
    EXPECT_LT(blurredDifference(rendered, expected), 3.0);
    expectSameBox(rendered, expected);
    EXPECT_GT(meanDifference(rendered, blank(expected.size())), 5);
}

TEST_F(TWExportRenderingTest, EveryBitmapTypeReadsBackAtItsSize)
{
    const QImage image = controller.imageRepForMap(*map);
    ASSERT_EQ(image.size(), QSize(240, 90));
    const std::tuple<int, const char *> types[] = {{TWExportController::TIFF, "tiff"},
                                                   {TWExportController::BMP, "bmp"},
                                                   {TWExportController::GIF, "gif"},
                                                   {TWExportController::JPEG, "jpeg"},
                                                   {TWExportController::PNG, "png"}};
    const QImage expected = onWhite(image);
    ASSERT_GT(meanDifference(expected, blank(expected.size())), 5);
    for (const auto &[type, format] : types) {
        QString error;
        QByteArray data = TWExportController::encodeBitmap(image, type, 0.9, &error);
        ASSERT_FALSE(data.isEmpty()) << format << error.toStdString();
        QBuffer buffer(&data);
        QImageReader reader(&buffer);
        EXPECT_EQ(reader.format(), format);
        const QImage back = reader.read();
        ASSERT_FALSE(back.isNull()) << format;
        EXPECT_EQ(back.size(), QSize(240, 90)) << format;
        EXPECT_LT(meanDifference(onWhite(back), expected),
                  type == TWExportController::JPEG ? 3 : 0.5)
            << format;
    }
    // The compression factor is the JPEG quality.
    EXPECT_LT(TWExportController::encodeBitmap(image, TWExportController::JPEG, 0.1).size(),
              TWExportController::encodeBitmap(image, TWExportController::JPEG, 0.9).size());
}

TEST_F(TWExportRenderingTest, SpecificWidthScalesTheBitmap)
{
    setPrintingSize(Size(1200, 300));
    const struct
    {
        bool enabled;
        int width;
        QSize expected;
        int stored;
    } cases[] = {
        {false, 600, {1200, 300}, 600}, {true, 600, {600, 150}, 600},    {true, 0, {600, 150}, 600},
        {true, -5, {600, 150}, 600},    {true, 2400, {2400, 600}, 2400},
    };
    for (const auto &c : cases) {
        defaults.setBool(c.enabled, "ExportBitmapSpecificWidthEnabled");
        defaults.setInteger(c.width, "ExportBitmapSpecificWidth");
        EXPECT_EQ(controller.imageRepForMap(*map).size(), c.expected) << c.width;
        EXPECT_EQ(defaults.integerForKey("ExportBitmapSpecificWidth"), c.stored);
    }
}

TEST_F(TWExportRenderingTest, AnOversizedBitmapAlertsAndTheOtherMapsAreWritten)
{
    addMaps();
    setPrintingSize(Size(150, 9000));
    defaults.setBool(true, "ExportBitmapSpecificWidthEnabled");
    defaults.setInteger(1400, "ExportBitmapSpecificWidth");
    QString error;
    EXPECT_TRUE(controller.imageRepForMap(*map, &error).isNull());
    EXPECT_TRUE(error.contains("larger than the 100 megapixels")) << error.toStdString();

    // The other maps, wider than high, stay far below the limit.
    panelAnswer = TWExportPanelResult{path("Map.jpg"), {0, 1, 2}};
    controller.exportJPEG();
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(alerts.alerts()[0].message.contains(path("Map 1.jpg")));
    EXPECT_FALSE(QFileInfo::exists(path("Map 1.jpg")));
    EXPECT_TRUE(QFileInfo::exists(path("Map 2.jpg")));
    EXPECT_TRUE(QFileInfo::exists(path("Map 3.jpg")));
    EXPECT_EQ(panels.last().settings, TWExportPanelRequest::Settings::Jpeg);
}

} // namespace
